// Soak: a long run of random reachable Moves and Homes on the simulated stage in virtual
// time. After every operation the stage stands where the operation meant it to; at the end
// the run log holds every entry of every operation, whole and in order.
//
// Targets come from cam angles drawn at random: the forward solution turns them into the
// coordinates the operator types, and the simulated cams must come to those angles within
// the potentiometer's reading error. TRELWICK_SOAK_MOVES sets the count of Moves (1000 by
// default; a Home comes after every tenth).
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "run_log_reader.hpp"
#include "stage/geometry.hpp"
#include "stage/kinematics.hpp"
#include "testbench_sim_fixture.hpp"

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>

namespace {

// How far a cam may stand from its target: the potentiometer's noise and resolution of the
// reading the move started from, turned into radians, with room for the controller's
// six-decimal distances. 2.5e-6 rad at the bench's scales; 2e-5 leaves margin.
constexpr double kAngleTolerance = 2e-5;

// The typed coordinates carry the forward solution's roll tolerance: a roll off by
// ROLL_TOLERANCE lifts the roll cam's contact by ROLL_CAM_X times that, which the cam
// takes up by turning e |cos a| per radian. Twice that bounds every cam's share.
double target_tolerance(int cam, double angle) {
    const double e = stage_model_bench_config().eccentricity[static_cast<std::size_t>(cam - 1)];
    return kAngleTolerance + 2.0 * ROLL_CAM_X * ROLL_TOLERANCE / (e * std::fabs(std::cos(angle)));
}
constexpr double kLargestAngle = 1.3; // radians, well inside the quarter turn either way

int soak_moves() {
    if (const char* text = std::getenv("TRELWICK_SOAK_MOVES"); text != nullptr && *text != '\0')
        return std::atoi(text);
    return 1000;
}

// Whether the coordinate box takes these values (its limits, in single precision).
bool within_input_limits(const coordinates& c) {
    for (std::size_t i = 0; i < c.size(); ++i) {
        const double limit = i <= COORD_Y ? 0.001 : 1.5707963705;
        if (!(std::fabs(c[i]) <= limit))
            return false;
    }
    return true;
}

class SoakTest : public BenchSimTest {
protected:
    // The coordinates the operator types for cam angles `angles`.
    coordinates coordinates_for(const cam_angles& angles) {
        param_structure record = shared_param();
        cam_move_angles_to_coord(record, angles);
        return record.coord;
    }

    void move(const coordinates& typed, bool absolute) {
        for (std::size_t i = 0; i < typed.size(); ++i)
            op.type_value(main, coord_ctrls[i], typed[i]);
        op.type_value(main, MAIN_MOVE_MODE, absolute ? 1LL : 0LL);
        op.press(main, MAIN_MOVE);
    }

    void expect_cams_at(const cam_angles& angles, int step, bool home = false) {
        for (int cam = 1; cam <= CAM_COUNT; ++cam) {
            const double target = angles[static_cast<std::size_t>(cam - 1)];
            ASSERT_NEAR(cam_angle(cam), target,
                        home ? kAngleTolerance : target_tolerance(cam, target))
                << "cam " << cam << " after operation " << step;
        }
    }
};

TEST_F(SoakTest, RandomMovesAndHomesLeaveTheStageWhereMeantAndEveryEntryWhole) {
    op.press(main, MAIN_INIT);
    ASSERT_GT(shared_device_ids().cm6k6, 0);
    ASSERT_GT(shared_device_ids().hp34970, 0);

    const int moves = soak_moves();
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> angle(-kLargestAngle, kLargestAngle);
    std::bernoulli_distribution absolute(0.5);

    struct Expected {
        bool home;
        coordinates target;
    };
    std::vector<Expected> expected;
    cam_angles present{};
    coordinates present_coord = coordinates_for(present);
    for (int n = 1; n <= moves; ++n) {
        // Cam angles whose coordinates the coordinate box takes.
        cam_angles target{};
        coordinates coord{};
        do {
            for (double& a : target)
                a = angle(random);
            coord = coordinates_for(target);
        } while (!within_input_limits(coord));
        bool abs = absolute(random);
        coordinates typed = coord;
        if (!abs) {
            for (std::size_t i = 0; i < typed.size(); ++i)
                typed[i] = coord[i] - present_coord[i];
            // A step that the coordinate box would refuse is typed as the target instead.
            if (!within_input_limits(typed)) {
                abs = true;
                typed = coord;
            }
        }
        move(typed, abs);
        ASSERT_TRUE(op.unexpected().empty()) << "move " << n << ": " << op.unexpected().front();
        ASSERT_NO_FATAL_FAILURE(expect_cams_at(target, n));
        expected.push_back({false, coord});
        present = target;
        present_coord = coord;

        if (n % 10 == 5) { // a Home between moves, never the last operation
            op.press(main, MAIN_HOME);
            ASSERT_TRUE(op.unexpected().empty())
                << "Home after move " << n << ": " << op.unexpected().front();
            present = cam_angles{};
            present_coord = coordinates_for(present);
            ASSERT_NO_FATAL_FAILURE(expect_cams_at(present, n, true));
            expected.push_back({true, {}});
        }
        if (n % 50 == 0)
            op.clear_records(); // the scripted operator's records would grow for ever
    }
    expect_cams_at(present, moves);
    EXPECT_TRUE(op.popups().empty())
        << op.popups().front().title << ": " << op.popups().front().message;

    const std::string log = run_log();
    const RunLogReading reading = read_run_log(log);
    ASSERT_TRUE(reading.header_ok);
    ASSERT_EQ(reading.error, "") << "after " << reading.entries.size() << " entries";
    ASSERT_FALSE(reading.entries.empty());
    EXPECT_EQ(reading.entries.front().kind, RunLogEntry::Initialised);
    // Bring-up ends with the coordinates the stage starts from.
    ASSERT_GE(reading.entries.size(), 2U);
    EXPECT_EQ(reading.entries[1].title, "Initial device coordinates");

    // Each Move: the initial, the final and the final device coordinates; each Home: its line.
    std::size_t at = 2;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        if (expected[k].home) {
            ASSERT_LT(at, reading.entries.size());
            EXPECT_EQ(reading.entries[at].kind, RunLogEntry::Event) << "operation " << k;
            EXPECT_EQ(reading.entries[at].title, "Cams moved to zero position");
            ++at;
            continue;
        }
        ASSERT_LE(at + 3, reading.entries.size()) << "operation " << k;
        const char* titles[] = {"Initial position coordinates", "Final coordinates",
                                "Final device coordinates"};
        for (int e = 0; e < 3; ++e) {
            const RunLogEntry& entry = reading.entries[at + static_cast<std::size_t>(e)];
            ASSERT_EQ(entry.kind, RunLogEntry::Coordinates) << "operation " << k;
            EXPECT_EQ(entry.title, titles[e]) << "operation " << k;
            ASSERT_EQ(entry.numbers.size(), 5U);
        }
        // The stage's coordinates after the move are the target's, to the log's six
        // decimals (the angle errors above move them by well under a millionth).
        const RunLogEntry& final_entry = reading.entries[at + 2];
        for (std::size_t i = 0; i < 5; ++i)
            EXPECT_NEAR(final_entry.numbers[i], expected[k].target[i], 2e-6)
                << "operation " << k << " coordinate " << i;
        at += 3;
    }
    EXPECT_EQ(at, reading.entries.size());
}

} // namespace
