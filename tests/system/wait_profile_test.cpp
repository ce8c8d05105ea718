// The fast waits on the simulated stage: a session of bring-up, Move, Home and a
// work-point search sends each instrument the designed session's commands plus only the
// handshakes, in the same order, and ends where the designed one ends, with the same run
// log; and a fast profile that cuts a physical wait short is caught by the stage (its
// physical times are the bench description's: the controller deaf 2.5 s after a reset,
// drives ready 0.25 s after they are enabled, the potentiometers' relay bouncing 5 ms and
// their wipers settling with a 20 ms time constant).
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "drivers/wait_profile.hpp"
#include "testbench/bench_state.hpp"
#include "testbench_sim_fixture.hpp"

#include <array>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

namespace {

using Wire = std::vector<std::string>;

struct Session {
    std::array<Wire, 3> wires; // controller, counter, switch unit
    std::string log;
    std::array<double, 5> coordinates{};
    double seconds = 0.0;
};

Wire commands(const std::deque<CommandHistory::Entry>& history) {
    Wire wire;
    for (const auto& [time, command] : history)
        wire.push_back(command);
    return wire;
}

// The motion wait polls as long as the motion lasts, and each profile polls at its own
// pace: a run of polls counts as one. The handshakes are taken out when `handshakes` says.
Wire comparable(const Wire& wire, bool drop_handshakes) {
    static const std::regex handshake(R"re(WRITE"H\d{1,3}")re");
    Wire out;
    for (const std::string& c : wire) {
        if (drop_handshakes && std::regex_match(c, handshake))
            continue;
        if (c == "WRITE\"YES\"" && !out.empty() && out.back() == c)
            continue;
        out.push_back(c);
    }
    return out;
}

class WaitProfileTest : public BenchSimTest {
protected:
    // Bring-up, Move X +0.0005, Home, then the test bench's bring-up on cam 1 and its
    // work-point search.
    Session run_session() {
        const double start = now();
        op.press(main, MAIN_INIT);
        op.type_value(main, MAIN_MOVE_MODE, 0LL);
        op.type_value(main, coord_ctrls[0], 0.0005);
        op.press(main, MAIN_MOVE);
        op.press(main, MAIN_HOME);
        op.press(main, MAIN_TEST);
        test = test_panel_handle();
        type_settings({});
        op.press(test, TEST_INIT);
        op.press(test, TEST_WORK_POINT);
        Session s;
        s.seconds = now() - start;
        s.wires = {commands(sim.cm6k6().history()), commands(sim.ev16p().history()),
                   commands(sim.hp34970().history())};
        s.log = run_log();
        for (std::size_t i = 0; i < 5; ++i)
            s.coordinates[i] = shared_param().coord[i];
        return s;
    }
    // Fast waits with one physical wait cut to `seconds`: bring-up, then a Move of X +0.0005.
    void cut_and_move(DesignedWait wait, double seconds) {
        set_wait_profile(WaitProfile::fast);
        set_fast_wait_for_tests(wait, seconds);
        for (int i = 0; i < 40; ++i)
            console.add_line("\n"); // Enter at every console stop
        op.press(main, MAIN_INIT);
        op.type_value(main, MAIN_MOVE_MODE, 0LL);
        op.type_value(main, coord_ctrls[0], 0.0005);
        op.press(main, MAIN_MOVE);
    }
    double logged_x(const std::string& title) const {
        const std::string log = run_log();
        const std::string head = " * " + title + " * X = ";
        const std::size_t at = log.rfind(head);
        return at == std::string::npos ? NAN : std::strtod(log.c_str() + at + head.size(), nullptr);
    }
    void restart(WaitProfile profile) {
        TearDown();
        SetUp();
        set_wait_profile(profile);
    }
};

// The run log with its entries' times and the fast profile's mark taken out.
std::string comparable_log(const std::string& log) {
    static const std::regex times(R"(\d\d:\d\d:\d\d)");
    static const std::regex mark(" - fast waits");
    return std::regex_replace(std::regex_replace(log, mark, ""), times, "hh:mm:ss");
}

} // namespace

TEST_F(WaitProfileTest, FastSendsTheDesignedCommandsPlusHandshakesAndEndsAlike) {
    const Session designed = run_session();
    ASSERT_TRUE(op.popups().empty()) << op.popups().front().message;
    restart(WaitProfile::fast);
    const Session fast = run_session();
    ASSERT_TRUE(op.popups().empty()) << op.popups().front().message;

    const char* names[3] = {"controller", "counter", "switch unit"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_FALSE(designed.wires[i].empty()) << names[i];
        EXPECT_EQ(comparable(designed.wires[i], false), comparable(fast.wires[i], true))
            << names[i];
    }
    // Only the controller needs handshakes of its own: the others answer every command.
    EXPECT_GT(comparable(fast.wires[0], false).size(), comparable(fast.wires[0], true).size());
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(designed.coordinates[i], fast.coordinates[i]) << i;
    EXPECT_EQ(comparable_log(designed.log), comparable_log(fast.log));
    EXPECT_NE(fast.log.find("Trelwick - instruments on COM2, COM5, GPIB 1:9 - fast waits"),
              std::string::npos);
    EXPECT_LT(fast.seconds, designed.seconds);
}

// The controller is deaf for 2.5 s after its reset: commands sent after 1 s are lost, and
// the first one's handshake says so instead of the bring-up going on blind.
TEST_F(WaitProfileTest, AResetWaitCutShortIsCaughtByTheHandshake) {
    cut_and_move(DesignedWait::controller_reset, 1.0);
    EXPECT_EQ(console.output().rfind("\nCM6K6 ERROR: # bytes in = -99, problem receiving RS232 "
                                     "input\n",
                                     0),
              0u)
        << console.output();
}

// A GO 0.1 s after the drives are enabled finds them not ready: the motors stand, and the
// stage's own potentiometers say the Move went nowhere.
TEST_F(WaitProfileTest, ADriveWaitCutShortLeavesTheCamsStanding) {
    cut_and_move(DesignedWait::drives_on, 0.1);
    EXPECT_NEAR(logged_x("Final device coordinates"), 0.0, 1e-6);
    EXPECT_NEAR(cam_angle(1), 0.0, 1e-9);
}

// A reading taken right after the potentiometers' supply relay closes reads the wipers
// still rising: the Move starts from coordinates far from where the stage stands (all cams
// at 0: zero), and ends off its target.
TEST_F(WaitProfileTest, APotentiometerWaitCutShortReadsTheTransient) {
    cut_and_move(DesignedWait::pot_settle, 0.0);
    EXPECT_GT(std::fabs(logged_x("Initial position coordinates")), 1e-5);
    EXPECT_GT(std::fabs(logged_x("Final device coordinates") - 0.0005), 1e-5);
}
