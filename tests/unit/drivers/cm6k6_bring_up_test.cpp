// The controller's bring-up on the wire, its device table, its send and receive failures
// and its shutdown.
#include "driver_fixture.hpp"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace {

class Cm6k6BringUp : public DriverTest {};

TEST_F(Cm6k6BringUp, ConfiguresTheControllerByteForByteWithItsWaits) {
    for (const auto& c : kControllerConfiguration)
        controller.expect(c);
    for (int k = 0; k < 4; ++k)
        controller.expect("TCMDER", "*NO ERRORS");
    int id = 0;
    cm6k6_init(0, kControllerPort, 1, &id);

    EXPECT_EQ(id, 1);
    ASSERT_TRUE(controller.settings().has_value());
    EXPECT_EQ(controller.settings()->baud, 9600);
    EXPECT_EQ(controller.settings()->parity, 0);
    EXPECT_EQ(controller.settings()->data_bits, 8);
    EXPECT_EQ(controller.settings()->stop_bits, 1);
    // Every command went out framed with CR LF (the instrument strips exactly that).
    const auto times = controller.arrival_times();
    ASSERT_EQ(times.size(), 29u);
    // 0.6 s after every command, 5 s more after the reset.
    EXPECT_NEAR(times[0], 0.0, 1e-9);
    for (std::size_t k = 1; k < times.size(); ++k)
        EXPECT_NEAR(times[k], 5.6 + 0.6 * static_cast<double>(k - 1), 1e-6) << "command " << k;
    EXPECT_NEAR(clock.elapsed_seconds(), 22.4, 1e-6);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(console.output(), "");
}

TEST_F(Cm6k6BringUp, ProfileInitSetsTheAxisProfileBeforeTheDrivesGoOff) {
    for (const auto& c : kControllerConfiguration) {
        if (c == "DRIVE000000")
            break;
        controller.expect(c == "@LHAD1.000000" ? "@LHAD10.000000" : c);
    }
    for (const char* c : {"3MA0", "3MC0", "3A2.000000", "3AA1.000000", "3AD2.000000",
                          "3ADA1.000000", "3V0.500000", "DRIVE000000"})
        controller.expect(c);
    for (int k = 0; k < 4; ++k)
        controller.expect("TCMDER", "*NO ERRORS");
    int id = 0;
    EXPECT_EQ(cm6k6_cam_init(0, kControllerPort, 1, &id, 3, 0.5, 2.0), 0);
    EXPECT_EQ(id, 1);
}

TEST_F(Cm6k6BringUp, ProfileInitWithoutACleanStatusGivesNoId) {
    for (const auto& c : kControllerConfiguration) {
        if (c == "DRIVE000000")
            break;
        controller.expect(c == "@LHAD1.000000" ? "@LHAD10.000000" : c);
    }
    for (const char* c : {"1MA0", "1MC0", "1A1.000000", "1AA0.500000", "1AD1.000000",
                          "1ADA0.500000", "1V1.000000", "DRIVE000000"})
        controller.expect(c);
    controller.expect("TCMDER"); // no answer
    press_enter(2);
    int id = -7;
    EXPECT_EQ(cm6k6_cam_init(0, kControllerPort, 1, &id, 1, 1.0, 1.0), -1);
    EXPECT_EQ(id, -7);
    EXPECT_EQ(cm6k6_check_dev_open(1), 0);
}

TEST_F(Cm6k6BringUp, OutOfRangePortOrAddressAskAndNoLeavesTheIdUntouched) {
    int id = -7;
    op.answer_confirm(false);
    cm6k6_init(0, 40, 1, &id);
    op.answer_confirm(true);  // port 0: go on
    op.answer_confirm(false); // address 100: stop
    cm6k6_init(0, 0, 100, &id);
    EXPECT_EQ(id, -7);
    EXPECT_THAT(confirm_texts(),
                ElementsAre(confirm_text("RS232_COM_PORT", 40), confirm_text("RS232_COM_PORT", 0),
                            confirm_text("RS232_DEV_ADDR", 100)));
    EXPECT_EQ(op.popups()[0].title, "ERROR");
    EXPECT_TRUE(controller.received().empty());
}

TEST_F(Cm6k6BringUp, PortThatCannotOpenAsksAndNoStops) {
    int id = -7;
    op.answer_confirm(false);
    cm6k6_init(0, 7, 1, &id); // nothing attached to COM7
    EXPECT_EQ(id, -7);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("OpenCom", kRS232InvalidPort)));
}

