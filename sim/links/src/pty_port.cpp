#include "sim/pty_port.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPort::~PtyPort() {
    if (held_ >= 0)
        ::close(held_);
    if (master_ >= 0)
        ::close(master_);
}

bool PtyPort::open(LinkPeer* peer, std::string& error) {
    peer_ = peer;
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = std::string("pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ptsname(master_);
    if (name == nullptr) {
        error = std::string("pseudo-terminal name: ") + std::strerror(errno);
        return false;
    }
    held_ = ::open(name, O_RDWR | O_NOCTTY);
    termios tio{};
    if (held_ < 0 || tcgetattr(held_, &tio) != 0) {
        error = std::string("pseudo-terminal ") + name + ": " + std::strerror(errno);
        return false;
    }
    cfmakeraw(&tio);
    if (tcsetattr(held_, TCSANOW, &tio) != 0) {
        error = std::string("raw mode on ") + name + ": " + std::strerror(errno);
        return false;
    }
    const int flags = fcntl(master_, F_GETFL);
    fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    path_ = name;
    return true;
}

void PtyPort::pump_in(double now) {
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            return;
        peer_->receive(std::string_view(buffer, static_cast<std::size_t>(n)), now);
    }
}

void PtyPort::pump_out(double now) {
    const std::string bytes = peer_->take_output(now, 4096);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return; // the line is full: nobody is listening
        done += static_cast<std::size_t>(n);
    }
}
