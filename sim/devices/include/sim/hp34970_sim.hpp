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
// ROUT:OPEN? and ROUT:CLOS? report the relays as they stand, a stuck one included.
//
// The driver's own spellings "SENS:FUNC:TEMP, <list>", "UNIT:TEMP, <list>" (no unit: the
// unit stays) and "SENS:TEMP:NPLS" are taken as the temperature function, the unit query
// and the integration time they mean.
#pragma once

#include "platform/link.hpp"
#include "sim/stage_model.hpp"
#include "sim/timed_output.hpp"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

constexpr std::size_t kHp34970ErrorQueue = 20;
constexpr const char* kHp34970Identity = "HEWLETT-PACKARD,34970A,0,13-2-2";

struct Hp34970Faults {
    ReplyFault reply = ReplyFault::none;
};

class Hp34970Sim : public LinkPeer {
public:
    explicit Hp34970Sim(StageModel& model);

    void power_on(double now);
    Hp34970Faults& faults() { return faults_; }
    // Adds an entry to the error queue, as the instrument would on a failure of its own.
    void push_error(int code, std::string_view text);
    std::size_t errors_queued() const { return errors_.size(); }
    void advance(double now);
    void set_sync(std::function<void(double)> sync) { sync_ = std::move(sync); }
    const std::vector<std::pair<double, std::string>>& history() const { return history_; }
    const std::vector<int>& scan_list() const { return scan_; }

    void configure(const LinkSettings& settings, double now) override;
    void receive(std::string_view bytes, double now) override;
    double output_ready_at(double now) override;
    std::string take_output(double now, std::size_t max) override;
    void device_clear(double now) override;
    int serial_poll(double now) override;

private:
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
    struct Queued {
        double time;
        std::string command;
    };

    void sync(double now);
    void run(const std::string& command, double time);
    // Runs one command; returns the seconds it takes.
    double execute(const std::string& command, double time);
    void reply(double time, const std::string& text);
    void reset_settings(double time);
    double read_scan(double time);
    std::string reading_text(int channel, double time);

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
    double free_at_ = 0.0; // when the command in hand is done
    TimedOutput out_;
    std::vector<std::pair<double, std::string>> history_;
};
