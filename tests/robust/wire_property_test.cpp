// No unmeant value on the wire: random typed targets, absolute and relative, go through
// the coordinate box's entry, the inverse solution and the revolution conversion to the
// simulated motion controller, with every pop-up answered at random. Whatever is typed
// and answered, every distance the controller receives is a finite number; one beyond the
// revolution threshold only after the operator said Yes to that warning; none at all in a
// Move where an "Unreachable position", "Angle > 90" or revolutions question was refused
// (the first refusal ends the Move before anything is sent), nor where a typed value was
// refused.
//
// TRELWICK_WIRE_TARGETS sets the count of Moves (100000 by default), shared among eight
// seeds.
#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "quick_switch_unit.hpp"
#include "stage/coordinate_exchange.hpp"
#include "stage/geometry.hpp"
#include "stage/motion.hpp"
#include "testbench_sim_fixture.hpp"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr const char* kTooManyRevolutions = " Too many motor revolutions. Continue?";
constexpr const char* kBeyondRight = "Angle > 90. Continue?";
constexpr const char* kUnreachable = "Unreachable position. Continue?";
constexpr const char* kValueOutOfRange = "Value out of Range\nInput a new one.";

int wire_targets() {
    if (const char* text = std::getenv("TRELWICK_WIRE_TARGETS"); text != nullptr && *text != '\0')
        return std::atoi(text);
    return 100000;
}

// The scripted operator, answering every confirmation and every danger pop-up at random
// once `random` is set, and keeping what was asked and answered.
class RandomOperator : public ScriptedOperator {
public:
    struct Asked {
        std::string message;
        int answer;
        bool danger; // a "Danger Operation" pop-up, whose answer decides the move
    };
    std::mt19937_64 dice{20261208};
    bool random = false;
    std::vector<Asked> asked;

    void message_popup(const std::string& title, const std::string& message) override {
        if (!random)
            ScriptedOperator::message_popup(title, message);
        else
            asked.push_back({message, 1, false});
    }
    int confirm_popup(const std::string& title, const std::string& message) override {
        if (!random)
            return ScriptedOperator::confirm_popup(title, message);
        const int answer = static_cast<int>(dice() % 2);
        asked.push_back({message, answer, false});
        return answer;
    }
    int generic_message_popup(const GenericPopupRequest& request, std::string* response) override {
        if (!random)
            return ScriptedOperator::generic_message_popup(request, response);
        std::vector<int> buttons;
        for (int b = 0; b < 3; ++b)
            if (!request.button[static_cast<std::size_t>(b)].empty())
                buttons.push_back(VAL_GENERIC_POPUP_BTN1 + b);
        const int answer =
            buttons.empty() ? request.escape_button : buttons[dice() % buttons.size()];
        asked.push_back({request.message, answer, true});
        return answer;
    }
};

// A typed value: mostly the awkward ones, at and just past the box's limits, not numbers,
// infinities and huge values, and ordinary ones in range.
double typed_value(std::mt19937_64& dice, double limit) {
    const double inf = std::numeric_limits<double>::infinity();
    const double flimit = static_cast<double>(static_cast<float>(limit));
    const double sign = dice() % 2 == 0 ? 1.0 : -1.0;
    switch (dice() % 12) {
    case 0:
        return std::numeric_limits<double>::quiet_NaN();
    case 1:
        return sign * inf;
    case 2:
        return sign * std::numeric_limits<double>::max();
    case 3:
        return sign * 1e300 * std::uniform_real_distribution<double>(0.0, 1.0)(dice);
    case 4:
        return sign * flimit; // the limit as the box holds it
    case 5:
        return sign * std::nextafter(flimit, inf);
    case 6:
        return sign * std::nextafter(flimit, 0.0);
    case 7:
        return sign * limit;
    case 8:
        return std::numeric_limits<double>::denorm_min() * sign;
    case 9:
        return 0.0;
    default:
        return std::uniform_real_distribution<double>(-limit, limit)(dice);
    }
}

class WirePropertyTest : public BenchSimTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        BenchSimTest::SetUp();
        gpib.attach(kSimGpibBoard, kSimGpibAddress, &unit);
        platform_use_panels(&rop);
        main = load(MAIN_PANEL);
        main_panel_handle() = main;
    }
    void TearDown() override {
        for (const auto& what : rop.unexpected())
            ADD_FAILURE() << "unexpected operator interaction: " << what;
        platform_use_panels(&op);
        BenchSimTest::TearDown();
    }

    RandomOperator rop;
    QuickSwitchUnit unit{sim};
};