TEST_F(Cm6k6BringUp, ControllerErrorIsPrintedAndNoIdGiven) {
    for (const auto& c : kControllerConfiguration)
        controller.expect(c);
    controller.expect("TCMDER", "*NO ERRORS").expect("TCMDER", "*UNDEFINED LABEL");
    press_enter();
    int id = 0;
    cm6k6_init(0, kControllerPort, 1, &id);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(cm6k6_check_dev_open(1), 0);
    EXPECT_EQ(console.output(), "*UNDEFINED LABEL\n" + cm6k6_stop_text("Error executing command"));
    EXPECT_EQ(op.beeps(), 2);
}

TEST_F(Cm6k6BringUp, AnswerOtherThanEnterEndsTheProgram) {
    for (const auto& c : kControllerConfiguration)
        controller.expect(c);
    controller.expect("TCMDER", "*BAD");
    console.add_line("q\n");
    int id = 0;
    try {
        cm6k6_init(0, kControllerPort, 1, &id);
        ADD_FAILURE() << "the program went on";
    } catch (const ProgramExitRequest& exit) {
        EXPECT_EQ(exit.status, 0);
    }
    EXPECT_EQ(id, 0);
}

TEST_F(Cm6k6BringUp, DeviceTableHandsOutTenSlotsAndTheSameIdTwice) {
    for (int address = 1; address <= 10; ++address)
        EXPECT_EQ(cm6k6_open_dev(address * 3), address);
    EXPECT_EQ(cm6k6_open_dev(9), 3); // already open: same id
    press_enter();
    EXPECT_EQ(cm6k6_open_dev(99), -1);
    EXPECT_EQ(console.output(), cm6k6_stop_text("The device could not be opened"));
    EXPECT_EQ(cm6k6_close_dev(3), 9); // the second open of 9 did not count
    EXPECT_EQ(cm6k6_close_dev(3), 0);
    EXPECT_EQ(cm6k6_check_dev_open(3), 0);
    EXPECT_EQ(cm6k6_check_dev_open(11), 0);
    EXPECT_EQ(cm6k6_open_dev(99), 3); // the freed slot is the lowest
}

TEST_F(Cm6k6BringUp, ExitSwitchesTheDrivesOffAndFreesTheSlot) {
    const int id = bring_up_controller();
    controller.expect("DRIVE000000");
    cm6k6_exit(id);
    EXPECT_EQ(cm6k6_check_dev_open(id), 0);
    cm6k6_exit(id); // closed: nothing sent
    press_enter();
    cm6k6_exit(11);
    EXPECT_EQ(console.output(), cm6k6_stop_text("dev_ID = 11, out of range"));
    EXPECT_THAT(controller.commands(), ElementsAre("DRIVE000000"));
}

TEST_F(Cm6k6BringUp, FailedWriteAndSilentReadAreReported) {
    const int id = bring_up_controller();
    serial.fail_writes(-3);
    press_enter();
    EXPECT_EQ(cm6k6_out(id, "1TPC"), -1);
    EXPECT_EQ(console.output(), cm6k6_stop_text("err = -3, problem sending RS232 command"));
    serial.fail_writes(0);
    console.clear_output();

    controller.expect("1TPC"); // no reply
    EXPECT_EQ(cm6k6_out(id, "1TPC"), 0);
    std::string reply = "kept";
    const double before = clock.elapsed_seconds();
    press_enter();
    EXPECT_EQ(cm6k6_in(id, &reply), -1);
    EXPECT_EQ(reply, "kept");
    // The read waited its whole time-out; the message's half-second beep gap follows.
    EXPECT_NEAR(clock.elapsed_seconds() - before, kSerialReadTimeoutSeconds + 0.5, 1e-6);
    EXPECT_EQ(console.output(), cm6k6_stop_text("# bytes in = -99, problem receiving RS232 input"));
}

TEST_F(Cm6k6BringUp, ResolutionQueriesKnowSixAxes) {
    int steps = -1, counts = -1;
    cm6k6_get_num_mot_steps_per_rev(6, &steps);
    cm6k6_get_num_enc_cts_per_rev(1, &counts);
    EXPECT_EQ(steps, 25000);
    EXPECT_EQ(counts, 4096);
    press_enter();
    cm6k6_get_num_mot_steps_per_rev(7, &steps);
    EXPECT_EQ(steps, 25000);
    EXPECT_EQ(console.output(), cm6k6_stop_text("Unknown axis number"));
    std::string pattern = "old";
    cm6k6_axis(3, &pattern);
    EXPECT_EQ(pattern, "0,0,1,0,0,0");
    cm6k6_axis(0, &pattern);
    EXPECT_EQ(pattern, "0,0,1,0,0,0");
}

} // namespace
