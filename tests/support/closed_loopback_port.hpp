// A loopback endpoint where nothing listens, for tests of a unit that refuses: a port the
// system handed out (bound, then closed), so that no other program is on it.
#pragma once

#ifndef _WIN32

#include <arpa/inet.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

// "127.0.0.1:PORT", or "" when no port could be had.
inline std::string closed_loopback_endpoint() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return {};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(s);
    return bound ? "127.0.0.1:" + std::to_string(ntohs(address.sin_port)) : std::string();
}

#endif