// The Moves are shared among eight runs of their own seeds, each bounded on its own.
constexpr int kShards = 8;

TEST_P(WirePropertyTest, NoDistanceReachesTheControllerThatTheOperatorDidNotMean) {
    rop.press(main, MAIN_INIT);
    ASSERT_GT(shared_device_ids().cm6k6, 0);
    ASSERT_GT(shared_device_ids().hp34970, 0);
    rop.clear_records();
    rop.random = true;
    shared_param().log_to_file = 0;

    const std::regex distance(R"(^!?([1-6])D(.*)$)");
    std::mt19937_64 dice(1000 + static_cast<unsigned>(GetParam()));
    rop.dice.seed(2000 + static_cast<unsigned>(GetParam()));
    const int moves = wire_targets() / kShards;
    int sent = 0, beyond = 0;
    for (int n = 0; n < moves; ++n) {
        // Half the Moves type a target the stage can mostly reach, the others one awkward
        // value or more; a quarter start from cams the program believes anywhere on their
        // turn (its potentiometer offsets moved), so that moves past the revolution
        // threshold come up.
        const bool ordinary = dice() % 2 == 0;
        for (std::size_t i = 0; i < CAM_COUNT; ++i) {
            const double limit = i <= COORD_Y ? static_cast<double>(XY_INPUT_LIMIT)
                                              : static_cast<double>(ANGLE_INPUT_LIMIT);
            const double value = ordinary
                                     ? std::uniform_real_distribution<double>(-6e-4, 6e-4)(dice)
                                     : typed_value(dice, limit);
            rop.type_value(main, coord_ctrls[i], value);
        }
        const bool anywhere = dice() % 4 == 0;
        for (double& offset : shared_param().pot_offset)
            offset = anywhere ? std::uniform_real_distribution<double>(-6.0, 6.0)(dice) : 0.0;
        const int absolute = static_cast<int>(dice() % 2);
        rop.asked.clear();
        sim.cm6k6().clear_history();
        cam_move_go(main, shared_addresses(), shared_param(), coord_ctrls, "", absolute);
        // A No at a danger question ends the program: the next Move stands for the next run.
        program_ending() = false;

        bool revolutions_accepted = false;
        bool refused = false; // a deciding question was refused, or a typed value
        for (const auto& a : rop.asked) {
            const bool yes = a.answer == VAL_GENERIC_POPUP_BTN1;
            if (a.message == kTooManyRevolutions)
                revolutions_accepted = revolutions_accepted || yes;
            // Any refusal of these ends the Move before anything is sent, whatever was
            // answered before it. The forward solution's own "Continue?" warnings decide
            // nothing.
            if (a.danger && (a.message == kTooManyRevolutions || a.message == kBeyondRight ||
                             a.message == kUnreachable))
                refused = refused || !yes;
            if (a.message == kValueOutOfRange)
                refused = true;
        }
        std::string dialogue;
        for (const auto& a : rop.asked)
            dialogue += "\n  [" + a.message + "] -> " + std::to_string(a.answer);
        for (const auto& [time, command] : sim.cm6k6().history()) {
            std::smatch m;
            if (!std::regex_match(command, m, distance))
                continue;
            ++sent;
            const double revs = std::strtod(m[2].str().c_str(), nullptr);
            ASSERT_TRUE(std::isfinite(revs)) << "move " << n << ": " << command << dialogue;
            ASSERT_FALSE(refused) << "move " << n << ": " << command << " after a refusal"
                                  << dialogue;
            if (std::fabs(revs) > MAX_MOTOR_REVS) {
                ++beyond;
                ASSERT_TRUE(revolutions_accepted) << "move " << n << ": " << command << dialogue;
            }
        }
        if (n % 1000 == 999)
            rop.clear_records();
    }
    // The run exercised both sides of the property.
    EXPECT_GT(sent, moves / 20);
    EXPECT_GT(beyond, 0);
    RecordProperty("distances_sent", sent);
    RecordProperty("beyond_threshold", beyond);
}

INSTANTIATE_TEST_SUITE_P(Seeds, WirePropertyTest, ::testing::Range(0, kShards));

} // namespace
