// Every operation of the main panel and the test panel, with each instrument it needs
// failing in turn, on the simulated stage: no text that claims success may appear on the
// status line, in a zeroed display or in the run log. Each operation also runs once with
// nothing failing, where its success texts must appear (so the table names the right ones).
//
// Every case runs under both wait profiles: the fast waits' handshakes must never make a
// failure pass for a success.
//
// The operator here is careful and answers every pop-up as the safe choice: No at an
// "ERROR" question (gives a motion up, stops a zeroing), Reset at a "Danger Operation"
// question (except the one that asks to zero the gauges), Continue at a console stop.
#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "drivers/wait_profile.hpp"
#include "testbench/bench_state.hpp"
#include "testbench_sim_fixture.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace {

enum class Fault { none, cm_silent, hp_silent, ev_silent, closed, hp_error, give_up };

const char* fault_name(Fault f) {
    switch (f) {
    case Fault::none:
        return "Nothing";
    case Fault::cm_silent:
        return "ControllerSilent";
    case Fault::hp_silent:
        return "SwitchUnitSilent";
    case Fault::ev_silent:
        return "CounterSilent";
    case Fault::closed:
        return "ClosedAfterErrorNo";
    case Fault::hp_error:
        return "SwitchUnitErrorStatus";
    case Fault::give_up:
        return "MoveGivenUp";
    }
    return "";
}

struct Operation {
    const char* name;
    bool bench; // on the test panel, after its bring-up
    int control;
    std::vector<std::string> status_success; // status-line texts that claim success
    std::vector<std::string> log_success;    // run-log texts that claim success
    int zero_display;                        // a display showing 0.0 claims a zeroing; or 0
    std::vector<Fault> faults;               // the failures that must defeat it
};

const std::vector<Operation>& operations() {
    using F = Fault;
    const std::vector<F> moving = {F::cm_silent, F::hp_silent, F::hp_error, F::give_up, F::closed};
    static const std::vector<Operation> table = {
        // Move opens a closed controller again, as designed: closing it defeats nothing.
        {"Move",
         false,
         MAIN_MOVE,
         {"Done"},
         {},
         0,
         {F::cm_silent, F::hp_silent, F::hp_error, F::give_up}},
        {"Home",
         false,
         MAIN_HOME,
         {"All cams are in Home position"},
         {"Cams moved to zero position"},
         0,
         moving},
        {"ZeroAllGauges",
         false,
         MAIN_ZERO_ALL,
         {"All gages are set to zero"},
         {"All gages set to zero"},
         0,
         {F::ev_silent}},
        {"ZeroGaugeOne",
         false,
         MAIN_ZERO_GAGE_1,
         {},
         {"All gages set to zero"},
         MAIN_GAGE_1,
         {F::ev_silent}},
        {"TestRun", true, TEST_RUN, {"Done"}, {}, 0, {F::cm_silent, F::give_up}},
        {"PotZero",
         true,
         TEST_GO_ZERO,
         {"Pot zero Done"},
         {"Cams moved to zero position"},
         0,
         moving},
        {"BenchHome",
         true,
         TEST_GO_HOME,
         {"Homing Done"},
         {"Cams moved to home position"},
         0,
         moving},
        {"ZeroGauge", true, TEST_ZERO, {"Done"}, {}, TEST_POSITION, {F::ev_silent}},
        {"WorkPoint",
         true,
         TEST_WORK_POINT,
         {"Done"},
         {},
         0,
         {F::cm_silent, F::ev_silent, F::give_up, F::closed}},
    };
    return table;
}

struct Case {
    std::size_t operation;
    Fault fault;
    WaitProfile profile;
};

std::vector<Case> all_cases() {
    std::vector<Case> cases;
    for (const WaitProfile profile : {WaitProfile::designed, WaitProfile::fast})
        for (std::size_t i = 0; i < operations().size(); ++i) {
            cases.push_back({i, Fault::none, profile});
            for (Fault f : operations()[i].faults)
                cases.push_back({i, f, profile});
        }
    return cases;
}

