// Fixture for system tests of the operator station on the simulated stage: the simulated
// instruments on the virtual clock (12-07-2026 14:03:27 at the start), the program's
// callback table, the main panel loaded, the station's module state at program start, and
// the log and exchange folders in place under the drive root.
#pragma once

#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "main/callback_table.hpp"
#include "sim_stage_fixture.hpp"
#include "station_state.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <regex>
#include <string>

inline constexpr const char* kStationLogDir = "C:\\CVI\\Trelwick\\Log";
inline constexpr const char* kStationExchangeDir = "c:\\qel\\Exchange";

class StationSimTest : public SimStageTest {
protected:
    void SetUp() override {
        SimStageTest::SetUp();
        reset_station_state();
        platform_set_callback_table(trelwick_callback_table());
        main = load(MAIN_PANEL);
        main_panel_handle() = main;
        make_program_dir(kStationLogDir);
        make_program_dir(kStationExchangeDir);
    }
    void TearDown() override {
        reset_station_state();
        SimStageTest::TearDown();
    }

    // Presses Initialise devices and expects the bring-up to end with "Devices are ready".
    void bring_up() {
        ASSERT_EQ(op.press(main, MAIN_INIT), 0);
        ASSERT_FALSE(op.texts(main, MAIN_STATUS).empty());
        ASSERT_EQ(op.texts(main, MAIN_STATUS).back(), "Devices are ready");
        op.clear_records();
    }
    // The run log Trelwick_log.<n> as it is on disk.
    std::string run_log(int n = 1) const {
        return read_text_file(on_disk(std::string(kStationLogDir) + "\\" + run_log_name(n)));
    }
    static std::string run_log_name(int n) {
        std::string number = std::to_string(n);
        return "Trelwick_log." + std::string(3 - number.size(), '0') + number;
    }
    // A slot of the coordinate box.
    double slot(int index) const {
        return op.value_double(main, coord_ctrls[static_cast<std::size_t>(index)]);
    }
    void type_target(int index, double value) {
        op.type_value(main, coord_ctrls[static_cast<std::size_t>(index)], value);
    }
    // The run log's text with every entry's time replaced by "hh:mm:ss", after checking
    // that the times never go back; the header keeps its time.
    static std::string without_entry_times(const std::string& log) {
        static const std::regex entry_time(R"(( \n )(\d\d:\d\d:\d\d)( \* ))");
        std::string out;
        std::string last;
        auto begin = std::sregex_iterator(log.begin(), log.end(), entry_time);
        std::size_t copied = 0;
        for (auto it = begin; it != std::sregex_iterator(); ++it) {
            const std::smatch& m = *it;
            EXPECT_GE(m[2].str(), last) << "an entry's time goes back";
            last = m[2].str();
            out.append(log, copied, static_cast<std::size_t>(m.position(0)) - copied);
            out += m[1].str() + "hh:mm:ss" + m[3].str();
            copied = static_cast<std::size_t>(m.position(0) + m.length(0));
        }
        out.append(log, copied, std::string::npos);
        return out;
    }

    // The five values of the last coordinates entry titled `title` in the run log; NaN
    // where there is none.
    std::array<double, 5> logged_coordinates(const std::string& title) const {
        std::array<double, 5> values{NAN, NAN, NAN, NAN, NAN};
        const std::string log = run_log();
        const std::size_t at = log.rfind(" * " + title + " * ");
        if (at == std::string::npos)
            return values;
        static const std::regex number(R"(= (-?\d+\.\d+|-?nan|-?inf))");
        auto it = std::sregex_iterator(log.begin() + static_cast<long>(at), log.end(), number);
        for (std::size_t i = 0; i < 5 && it != std::sregex_iterator(); ++i, ++it)
            values[i] = std::stod((*it)[1].str());
        return values;
    }
    // The distance of the last "<axis>D<distance>" command the controller ran; NaN if none.
    double last_distance_sent(int axis) {
        const std::string head = std::to_string(axis) + "D";
        const auto& history = sim.cm6k6().history();
        for (auto it = history.rbegin(); it != history.rend(); ++it)
            if (it->second.rfind(head, 0) == 0)
                return std::stod(it->second.substr(head.size()));
        return NAN;
    }
    // The run log's last timed entry, its time replaced.
    std::string last_entry() const {
        const std::string log = without_entry_times(run_log());
        const std::size_t at = log.rfind(" \n hh:mm:ss");
        return at == std::string::npos ? std::string() : log.substr(at);
    }

    int main = 0;
};

// The run log's first two lines for a bring-up at the fixture's start time, and its first
// entry: the stage the log is of.
inline const std::string kRunLogHead = "Trelwick system started  12-07-2026 at: 14:03:27\n" +
                                       std::string(73, '*') + "\n" +
                                       " \n Trelwick - instruments on COM2, COM5, GPIB 1:9 \n ";
inline const std::string kInstrumentsReady =
    " \n METER: HP34970 \t MOTOR DRIVER:  CM6K6 \t GAGE: EV16P \t Initialized OK \n ";

// One coordinates entry with its time replaced as without_entry_times() does.
inline std::string coordinates_entry(const std::string& title, const std::string& values) {
    return " \n hh:mm:ss * " + title + " * " + values + "\n \n ";
}
inline const std::string kZeroCoordinates =
    "X = 0.000000 Y = 0.000000 Roll = 0.000000 Pitch = 0.000000 Yaw = 0.000000";
