#include "sim/tcp_scpi_server.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

TcpScpiServer::~TcpScpiServer() {
    if (client_ >= 0)
        ::close(client_);
    if (listen_ >= 0)
        ::close(listen_);
}

bool TcpScpiServer::open(LinkPeer* peer, int port, std::string& error) {
    peer_ = peer;
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listen_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int yes = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_, 1) != 0) {
        error = "TCP port " + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof address;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    return true;
}

void TcpScpiServer::accept_client(double now) {
    const int fd = ::accept(listen_, nullptr, nullptr);
    if (fd < 0)
        return;
    if (client_ >= 0)
        ::close(client_); // the newer session takes the unit over
    client_ = fd;
    const int yes = 1;
    setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    fcntl(client_, F_SETFL, fcntl(client_, F_GETFL) | O_NONBLOCK);
    peer_->device_clear(now);
}

void TcpScpiServer::pump_in(double now) {
    if (client_ < 0)
        return;
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::recv(client_, buffer, sizeof buffer, 0);
        if (n > 0) {
            peer_->receive(std::string_view(buffer, static_cast<std::size_t>(n)), now);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            ::close(client_);
            client_ = -1;
        }
        return;
    }
}

void TcpScpiServer::pump_out(double now) {
    const std::string bytes = peer_->take_output(now, 65536);
    if (client_ < 0 || bytes.empty())
        return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(client_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}