class CarefulOperator : public ScriptedOperator {
public:
    void message_popup(const std::string& title, const std::string& message,
                       const std::string& details) override {
        answer_message();
        ScriptedOperator::message_popup(title, message, details);
    }
    int confirm_popup(const std::string& title, const std::string& message,
                      const std::string& details) override {
        answer_confirm(false);
        return ScriptedOperator::confirm_popup(title, message, details);
    }
    int generic_message_popup(const GenericPopupRequest& request, std::string* response) override {
        if (request.message == "All gages will be set to ZERO.Continue?")
            answer_generic(VAL_GENERIC_POPUP_BTN1);
        else
            answer_generic_escape();
        return ScriptedOperator::generic_message_popup(request, response);
    }
};

class NoFalseSuccessTest : public BenchSimTest, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override {
        BenchSimTest::SetUp();
        set_wait_profile(GetParam().profile);
        platform_use_panels(&careful);
        main = load(MAIN_PANEL);
        main_panel_handle() = main;
    }
    void TearDown() override {
        for (const auto& what : careful.unexpected())
            ADD_FAILURE() << "unexpected operator interaction: " << what;
        platform_use_panels(&op);
        BenchSimTest::TearDown();
    }
    void apply(Fault fault) {
        switch (fault) {
        case Fault::none:
            break;
        case Fault::cm_silent:
            sim.cm6k6().faults().reply = ReplyFault::silent;
            break;
        case Fault::hp_silent:
            sim.hp34970().faults().reply = ReplyFault::silent;
            break;
        case Fault::ev_silent:
            sim.ev16p().faults().reply = ReplyFault::silent;
            break;
        case Fault::closed:
            cam_move_error_handling(1, "Unable to open log file"); // answered No
            break;
        case Fault::hp_error:
            sim.hp34970().push_error(-221, "Settings conflict");
            break;
        case Fault::give_up:
            stage_faults().motion_never_ends[0] = true;
            break;
        }
    }

    CarefulOperator careful;
};

TEST_P(NoFalseSuccessTest, NoSuccessIsClaimedForWhatDidNotHappen) {
    const Operation& operation = operations()[GetParam().operation];
    const Fault fault = GetParam().fault;
    careful.press(main, MAIN_INIT);
    ASSERT_EQ(careful.texts(main, MAIN_STATUS).back(), "Devices are ready");
    int panel = main;
    int status = MAIN_STATUS;
    if (operation.bench) {
        careful.press(main, MAIN_TEST);
        panel = test_panel_handle();
        status = TEST_STATUS;
        careful.press(panel, TEST_INIT);
        ASSERT_EQ(careful.texts(panel, TEST_STATUS).back(), "Devices Ready");
    } else {
        SetCtrlAttribute(main, MAIN_ZERO_ALL, ATTR_DIMMED, 0);
        SetCtrlAttribute(main, MAIN_ZERO_GAGE_1, ATTR_DIMMED, 0);
        careful.type_value(main, MAIN_MOVE_MODE, 1LL); // to the typed targets, all 0
    }
    place_cams({0.2, -0.1, 0.15, 0.1, -0.2});
    apply(fault);
    careful.clear_records();
    const std::size_t logged = run_log().size();

    careful.press(panel, operation.control);

    const std::vector<std::string> shown = careful.texts(panel, status);
    const std::string log = run_log().substr(logged);
    if (fault == Fault::none) {
        for (const std::string& text : operation.status_success)
            EXPECT_NE(std::find(shown.begin(), shown.end(), text), shown.end()) << text;
        for (const std::string& text : operation.log_success)
            EXPECT_NE(log.find(text), std::string::npos) << text;
        if (operation.zero_display != 0) {
            EXPECT_EQ(careful.value_double(panel, operation.zero_display), 0.0);
        }
        return;
    }
    for (const std::string& text : operation.status_success)
        EXPECT_EQ(std::find(shown.begin(), shown.end(), text), shown.end()) << text;
    for (const std::string& text : operation.log_success)
        EXPECT_EQ(log.find(text), std::string::npos) << text;
    if (operation.zero_display != 0) {
        EXPECT_NE(careful.value_double(panel, operation.zero_display), 0.0);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, NoFalseSuccessTest, ::testing::ValuesIn(all_cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(operations()[info.param.operation].name) + "_" +
                                    fault_name(info.param.fault) +
                                    (info.param.profile == WaitProfile::fast ? "Fast" : "");
                         });

} // namespace
