// The line side of a simulated serial instrument, shared by the controller and the
// counter: characters that arrive one byte time apart, the framing the instrument expects
// (on any other every character is noise), the seven-bit loss of a 7-data-bit line, the
// echo, the assembly of commands up to a terminator, and the replies that leave at the
// line's pace. The instrument decides what a command means; this decides what reaches it.
// The bytes on their way are the program's transmit queue too: its FlushOutQ discards
// those that have not begun to go out, as a real port's output flush does.
//
// Everything is bounded as on the instrument: bytes still on their way (the receive
// buffer) up to `input_limit`, a command up to `line_limit` characters, replies waiting to
// leave up to `output_limit` bytes. Beyond each the instrument drops what comes and says
// so through overflowed().
#pragma once

#include "platform/link.hpp"
#include "sim/timed_output.hpp"

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

struct SerialLineFormat {
    long baud = 9600;
    int data_bits = 8;
    int stop_bits = 1;
    std::string_view terminators = "\r"; // end a command
    std::string_view ignored = "";       // dropped on arrival (a line feed, say)
    std::size_t line_limit = 256;        // characters of one command
    std::size_t input_limit = 4096;      // bytes received and not yet taken
    std::size_t output_limit = 4096;     // bytes waiting to leave
    bool paced_output = false;           // replies leave a byte time apart, not whole
};

class SerialLine {
public:
    explicit SerialLine(const SerialLineFormat& format);

    void reset(double now); // drops what is on its way and the command in hand
    void configure(const LinkSettings& settings);
    // Bytes the program wrote at `now`: each goes out one byte time after the one before
    // (behind what is still going out) and is in once it has fully arrived.
    void receive(std::string_view bytes, double now);
    // The program flushed its transmit queue at `now`: the bytes that had not begun to go
    // out are lost (the one on the line arrives).
    void discard_unsent(double now);
    // When the last byte written has fully gone out; `now` when nothing is on its way.
    double sent_by(double now) const { return std::max(now, free_at_); }

    // When the first byte not yet taken has fully arrived; kLinkNever when none.
    double next_arrival() const;
    // Takes that byte. While `deaf` it is lost; otherwise it is echoed when echo is on and
    // added to the command in hand. Returns the command when the byte ended one (empty
    // commands are dropped), with the time its terminator arrived.
    std::optional<std::pair<double, std::string>> take_byte(bool deaf);

    void set_echo(bool on) { echo_ = on; }
    bool echo() const { return echo_; }
    // A reply leaving from `time`: dropped when the output buffer is full.
    void send(double time, std::string bytes);
    TimedOutput& output() { return out_; }
    // True once input, a command or output overflowed since the last call.
    bool take_overflow();

private:
    SerialLineFormat format_;
    double per_byte_;
    bool line_ok_ = true;
    bool echo_ = false;
    bool overflow_ = false;
    double free_at_ = 0.0; // when the last received byte has fully arrived
    std::deque<std::pair<double, char>> input_;
    std::string line_;
    TimedOutput out_;
};
