// The simulated data acquisition unit on a TCP port: SCPI lines ended by a line feed, as
// the program's GPIB-over-TCP transport sends them. One connection at a time; a new
// connection starts with a device clear, as a fresh GPIB session would.
#pragma once

#include "platform/link.hpp"

#include <string>

class TcpScpiServer {
public:
    TcpScpiServer() = default;
    TcpScpiServer(const TcpScpiServer&) = delete;
    TcpScpiServer& operator=(const TcpScpiServer&) = delete;
    ~TcpScpiServer();

    // Listens on 127.0.0.1:`port` (0: any free port); false with the reason in `error`.
    bool open(LinkPeer* peer, int port, std::string& error);
    int port() const { return port_; }
    int listen_fd() const { return listen_; }
    int client_fd() const { return client_; }

    void accept_client(double now);
    // Hands the client's bytes to the peer; a closed connection is dropped.
    void pump_in(double now);
    void pump_out(double now);
    double next_output(double now) { return peer_->output_ready_at(now); }

private:
    LinkPeer* peer_ = nullptr;
    int listen_ = -1;
    int client_ = -1;
    int port_ = 0;
};
