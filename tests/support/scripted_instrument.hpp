// A scripted instrument for driver tests: the far side of an in-process serial port or
// GPIB unit. It records every write it receives with its virtual arrival time, checks it
// against the test's script, and answers from the script (reply text and delay).
//
// Each write is one command: the bytes of one ComWrt or ibwrt. Commands in the script are
// written without their terminator and replies without theirs; the instrument adds them
// (CR LF in, CR out for the serial instruments; LF both ways for GPIB).
#pragma once

#include "platform/link.hpp"

#include <deque>
#include <optional>
#include <string>
#include <vector>

struct ReceivedCommand {
    std::string text; // without the terminator
    double at;        // seconds on the platform clock
};

class ScriptedInstrument : public LinkPeer {
public:
    ScriptedInstrument(std::string command_terminator, std::string reply_terminator)
        : command_terminator_(std::move(command_terminator)),
          reply_terminator_(std::move(reply_terminator)) {}

    // The next write must be `command`; answer `reply` (if any) `delay` seconds later.
    ScriptedInstrument& expect(std::string command, std::optional<std::string> reply = {},
                               double delay = 0.0);
    // As expect(), but the reply goes out as given, without its terminator.
    ScriptedInstrument& expect_raw(std::string command, std::string raw_reply);
    // Any number of consecutive writes of `command`, each answered with `reply` (if any).
    ScriptedInstrument& expect_repeated(std::string command, std::optional<std::string> reply = {});

    const std::vector<ReceivedCommand>& received() const { return received_; }
    std::vector<std::string> commands() const; // the texts alone
    std::vector<double> arrival_times() const;
    void forget_received() { received_.clear(); }
    // Every write that did not match the script, described.
    const std::vector<std::string>& mismatches() const { return mismatches_; }
    // Steps of the script never reached (repeated steps may be left).
    std::vector<std::string> unmet() const;
    const std::optional<LinkSettings>& settings() const { return settings_; }
    int device_clears() const { return clears_; }
    bool online() const { return online_; }
    void set_status_byte(int status) { status_byte_ = status; }

    void configure(const LinkSettings& settings, double now) override;
    void receive(std::string_view bytes, double now) override;
    double output_ready_at(double now) override;
    std::string take_output(double now, std::size_t max) override;
    void device_clear(double now) override;
    int serial_poll(double now) override;
    void set_online(bool online, double now) override;

private:
    struct Step {
        std::string command;
        std::optional<std::string> reply; // with its terminator
        double delay = 0.0;
        bool repeated = false;
    };
    struct Chunk {
        double ready_at;
        std::string bytes;
    };
    void answer(const Step& step, double now);

    std::string command_terminator_;
    std::string reply_terminator_;
    std::deque<Step> script_;
    std::vector<ReceivedCommand> received_;
    std::vector<std::string> mismatches_;
    std::deque<Chunk> output_;
    std::optional<LinkSettings> settings_;
    int clears_ = 0;
    bool online_ = true;
    int status_byte_ = 0;
};
