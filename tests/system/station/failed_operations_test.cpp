// Main-panel operations that cannot do their work say which part failed and log nothing
// that claims success, on the simulated stage.
#include "app/shell/panel_ids.hpp"
#include "station_sim_fixture.hpp"

#include <fstream>

namespace {

class FailedOperationsTest : public StationSimTest {
protected:
    std::size_t controller_commands() {
        sim.advance(now());
        return sim.cm6k6().history().size();
    }
};

} // namespace

// The controller gave the Home up half-way: not "All cams are in Home position", and no
// "Cams moved to zero position" in the log.
TEST_F(FailedOperationsTest, HomeGivenUpAtTheMotionEndIsNoHome) {
    bring_up();
    place_cams({0.2, -0.1, 0.15, 0.1, -0.2});
    stage_faults().motion_never_ends[0] = true;
    op.answer_confirm(false); // "Motion end": give it up
    ASSERT_EQ(op.press(main, MAIN_HOME), 0);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].message.rfind("Error in Motion end. Check error code # ", 0), 0u);
    EXPECT_EQ(op.texts(main, MAIN_STATUS),
              (std::vector<std::string>{"Setting all cams in Home position",
                                        "Not all cams are in Home position"}));
    EXPECT_EQ(run_log().find("Cams moved to zero position"), std::string::npos);
}

// No at a "Danger Operation" question ends the Move and the program: the instruments are
// closed and nothing more is asked, logged or sent (no second bring-up of the controller).
TEST_F(FailedOperationsTest, DangerNoDuringAMoveEndsItAndSendsNothingMore) {
    bring_up();
    place_cams({1.7, 0.0, 0.0, 0.0, 0.0}); // cam 1 beyond 90 degrees
    op.answer_generic(VAL_GENERIC_POPUP_BTN2);
    const std::string log = run_log();
    ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].message, "Angle out of range (>90 Degrees). Continue?");
    EXPECT_TRUE(op.quit_requested());
    EXPECT_EQ(op.texts(main, MAIN_STATUS), std::vector<std::string>{"Motors are in motion"});
    EXPECT_EQ(run_log(), log);
    // The last the controller heard is the drives-off of its shutdown.
    const std::size_t sent = controller_commands();
    EXPECT_EQ(sim.cm6k6().history().back().second, "DRIVE000000");
    clock.advance(60.0);
    EXPECT_EQ(controller_commands(), sent);
    EXPECT_EQ(shared_device_ids().cm6k6, 0);
    EXPECT_EQ(shared_device_ids().hp34970, 0);
}

// A zeroing the counter did not take is said once, and the counter is not asked again.
TEST_F(FailedOperationsTest, ZeroAllGaugesThatFailedSaysSoOnce) {
    bring_up();
    SetCtrlAttribute(main, MAIN_ZERO_ALL, ATTR_DIMMED, 0);
    sim.ev16p().faults().reply = ReplyFault::silent;
    op.answer_generic(VAL_GENERIC_POPUP_BTN1);
    op.answer_confirm(false);
    ASSERT_EQ(op.press(main, MAIN_ZERO_ALL), 0);
    ASSERT_EQ(op.popups().size(), 2u);
    EXPECT_EQ(op.popups()[1].message, "Error in # bytes in = -99, problem receiving RS232 "
                                      "input. Check error code # -99. Continue?");
    EXPECT_EQ(op.texts(main, MAIN_STATUS),
              (std::vector<std::string>{"Zeroing gages", "Gages are not set to zero"}));
    EXPECT_EQ(run_log().find("set to zero"), std::string::npos);
}

// An older run log is refused as the data file like the current one; a data file that
// cannot be had leaves the moves logged in the run log alone, said once at bring-up.
TEST_F(FailedOperationsTest, ARunLogIsNoDataFileAndWithoutOneTheMovesGoToTheRunLog) {
    const std::string older = std::string(kStationLogDir) + "\\Trelwick_log.001";
    std::ofstream(on_disk(older), std::ios::binary) << "an older run\n";
    op.type_value(main, MAIN_LOG_TO_FILE, 1LL);
    op.answer_message();
    op.answer(PopupKind::FileSelect, VAL_EXISTING_FILE_SELECTED, older);
    op.answer_confirm(true); // "Problem open the file"
    op.answer_confirm(true); // "Can not create the file"
    op.answer_message();
    ASSERT_EQ(op.press(main, MAIN_INIT), 0);
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Devices are ready");
    EXPECT_EQ(read_text_file(on_disk(older)), "an older run\n");
    EXPECT_EQ(op.popups()[2].message,
              "Error in Problem open the file. Check error code # 1. Continue?");
    EXPECT_EQ(op.popups().back().message,
              "No data file: the moves are logged in the run log only.");
    EXPECT_EQ(shared_param().log_to_file, 0);

    op.clear_records();
    ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(op.texts(main, MAIN_STATUS).back(), "Done");
    EXPECT_NE(run_log(2).find(" * Final coordinates * "), std::string::npos);
}
