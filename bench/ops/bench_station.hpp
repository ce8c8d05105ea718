// The operator station as the bench runs it: a panel backend (the Qt one, offscreen or on
// a real display as QT_QPA_PLATFORM says, or the scripted operator), the simulated stage on the
// in-process links, a private drive root, and the clock of choice wrapped in a LedgerClock that
// keeps the books on every wait. Operations are run by calling their callbacks, as a button press
// does.
#pragma once

#include "drivers/wait_profile.hpp"
#include "platform/link/link_backends.hpp"
#include "platform/panels.hpp"
#include "sim/sim_stage.hpp"
#include "wait_ledger.hpp"

#include <functional>
#include <string>
#include <vector>

// The figures of one operation, in machine seconds.
struct OperationCost {
    std::string name;
    double wall = 0.0;
    double asked = 0.0;  // blocking waits asked for
    double slept = 0.0;  // what those waits really took
    double motion = 0.0; // cams in motion, as the simulated stage reports it
    long long waits = 0;
    long long event_waits = 0;
    double cpu = 0.0;
    WaitBook book; // the program's own account of its waits, in machine seconds
};

class BenchStation {
public:
    // `clock` is the time base (a ScaledClock for real time, a VirtualClock); `speed` turns
    // its seconds into machine seconds (1 for a virtual clock, whose seconds cost none).
    BenchStation(ClockBackend& clock, double speed, PanelBackend& panels);
    ~BenchStation();
    BenchStation(const BenchStation&) = delete;
    BenchStation& operator=(const BenchStation&) = delete;

    int main_panel() const { return main_; }
    int test_panel() const { return test_; }
    SimStage& sim() { return sim_; }

    OperationCost run(const std::string& name, const std::function<void()>& operation);
    // How run() runs an operation: by default here; the bench's operator-thread mode hands
    // it to the operator thread and keeps the window's loop going until it is done.
    using Runner = std::function<void(const std::function<void()>&)>;
    void run_with(Runner runner) { runner_ = std::move(runner); }

    // The operations, as the operator starts them.
    void bring_up();
    void move_relative(double x, double y);
    void home();
    // Opens the test panel on cam 1, gauge channel 1, with these run settings, and runs
    // its bring-up.
    void open_test_panel(int points, double interval);
    void find_work_point();
    void run_test();
    void watch_angle();

private:
    // Closes the motion in progress once no axis moves at `now`.
    void note_motion(double now);

    Runner runner_;
    LedgerClock ledger_;
    double speed_;
    std::string root_;
    SimStage sim_;
    LinkSerialBackend serial_;
    LinkGpibBackend gpib_;
    int main_ = 0;
    int test_ = 0;
    double moving_since_ = -1.0; // the GO that started the motion in progress, or negative
    double motion_ = 0.0;        // simulated stage seconds with some axis moving
};

void print_cost_header();
void print_cost(const OperationCost& cost);
// Where an operation's wall time went: the wait for the end of motion, the physical waits,
// the other designed waits, handshakes, the replies the design reads anyway (queries,
// readings, acknowledges), the commands' bytes going out on the line, and the program's own
// time (what is left); with the seconds the cams were moving beside it.
void print_split_header();
void print_split(const std::string& profile, const OperationCost& cost);
