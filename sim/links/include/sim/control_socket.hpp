// trelwick-sim's control interface: a Unix socket that takes one text command a line
// (sim_control.hpp) from any number of clients (at most eight at once) and answers each
// with one line. For example, from another terminal:
//   socat - UNIX-CONNECT:/run/user/1000/trelwick-sim-4711.sock
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class ControlSocket {
public:
    ControlSocket() = default;
    ControlSocket(const ControlSocket&) = delete;
    ControlSocket& operator=(const ControlSocket&) = delete;
    ~ControlSocket(); // closes and removes the socket

    // Listens at `path` (a stale socket there is replaced); false with the reason.
    bool open(const std::string& path, std::string& error);
    const std::string& path() const { return path_; }
    int listen_fd() const { return listen_; }
    std::vector<int> client_fds() const;

    void accept_client();
    // Reads what the clients sent; each whole line goes to `run`, its reply back.
    void pump(const std::function<std::string(std::string_view)>& run);

private:
    struct Client {
        int fd;
        std::string pending;
    };
    int listen_ = -1;
    std::string path_;
    std::vector<Client> clients_;
};

// The default place of the socket: $XDG_RUNTIME_DIR, else /tmp, named for the process.
std::string default_control_path();
