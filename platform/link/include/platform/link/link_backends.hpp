// Serial and GPIB backends whose far side is an in-process LinkPeer: the simulated stage
// (trelwick --simulate, system tests) or a test's scripted instrument.
//
// A port or unit without a peer does not open, and says so (instrument_diagnosis.hpp):
// the operator moved an instrument to an address the simulated stage does not serve.
//
// Waits follow the platform clock: a read that gets no reply costs its whole time-out
// (kSerialReadTimeoutSeconds, or the GPIB unit's time-out code), which on the virtual
// clock passes at once. The serial transmit queue is the peer's line (LinkPeer): a
// FlushOutQ discards what has not begun to go out, a DrainOutQ waits (platform time, never
// cut short by a Stop) until the last byte has gone out.
#pragma once

#include "platform/gpib.hpp"
#include "platform/gpib_timeout.hpp"
#include "platform/link.hpp"
#include "platform/serial.hpp"

#include <map>
#include <string>
#include <vector>

class LinkSerialBackend : public SerialBackend {
public:
    // The peer serving COM `port`; the caller keeps ownership. nullptr detaches it.
    void attach(int port, LinkPeer* peer);
    // Writes from now on fail with `status` (0: they go through again), as a port whose
    // cable was pulled would.
    void fail_writes(int status) { write_failure_ = status; }

    int open_com_config(int port, const std::string& device_name, long baud, int parity,
                        int data_bits, int stop_bits, int input_queue, int output_queue) override;
    int flush_in_q(int port) override;
    int flush_out_q(int port) override;
    int drain_out_q(int port) override;
    int com_wrt(int port, const char* buffer, int count) override;
    int com_rd_term(int port, char* buffer, int count, int termination_byte) override;
    int last_read_error() const override { return last_read_error_; }
    std::string describe_port(int port) const override;

private:
    // The ports that have a peer, "COM2, COM5", for the operator's reports.
    std::string served_ports() const;
    struct Port {
        LinkPeer* peer = nullptr;
        bool open = false;
        std::string pending; // bytes read from the peer but not yet handed out
    };
    Port* open_port(int port);
    std::map<int, Port> ports_;
    int write_failure_ = 0;
    int last_read_error_ = 0;
};

class LinkGpibBackend : public GpibBackend {
public:
    // The peer answering at primary address `address` on `board`.
    void attach(int board, int address, LinkPeer* peer);

    int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
    int ibclr(int ud) override;
    int ibwrt(int ud, const char* buffer, long count, long& transferred) override;
    int ibrd(int ud, char* buffer, long count, long& transferred) override;
    int ibrsp(int ud, char* status_byte) override;
    int ibonl(int ud, int online) override;
    std::string describe_unit(int board, int address) const override;

private:
    struct Unit {
        LinkPeer* peer = nullptr;
        bool in_use = false;
        double timeout = 0.0;
        int eos = 0;
        std::string pending;
    };
    Unit* unit(int ud);
    std::map<std::pair<int, int>, LinkPeer*> peers_;
    std::vector<Unit> units_; // descriptor ud is units_[ud - 1]
};
