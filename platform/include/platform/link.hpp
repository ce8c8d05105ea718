// In-process links: a serial port or a GPIB unit whose far side is an object in this
// process (a simulated instrument or a test's scripted peer) instead of a device node.
//
// Time is the platform clock's (platform_now_seconds()). A peer is told when bytes reach
// it and says when its next output bytes are ready; a read waits with Delay until then or
// until its time-out. So in virtual time a whole exchange costs no real time, and in real
// time it takes as long as it would on the bench.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

// The line settings a port was opened with (serial), or the unit's open parameters (GPIB).
struct LinkSettings {
    long baud = 0;
    int parity = 0;
    int data_bits = 8;
    int stop_bits = 1;
    int gpib_board = -1; // GPIB only
    int gpib_address = -1;
    int gpib_timeout_code = 0;
    int gpib_eos = 0;
};

constexpr double kLinkNever = std::numeric_limits<double>::infinity();

class LinkPeer {
public:
    virtual ~LinkPeer() = default;
    // The port was opened (again) with these settings, or the GPIB unit was opened.
    virtual void configure(const LinkSettings& settings, double now) {
        (void)settings;
        (void)now;
    }
    // Bytes written by the program at `now` (seconds, platform clock). A serial peer that
    // models its line has them go out one byte time after the other, behind what is still
    // going out.
    virtual void receive(std::string_view bytes, double now) = 0;
    // The program flushed its transmit queue at `now` (FlushOutQ): what it wrote that has
    // not begun to go out onto the line by then is lost. A peer that takes every byte at
    // once has nothing to lose.
    virtual void discard_unsent(double now) { (void)now; }
    // When the last byte the program wrote will have gone out onto the line (at or before
    // `now` when it has): what the program's drain waits for.
    virtual double sent_by(double now) { return now; }
    // The time at which the next output byte is or was ready; kLinkNever when none will
    // come unless the program writes again.
    virtual double output_ready_at(double now) = 0;
    // Takes at most `max` output bytes that are ready at `now`, oldest first.
    virtual std::string take_output(double now, std::size_t max) = 0;
    // GPIB selected device clear (ibclr).
    virtual void device_clear(double now) { (void)now; }
    // GPIB serial poll (ibrsp): the status byte.
    virtual int serial_poll(double now) {
        (void)now;
        return 0;
    }
    // GPIB ibonl: the unit goes off line (0) or on line (1).
    virtual void set_online(bool online, double now) {
        (void)online;
        (void)now;
    }
};
