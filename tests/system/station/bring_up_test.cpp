// Bring-up on the simulated stage: the first run log with its header and entries, the next
// free name, an instrument that does not answer, a second bring-up after a failed one, and
// the operator's data file chosen or cancelled.
#include "app/shell/panel_ids.hpp"
#include "station_sim_fixture.hpp"

#include <fstream>

namespace {

using BringUpTest = StationSimTest;

const char* const kDataFile = "C:\\CVI\\Trelwick\\Log\\shift.dat";

} // namespace

TEST_F(BringUpTest, TheFirstRunLogHoldsTheHeaderTheReadyEntryAndTheInitialCoordinates) {
    ASSERT_EQ(op.press(main, MAIN_INIT), 0);
    EXPECT_EQ(without_entry_times(run_log()),
              kRunLogHead + kInstrumentsReady +
                  coordinates_entry("Initial device coordinates", kZeroCoordinates));
    EXPECT_EQ(op.texts(main, MAIN_STATUS),
              (std::vector<std::string>{"Initialization HP34970...", "Initialization CM6K6...",
                                        "Initialization CM6K6 OK...", "Reading initial position",
                                        "Devices are ready"}));
    EXPECT_TRUE(op.popups().empty());

    // The instrument controls are enabled, Initialise is dimmed, the gauges stay dimmed
    // (the stage reads no gauges with its coordinates).
    for (int c : {MAIN_MOVE, MAIN_HOME, MAIN_READ_DATA, MAIN_READ_POT_2, MAIN_READ_POT_5})
        EXPECT_FALSE(op.dimmed(main, c)) << c;
    EXPECT_TRUE(op.dimmed(main, MAIN_INIT));
    EXPECT_TRUE(op.dimmed(main, MAIN_READ_GAGE_1));
    EXPECT_TRUE(op.dimmed(main, MAIN_ZERO_GAGE_5));

    // All cams stand at angle 0: the present coordinates are within a few millionths of
    // zero and the cam angles within the potentiometers' noise.
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(slot(i), 0.0) << "target " << i;
        EXPECT_NEAR(slot(5 + i), 0.0, 2e-6) << "present " << i;
        EXPECT_NEAR(slot(10 + i), 0.0, 1e-3) << "cam angle " << i;
    }
}

TEST_F(BringUpTest, TheNextFreeNumberIsTakenAndOtherLogsAreLeftAlone) {
    std::ofstream(on_disk(std::string(kStationLogDir) + "\\Trelwick_log.001")) << "one";
    std::ofstream(on_disk(std::string(kStationLogDir) + "\\Trelwick_log.003")) << "three";
    bring_up();
    EXPECT_EQ(run_log(1), "one");
    EXPECT_EQ(run_log(3), "three");
    EXPECT_EQ(without_entry_times(run_log(2)),
              kRunLogHead + kInstrumentsReady +
                  coordinates_entry("Initial device coordinates", kZeroCoordinates));
}

TEST_F(BringUpTest, ASilentDataAcquisitionUnitIsLoggedAndTheControllerIsNotTried) {
    sim.hp34970().faults().reply = ReplyFault::silent;
    for (int i = 0; i < 10; ++i)
        console.add_line("\n");
    op.answer_message();
    EXPECT_EQ(op.press(main, MAIN_INIT), 0);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "Init Error");
    EXPECT_EQ(op.popups()[0].message, "Error in device init");
    EXPECT_EQ(without_entry_times(run_log()),
              kRunLogHead + " \n PROBLEM: HP34970 is not initialized \n " +
                  coordinates_entry("Initial device coordinates", kZeroCoordinates));
    EXPECT_TRUE(sim.cm6k6().history().empty());
    EXPECT_EQ(op.texts(main, MAIN_STATUS), (std::vector<std::string>{"Initialization HP34970..."}));
    EXPECT_FALSE(op.dimmed(main, MAIN_INIT));
    EXPECT_TRUE(op.dimmed(main, MAIN_MOVE));
}

