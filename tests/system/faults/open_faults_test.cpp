// Every way an instrument can fail to open, met at bring-up or at the first gauge
// operation: nothing at the GPIB address, no GPIB library on the machine, a full device
// table.
//
// Elsewhere: nothing on the controller's port (station/bring_up_test.cpp, "OpenCom"), nothing
// on the counter's port (station/home_and_readings_test.cpp), a unit that does not answer
// (station/bring_up_test.cpp), an instrument moved by the parameters panel to an address
// where nothing answers (readings_test.cpp).
#include "app/shell/panel_ids.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "platform/system_io/gpib_library.hpp"
#include "station_sim_fixture.hpp"

#include <cmath>

namespace {

const std::string kEnterOrEnd =
    "Press ENTER to continue.\nPress any key then ENTER to terminate program.\n";

class OpenFaultsTest : public StationSimTest {
protected:
    void SetUp() override {
        StationSimTest::SetUp();
        for (int i = 0; i < 10; ++i)
            console.add_line("\n");
    }
    std::vector<std::string> popup_lines() const {
        std::vector<std::string> lines;
        for (const auto& p : op.popups())
            lines.push_back(p.title + ": " + p.message);
        return lines;
    }
    // Bring-up stopped at the unit: "Init Error", its PROBLEM entry, the controller untried.
    void expect_unit_not_initialised() {
        EXPECT_EQ(popup_lines(), std::vector<std::string>{"Init Error: Error in device init"});
        EXPECT_EQ(op.texts(main, MAIN_STATUS),
                  std::vector<std::string>{"Initialization HP34970..."});
        EXPECT_EQ(without_entry_times(run_log()),
                  kRunLogHead + " \n PROBLEM: HP34970 is not initialized \n " +
                      coordinates_entry("Initial device coordinates", kZeroCoordinates));
        EXPECT_TRUE(sim.cm6k6().history().empty());
        EXPECT_TRUE(sim.hp34970().history().empty());
        EXPECT_EQ(shared_device_ids().hp34970, 0);
        EXPECT_TRUE(op.dimmed(main, MAIN_MOVE));
    }
};

const std::string kCannotOpenUnit = "\nHP34970 ERROR: The device could not be opened\n" +
                                    kEnterOrEnd + "\nHP34970 ERROR: Device was not opened\n" +
                                    kEnterOrEnd;

} // namespace

TEST_F(OpenFaultsTest, NothingAtTheUnitsAddressStopsBringUpAtTheUnit) {
    gpib.attach(kSimGpibBoard, kSimGpibAddress, nullptr);
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    EXPECT_EQ(console.output(), kCannotOpenUnit);
    expect_unit_not_initialised();
}

TEST_F(OpenFaultsTest, WithoutAGpibLibraryTheUnitCannotBeOpenedAndTheProgramRunsOn) {
    GpibLibraryBackend missing("/nonexistent/libgpib-for-trelwick-tests.so");
    platform_use_gpib(&missing);
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    EXPECT_EQ(console.output(), kCannotOpenUnit);
    expect_unit_not_initialised();
    EXPECT_FALSE(missing.load_error().empty());
    // The operator can still bring the stage up once the unit is reachable.
    platform_use_gpib(&gpib);
    op.clear_records();
    bring_up();
}

TEST_F(OpenFaultsTest, AFullUnitTableStopsBringUpBeforeTheUnitIsTouched) {
    // Ten other units already hold every slot.
    for (int address = 10; address < 20; ++address) {
        gpib.attach(kSimGpibBoard, address, &sim.hp34970());
        ASSERT_GT(hp34970_open_dev(kSimGpibBoard, address), 0);
    }
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    EXPECT_EQ(console.output(), kCannotOpenUnit);
    expect_unit_not_initialised();
}

TEST_F(OpenFaultsTest, AFullControllerTableAnsweredNoStopsBringUpAtTheController) {
    for (int address = 10; address < 20; ++address)
        ASSERT_GT(cm6k6_open_dev(address), 0);
    op.answer_confirm(false);
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    EXPECT_EQ(console.output(), "\nCM6K6 ERROR: The device could not be opened\n" + kEnterOrEnd);
    EXPECT_EQ(popup_lines(),
              (std::vector<std::string>{
                  "ERROR: Error in RS232.Device was not opened. Check error code # -1. Continue?",
                  "Init Error: Error in device init"}));
    EXPECT_EQ(without_entry_times(run_log()),
              kRunLogHead + " \n PROBLEM: CM6K6 is not initialized \n " +
                  coordinates_entry("Initial device coordinates", kZeroCoordinates));
    // Nothing reached the controller.
    EXPECT_TRUE(sim.cm6k6().history().empty());
    EXPECT_EQ(shared_device_ids().cm6k6, 0);
}

TEST_F(OpenFaultsTest, AFullCounterTableGivesNoReadingWhateverTheAnswer) {
    StationSimTest::bring_up();
    for (int c = MAIN_READ_GAGE_1; c <= MAIN_ZERO_GAGE_5; ++c)
        SetCtrlAttribute(main, c, ATTR_DIMMED, 0);
    for (int address = 20; address < 30; ++address)
        ASSERT_GT(ev16p_open_dev(address), 0);
    const std::string log = run_log();
    const std::string full =
        "ERROR: Error in The device could not be opened. Check error code # 0. Continue?";

    // No: the bring-up of the counter ends there, nothing is sent.
    op.answer_confirm(false);
    ASSERT_EQ(op.press(main, MAIN_READ_GAGE_3), 0);
    EXPECT_EQ(popup_lines(), std::vector<std::string>{full});
    EXPECT_TRUE(std::isnan(slot(17)));
    EXPECT_EQ(shared_device_ids().ev16p, 0);
    EXPECT_TRUE(sim.ev16p().history().empty());

    // Yes: the spare slot 0 is no device id; its first use is refused, and still no
    // reading is made up.
    op.clear_records();
    op.answer_confirm(true);
    op.answer_confirm(false);
    ASSERT_EQ(op.press(main, MAIN_READ_GAGE_3), 0);
    EXPECT_EQ(
        popup_lines(),
        (std::vector<std::string>{
            full, "ERROR: Error in dev_ID = 0, out of range. Check error code # 0. Continue?"}));
    EXPECT_TRUE(std::isnan(slot(17)));
    // The bring-up still asks the counter its state, but no reading is asked for.
    for (const auto& [time, command] : sim.ev16p().history())
        EXPECT_NE(command.rfind("GA", 0), 0u) << command;
    EXPECT_EQ(run_log(), log);
}
