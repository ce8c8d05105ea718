// The simulated HP34970 data acquisition and switch unit, spoken to in SCPI (commands end
// at a line feed, replies end with one).
//
// Slot 1 is a 20-channel multiplexer (101..120): the cam potentiometers on 101..105, their
// reference on 110, the temperature on 111. Slot 2 is a 20-channel actuator (201..220):
// 201..205 switch the motors, 209 powers the potentiometers. Commands run one after the
// other, each taking its time (a reading NPLC/50 s per channel, twice that with autozero);
// an unknown header or a bad parameter adds an entry to the error queue (20 entries at
// most), which SYSTEM:ERROR? empties one entry at a time. A new command while a reply is
// still unread discards the reply and queues "Query INTERRUPTED".
//
// Strict as the unit is: only the standard headers, long or short form in any case; an
// unknown header is -113 "Undefined header" and does nothing, a missing parameter -109,
// a channel list the unit cannot use -221, a value it cannot take -224 (or -222). Commands
// past its input buffer are lost with -363 "Input buffer overrun".
//
// ROUT:OPEN? and ROUT:CLOS? report the relays as they stand, a stuck one included. An
// open thermocouple reads +9.9E+37.
#pragma once

#include "platform/link.hpp"
#include "sim/command_history.hpp"
#include "sim/stage_model.hpp"
#include "sim/timed_output.hpp"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

constexpr std::size_t kHp34970ErrorQueue = 20;
constexpr std::size_t kHp34970InputBuffer = 4096; // bytes of commands not yet run
constexpr const char* kHp34970Identity = "HEWLETT-PACKARD,34970A,0,13-2-2";

struct Hp34970Faults {
    ReplyFault reply = ReplyFault::none;
    ReplyFault once = ReplyFault::none; // the next reply only
    bool switch_not_done = false;       // ROUT:DONE? answers 0
};

struct ScpiCommand;

class Hp34970Sim : public LinkPeer {
public:
    // How a measurement channel is set up.
    struct Channel {
        char function = 'v'; // v, r, 4 (four-wire), t
        double nplc = 1.0;
        bool autozero = true;
        char temp_unit = 'C';
        std::string transducer = "TC";
        std::string tc_type = "J";
        int rtd_type = 85;
        double rtd_reference = 100.0;
        int thermistor_type = 5000;
    };

    explicit Hp34970Sim(StageModel& model);

    void power_on(double now);
    Hp34970Faults& faults() { return faults_; }
    // Adds an entry to the error queue, as the instrument would on a failure of its own.
    void push_error(int code, std::string_view text);
    std::size_t errors_queued() const { return errors_.size(); }
    double next_event() const;
    bool step(double now);
    void advance(double now);
    void set_sync(std::function<void(double)> sync) { sync_ = std::move(sync); }
    const std::deque<CommandHistory::Entry>& history() const { return history_.entries(); }
    void set_history_limit(std::size_t n) { history_.set_limit(n); }
    const std::vector<int>& scan_list() const { return scan_; }

    void configure(const LinkSettings& settings, double now) override;
    void receive(std::string_view bytes, double now) override;
    double output_ready_at(double now) override;
    std::string take_output(double now, std::size_t max) override;
    void device_clear(double now) override;
    int serial_poll(double now) override;

private:
    struct Queued {
        double time;
        std::string command;
    };
    // A handler runs one command and returns the seconds it takes.
    using Handler = double (*)(Hp34970Sim&, const ScpiCommand&, double);
    struct Command {
        std::string_view pattern;
        Handler handler;
    };
    static const std::vector<Command>& commands();
    double error(int code, std::string_view text);
    // The channels of a list in slot 1; nullopt when the text is no such list.
    static std::optional<std::vector<int>> measure_list(std::string_view text);
    // "<setting>, <list>": applies `set` to each listed channel, or queues the error.
    template <typename Set> double setting(const ScpiCommand& c, Set set);
    double relays(const ScpiCommand& c, bool open, bool query, double time);
    double temperature_query(const ScpiCommand& c, double time);

    void sync(double now);
    void run(const std::string& command, double time);
    // Runs one command; returns the seconds it takes.
    double execute(const std::string& command, double time);
    void reply(double time, const std::string& text);
    void reset_settings(double time);
    double read_scan(double time);
    // A channel's reading: a voltage integrated from `start` for `seconds`, anything else
    // (the temperature) as it stands at `time`, when the reading is done.
    std::string reading_text(int channel, double start, double seconds, double time);

    StageModel& model_;
    Hp34970Faults faults_;
    std::function<void(double)> sync_;
    std::map<int, Channel> channels_;
    std::map<int, bool> closed_; // slot-1 channels closed by ROUT:CLOS
    std::vector<int> scan_;
    bool format_alarm_ = false, format_channel_ = false, format_time_ = false, format_unit_ = true;
    int trigger_count_ = 1;
    std::deque<std::pair<int, std::string>> errors_;
    std::string line_;
    std::deque<Queued> queue_;
    std::size_t queued_bytes_ = 0;
    bool overrun_ = false; // the line in hand lost characters
    double free_at_ = 0.0; // when the command in hand is done
    TimedOutput out_;
    CommandHistory history_;
};