TEST_F(BringUpTest, ASecondBringUpAfterAControllerFailureKeepsTheUnitAndWritesTheNextLog) {
    // Nothing plugged into the controller's port: the driver's "OpenCom" error, answered No.
    serial.attach(kSimCm6k6Port, nullptr);
    op.answer_confirm(false);
    op.answer_message();
    op.press(main, MAIN_INIT);
    ASSERT_EQ(op.popups().size(), 2u) << console.output();
    EXPECT_EQ(op.popups()[0].title, "ERROR");
    EXPECT_EQ(op.popups()[1].title, "Init Error");
    // Both pop-ups and the entry say what the simulated stage has where the port was looked for.
    const std::string details = "Tried: COM2 -> the simulated stage in this program\n"
                                "Reason: nothing on this port\n"
                                "To do: set the instrument back to a port the simulated stage "
                                "serves (COM5) on the Parameters panel\n";
    EXPECT_EQ(op.popups()[0].details, details);
    EXPECT_EQ(op.popups()[1].details, details);
    EXPECT_EQ(without_entry_times(run_log(1)),
              kRunLogHead +
                  " \n PROBLEM: CM6K6 is not initialized\n"
                  "   Tried: COM2 -> the simulated stage in this program\n"
                  "   Reason: nothing on this port\n"
                  "   To do: set the instrument back to a port the simulated stage serves (COM5) "
                  "on the Parameters panel \n " +
                  coordinates_entry("Initial device coordinates", kZeroCoordinates));
    const auto opened = [&] {
        int count = 0;
        for (const auto& [time, command] : sim.hp34970().history())
            count += command == "SYST:CPON ALL" ? 1 : 0;
        return count;
    };
    EXPECT_EQ(opened(), 1);

    serial.attach(kSimCm6k6Port, &sim.cm6k6());
    op.clear_records();
    bring_up();
    EXPECT_EQ(opened(), 1);
    EXPECT_EQ(without_entry_times(run_log(2)),
              kRunLogHead + kInstrumentsReady +
                  coordinates_entry("Initial device coordinates", kZeroCoordinates));
}

TEST_F(BringUpTest, TheChosenDataFileHoldsTheDateABlankAndTheCommentAndThenTheMoves) {
    op.type_value(main, MAIN_LOG_TO_FILE, 1LL);
    op.answer_message();
    op.answer(PopupKind::FileSelect, VAL_NEW_FILE_SELECTED, kDataFile);
    op.answer(PopupKind::Prompt, 1, "after the cam 3 service");
    bring_up();
    EXPECT_EQ(read_text_file(on_disk(kDataFile)), "12-07-2026 after the cam 3 service");
    EXPECT_EQ(log_path(), kDataFile);
    EXPECT_EQ(shared_param().log_to_file, 1);

    // A relative move of nothing: the move's two entries go to the data file and the run log.
    ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
    const std::string data = without_entry_times(read_text_file(on_disk(kDataFile)));
    const std::string::size_type initial = data.find(" * Initial position coordinates * ");
    const std::string::size_type final_ = data.find(" * Final coordinates * ");
    EXPECT_EQ(data.rfind("12-07-2026 after the cam 3 service \n hh:mm:ss", 0), 0u) << data;
    EXPECT_NE(initial, std::string::npos);
    EXPECT_NE(final_, std::string::npos);
    EXPECT_EQ(data.find("Final device coordinates"), std::string::npos);
    const std::string log = run_log();
    EXPECT_NE(log.find(" * Initial position coordinates * "), std::string::npos);
    EXPECT_NE(log.find(" * Final device coordinates * "), std::string::npos);
}

TEST_F(BringUpTest, ACancelledDataFileChoiceTruncatesNothingAndLogsTheRunLogOnly) {
    std::ofstream(on_disk(kDataFile), std::ios::binary) << "yesterday's data\n";
    op.type_value(main, MAIN_LOG_TO_FILE, 1LL);
    op.answer_message();
    op.answer(PopupKind::FileSelect, VAL_NO_FILE_SELECTED, kDataFile);
    bring_up();
    EXPECT_EQ(read_text_file(on_disk(kDataFile)), "yesterday's data\n");
    EXPECT_EQ(log_path(), std::string(kStationLogDir) + "\\Trelwick_log.001");
    EXPECT_EQ(shared_param().log_to_file, 0);
    op.press(main, MAIN_MOVE);
    EXPECT_EQ(read_text_file(on_disk(kDataFile)), "yesterday's data\n");
    EXPECT_EQ(without_entry_times(run_log()).find(kRunLogHead + kInstrumentsReady), 0u);
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(BringUpTest, AfterBringUpTheParametersPanelShowsTheDefaults) {
    bring_up();
    op.press(main, MAIN_PARAM);
    const int panel = op.panel_by_resource(PARAM_PANEL);
    ASSERT_GT(panel, 0);
    EXPECT_EQ(op.value_int(panel, PARAM_HP_BOARD), 1);
    EXPECT_EQ(op.value_int(panel, PARAM_CM_ADDR), 1);
    EXPECT_EQ(op.value_int(panel, PARAM_EV_ADDR), 11);
    EXPECT_EQ(op.value_int(panel, PARAM_HP_ADDR), 9);
    EXPECT_EQ(op.value_int(panel, PARAM_EV_PORT), 5);
    EXPECT_EQ(op.value_int(panel, PARAM_CM_PORT), 2);
    EXPECT_EQ(op.value_double(panel, PARAM_SETTING_1), 0.5);
    EXPECT_EQ(op.value_double(panel, PARAM_SETTING_2), 1.0);
    EXPECT_EQ(op.value_int(panel, PARAM_CAM), 1);
    EXPECT_EQ(op.value_double(panel, PARAM_STEP), 1.0);
    EXPECT_EQ(op.value_int(panel, PARAM_POINTS), 1);
    EXPECT_EQ(op.value_double(panel, PARAM_INTERVAL), 0.0);
}
