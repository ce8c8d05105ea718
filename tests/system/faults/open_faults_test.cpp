// Every way an instrument can fail to open, met at bring-up or at the first gauge
// operation: nothing at the GPIB address, no GPIB library on the machine, a unit on the
// network that refuses, a serial device that is not there or is no serial device, a full
// device table. Each failure to reach an instrument carries what was tried, the system's
// reason and what to do, under the designed texts: in the pop-up's details and in the run
// log's entry.
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
#include "platform/system_io/gpib_routing.hpp"
#include "platform/system_io/gpib_tcp.hpp"
#include "scoped_environment.hpp"
#include "station_sim_fixture.hpp"

#include <cmath>

#ifndef _WIN32
#include "closed_loopback_port.hpp"
#include "platform/system_io/termios_serial.hpp"

#include <unistd.h>
#endif

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
    // A PROBLEM entry as the run log has it, with the diagnosis' lines (each ending in a
    // line feed) indented under it.
    static std::string problem_entry(const std::string& problem, const std::string& details) {
        std::string entry = " \n " + problem;
        for (std::size_t from = 0; from < details.size();) {
            const std::size_t end = details.find('\n', from);
            entry += "\n   " + details.substr(from, end - from);
            from = end + 1;
        }
        return entry + " \n ";
    }
    // Bring-up stopped at the unit: "Init Error" with `details`, its PROBLEM entry with the
    // same lines, the controller untried.
    void expect_unit_not_initialised(const std::string& details = {}) {
        EXPECT_EQ(popup_lines(), std::vector<std::string>{"Init Error: Error in device init"});
        if (!op.popups().empty()) {
            EXPECT_EQ(op.popups().back().details, details);
        }
        EXPECT_EQ(op.texts(main, MAIN_STATUS),
                  std::vector<std::string>{"Initialization HP34970..."});
        EXPECT_EQ(without_entry_times(run_log()),
                  kRunLogHead + problem_entry("PROBLEM: HP34970 is not initialized", details) +
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
    expect_unit_not_initialised("Tried: GPIB 1:9 -> the simulated stage in this program\n"
                                "Reason: nothing at this address\n"
                                "To do: the simulated stage serves no GPIB unit\n");
}

TEST_F(OpenFaultsTest, WithoutAGpibLibraryTheUnitCannotBeOpenedAndTheProgramRunsOn) {
    const ScopedEnvironment no_library_named("TRELWICK_GPIB_LIBRARY", "");
    GpibLibraryBackend missing("/nonexistent/libgpib-for-trelwick-tests.so");
    platform_use_gpib(&missing);
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    EXPECT_EQ(console.output(), kCannotOpenUnit);
    ASSERT_FALSE(missing.load_error().empty());
    expect_unit_not_initialised(
        "Tried: GPIB 1:9 -> GPIB library /nonexistent/libgpib-for-trelwick-tests.so\n"
        "Reason: GPIB library not found (" +
        missing.load_error() +
        ")\n"
        "To do: install the GPIB library or set TRELWICK_GPIB_LIBRARY; for a unit on the "
        "network set TRELWICK_GPIB1_9=HOST:PORT\n");
    // The operator can still bring the stage up once the unit is reachable.
    platform_use_gpib(&gpib);
    op.clear_records();
    bring_up();
}

#ifndef _WIN32
TEST_F(OpenFaultsTest, AUnitOnTheNetworkThatRefusesSaysWhereItWasLookedFor) {
    const std::string endpoint = closed_loopback_endpoint();
    ASSERT_FALSE(endpoint.empty());
    const ScopedEnvironment unit("TRELWICK_GPIB1_9", endpoint);
    const ScopedEnvironment locks("TRELWICK_LOCK_DIR", drive_root.string());
    GpibLibraryBackend library("/nonexistent/libgpib-for-trelwick-tests.so");
    GpibTcpBackend tcp;
    GpibRoutingBackend routing(library, tcp);
    platform_use_gpib(&routing);
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    EXPECT_EQ(console.output(), kCannotOpenUnit);
    expect_unit_not_initialised("Tried: GPIB 1:9 -> " + endpoint +
                                " (set by TRELWICK_GPIB1_9)\n"
                                "Reason: connection refused\n"
                                "To do: check that the unit (or trelwick-sim) is running and "
                                "listens on that port\n");
    platform_use_gpib(&gpib);
}

TEST_F(OpenFaultsTest, AControllerPortThatIsNoSerialDeviceSaysWhyAndWhatToDo) {
    // The unit comes up on the simulated stage; the controller's port is the machine's.
    const ScopedEnvironment no_lock_dir("TRELWICK_LOCK_DIR", drive_root.string());
    TermiosSerialBackend machine;
    platform_use_serial(&machine);
    const std::string missing = (drive_root / "no-such-port").string();
    const std::string folder = drive_root.string();
    const std::string to_do_missing = "check that the instrument's serial port or adapter is "
                                      "there, or set TRELWICK_COM2 to the device it is on";
    const struct {
        std::string device, reason, to_do;
    } cases[] = {
        {missing, "not found (No such file or directory)", to_do_missing},
        {folder, "not a serial device (Is a directory)",
         "set TRELWICK_COM2 to a serial device (/dev/ttyS*, /dev/ttyUSB*)"},
    };
    int log = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        const ScopedEnvironment port("TRELWICK_COM2", c.device);
        op.clear_records();
        op.answer_confirm(false);
        op.answer_message();
        EXPECT_EQ(op.press(main, MAIN_INIT), 0);
        const std::string details = "Tried: COM2 -> " + c.device +
                                    " (set by TRELWICK_COM2)\nReason: " + c.reason +
                                    "\nTo do: " + c.to_do + "\n";
        ASSERT_EQ(popup_lines(), (std::vector<std::string>{
                                     "ERROR: Error in OpenCom. Check error code # -7. Continue?",
                                     "Init Error: Error in device init"}));
        EXPECT_EQ(op.popups()[0].details, details);
        EXPECT_EQ(op.popups()[1].details, details);
        EXPECT_EQ(without_entry_times(run_log(++log)),
                  kRunLogHead + problem_entry("PROBLEM: CM6K6 is not initialized", details) +
                      coordinates_entry("Initial device coordinates", kZeroCoordinates));
    }
    EXPECT_TRUE(sim.cm6k6().history().empty());
}
#endif

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
