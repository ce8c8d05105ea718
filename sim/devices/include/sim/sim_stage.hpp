// The simulated stage: one physical model and the three instruments that speak for it,
// kept in step on one clock, and plugged into the in-process link backends at the
// program's default addresses (CM6K6 on COM2, EV-16P on COM5, HP34970 at GPIB board 1,
// address 9).
#pragma once

#include "sim/cm6k6_sim.hpp"
#include "sim/ev16p_sim.hpp"
#include "sim/hp34970_sim.hpp"
#include "sim/stage_model.hpp"

#include <deque>
#include <string>
#include <utility>

class LinkSerialBackend;
class LinkGpibBackend;

constexpr int kSimCm6k6Port = 2;
constexpr int kSimEv16pPort = 5;
constexpr int kSimGpibBoard = 1;
constexpr int kSimGpibAddress = 9;

class SimStage {
public:
    explicit SimStage(StageModelConfig config = stage_model_bench_config());
    SimStage(const SimStage&) = delete;
    SimStage& operator=(const SimStage&) = delete;

    // Everything at power-on at `now`: cams at their start angles, relays open, drives off,
    // every fault cleared.
    void power_on(double now);
    // Brings every instrument up to `now`.
    void advance(double now);
    // How many commands each instrument's history keeps (CommandHistory::kDefaultLimit).
    void set_history_limit(std::size_t n);
    // Runs a control line (sim_control.hpp) when the stage's clock reaches `at`, in time
    // order with the instruments' own work.
    void schedule(double at, std::string line);

    // Plugs the instruments into the link backends at the default addresses.
    void attach(LinkSerialBackend& serial, LinkGpibBackend& gpib);

    StageModel& model() { return model_; }
    Cm6k6Sim& cm6k6() { return cm6k6_; }
    Ev16pSim& ev16p() { return ev16p_; }
    Hp34970Sim& hp34970() { return hp34970_; }

private:
    StageModel model_;
    Cm6k6Sim cm6k6_;
    Ev16pSim ev16p_;
    Hp34970Sim hp34970_;
    bool advancing_ = false;
    std::deque<std::pair<double, std::string>> schedule_;
};
