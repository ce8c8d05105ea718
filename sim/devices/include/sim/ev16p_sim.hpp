// The simulated EV-16P gauge counter on its RS-232 line (9600 baud, 7 data bits, no
// parity, 2 stop bits: the eighth bit of every character is lost both ways).
//
// Commands are two letters and two digits ended by a carriage return (a line feed is
// ignored); every reply ends with a carriage return:
//   CS00 -> CH00                 clear errors
//   CR0n -> CH0n                 zero channel n (1..6) where the gauge stands
//   CP0n, +v -> CH0n             preset channel n to v (counter units)
//   CK0n -> CK0n<s>              HOLD state: s = 0 in HOLD (RS-232 in control), 1 not
//   GA0n -> GA0n,+0000.0000      reading, counter units (lengths x 1000), 0.0001 steps;
//                                GA0n,OVERFLOW beyond the display's range
// Anything else, and a command that overflowed the receive buffer, is answered "ERR". Out
// of HOLD state the counter still reads but ignores clearing, zeroing and presetting (no
// reply). Each reading carries the gauge's noise (the stage model's).
#pragma once

#include "platform/link.hpp"
#include "sim/command_history.hpp"
#include "sim/stage_model.hpp"
#include "sim/timed_output.hpp"

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

constexpr double kEv16pReplyLatency = 0.02; // seconds from a command to its reply
constexpr double kEv16pResolution = 0.0001; // counter units

struct Ev16pFaults {
    ReplyFault reply = ReplyFault::none;
    ReplyFault once = ReplyFault::none; // the next reply only
    double late_seconds = 0.0;          // every reply this much late
    bool out_of_hold = false;
    // The digit CK0n reports when set (0..9): a state the counter's manual does not name.
    int hold_state = -1;
};

class SerialLine;

class Ev16pSim : public LinkPeer {
public:
    explicit Ev16pSim(StageModel& model);
    ~Ev16pSim() override;

    void power_on(double now);
    Ev16pFaults& faults() { return faults_; }
    double next_event() const;
    bool step(double now);
    void advance(double now);
    void set_sync(std::function<void(double)> sync) { sync_ = std::move(sync); }
    const std::deque<CommandHistory::Entry>& history() const { return history_.entries(); }
    void set_history_limit(std::size_t n) { history_.set_limit(n); }
    // The value channel n (1..6) shows at `now`, counter units, before rounding and noise.
    double value(int channel, double now) const;

    void configure(const LinkSettings& settings, double now) override;
    void receive(std::string_view bytes, double now) override;
    void discard_unsent(double now) override;
    double sent_by(double now) override;
    double output_ready_at(double now) override;
    std::string take_output(double now, std::size_t max) override;

private:
    using Handler = std::string (*)(Ev16pSim&, const std::string&, int channel, double);
    struct Command {
        std::string_view head; // the two letters
        bool setting;          // ignored out of HOLD state
        Handler handler;       // the reply text; empty: none
    };
    static const std::vector<Command>& commands();

    void sync(double now);
    void run(const std::string& command, double time);

    StageModel& model_;
    Ev16pFaults faults_;
    std::function<void(double)> sync_;
    std::array<double, kSimGauges> zero_{}; // raw value that reads 0, per channel
    std::unique_ptr<SerialLine> line_;
    CommandHistory history_;
};
