// A pseudo-terminal that carries a simulated serial instrument: the program opens the
// path as its COM port, and the bytes reach the instrument peer on the master side.
//
// The terminal side is set raw before its path is given out and is held open for the
// port's whole life, so a program can open it, close it and open it again without the
// line hanging up.
#pragma once

#include "platform/link.hpp"

#include <string>

class PtyPort {
public:
    PtyPort() = default;
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;
    ~PtyPort();

    // Opens the pair for `peer`; false with the reason in `error`.
    bool open(LinkPeer* peer, std::string& error);
    const std::string& path() const { return path_; }
    int fd() const { return master_; } // to wait on for input

    // Hands whatever the program wrote to the peer.
    void pump_in(double now);
    // Writes whatever the peer has ready by `now` (dropped when nobody reads the line).
    void pump_out(double now);
    // When the peer next has output, or kLinkNever.
    double next_output(double now) {
        return peer_ != nullptr ? peer_->output_ready_at(now) : kLinkNever;
    }

private:
    LinkPeer* peer_ = nullptr;
    int master_ = -1;
    int held_ = -1; // the terminal side, kept open
    std::string path_;
};
