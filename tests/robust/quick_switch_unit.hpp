// A switch unit for long property runs: it answers the few commands a Move sends the
// HP34970 at once, from the simulated stage's physics (relays 201-220 and the pots on
// 101-105, the reference on 110), without the full instrument's command parser and
// timing. The motion controller and the gauge counter stay the simulated ones.
#pragma once

#include "platform/link.hpp"
#include "sim/sim_stage.hpp"

#include <string>

class QuickSwitchUnit : public LinkPeer {
public:
    explicit QuickSwitchUnit(SimStage& sim) : sim_(sim) {}

    void receive(std::string_view bytes, double now) override;
    double output_ready_at(double now) override;
    std::string take_output(double now, std::size_t max) override;

private:
    void execute(const std::string& command, double now);
    void reply(const std::string& text) { out_ += text + "\n"; }

    SimStage& sim_;
    std::string in_;
    std::string out_;
    int scan_channel_ = 0;
};
