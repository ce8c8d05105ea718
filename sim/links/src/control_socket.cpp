#include "sim/control_socket.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr std::size_t kMaxClients = 8;
constexpr std::size_t kMaxLine = 4096;

void send_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

std::string default_control_path() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string base = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    return base + "/trelwick-sim-" + std::to_string(::getpid()) + ".sock";
}

ControlSocket::~ControlSocket() {
    for (const Client& c : clients_)
        ::close(c.fd);
    if (listen_ >= 0) {
        ::close(listen_);
        ::unlink(path_.c_str());
    }
}

bool ControlSocket::open(const std::string& path, std::string& error) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "control socket path too long: " + path;
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            error = "control socket " + path + ": something else is there";
            return false;
        }
        ::unlink(path.c_str()); // a socket left by a simulator that is gone
    }
    listen_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (listen_ < 0) {
        error = std::string("control socket: ") + std::strerror(errno);
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_, 4) != 0) {
        error = "control socket " + path + ": " + std::strerror(errno);
        ::close(listen_);
        listen_ = -1;
        return false;
    }
    ::chmod(path.c_str(), 0600); // the faults are the owner's to switch
    fcntl(listen_, F_SETFL, fcntl(listen_, F_GETFL) | O_NONBLOCK);
    path_ = path;
    return true;
}

std::vector<int> ControlSocket::client_fds() const {
    std::vector<int> fds;
    for (const Client& c : clients_)
        fds.push_back(c.fd);
    return fds;
}

void ControlSocket::accept_client() {
    const int fd = ::accept(listen_, nullptr, nullptr);
    if (fd < 0)
        return;
    if (clients_.size() >= kMaxClients) {
        send_all(fd, "error: too many control clients\n");
        ::close(fd);
        return;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    clients_.push_back({fd, {}});
}

void ControlSocket::pump(const std::function<std::string(std::string_view)>& run) {
    for (std::size_t i = 0; i < clients_.size();) {
        Client& c = clients_[i];
        bool closed = false;
        char buffer[1024];
        for (;;) {
            const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
                break;
            }
            c.pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = c.pending.find('\n')) != std::string::npos) {
                std::string line = c.pending.substr(0, end);
                c.pending.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                send_all(c.fd, run(line) + "\n");
            }
            if (c.pending.size() > kMaxLine) {
                send_all(c.fd, "error: line too long\n");
                c.pending.clear();
            }
        }
        if (closed) {
            ::close(c.fd);
            clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}
