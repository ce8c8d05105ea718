// Fixture for system tests of the stage routines on the simulated stage: everything
// SimStageTest gives, plus the main panel loaded, the shared records at the stage
// defaults, the drivers' tables and the run-log paths emptied, and the run log pointed at
// Trelwick_log.001 in the log folder. bring_up() opens the HP34970 and the CM6K6 as
// bring-up does and then forgets their traffic.
#pragma once

#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "sim_stage_fixture.hpp"
#include "stage_system_drivers.hpp"

#include <regex>
#include <string>
#include <vector>

class StageSystemTest : public SimStageTest {
protected:
    static constexpr const char* kLogDir = "C:\\CVI\\Trelwick\\Log";
    static constexpr const char* kRunLog = "C:\\CVI\\Trelwick\\Log\\Trelwick_log.001";

    void SetUp() override {
        SimStageTest::SetUp();
        reset_rooms();
        panel = load(MAIN_PANEL);
        main_panel_handle() = panel;
        fill_param_structure(shared_param(), shared_addresses(), 0);
        make_program_dir(kLogDir);
        motion_log_path() = kRunLog;
        log_path() = kRunLog;
    }
    void TearDown() override {
        EXPECT_EQ(op.pending_answers(), 0U) << "scripted answers left over";
        reset_rooms();
        SimStageTest::TearDown();
    }

    void bring_up() {
        ASSERT_TRUE(stage_system_open_instruments(panel));
        forget_traffic();
    }

    void forget_traffic() {
        sim.advance(now());
        sim.cm6k6().clear_history();
        hp_seen = sim.hp34970().history().size();
        op.clear_records();
    }

    // The commands the controller ran since the traffic was last forgotten.
    std::vector<std::string> controller_commands() {
        sim.advance(now());
        std::vector<std::string> commands;
        for (const auto& [time, command] : sim.cm6k6().history())
            commands.push_back(command);
        return commands;
    }
    // The commands the HP34970 ran since then.
    std::vector<std::string> daq_commands() {
        sim.advance(now());
        std::vector<std::string> commands;
        const auto& history = sim.hp34970().history();
        for (std::size_t i = hp_seen; i < history.size(); ++i)
            commands.push_back(history[i].second);
        return commands;
    }

    void type_targets(const coordinates& target) {
        for (int i = 0; i < 5; ++i)
            op.type_value(panel, coord_ctrls[static_cast<std::size_t>(i)], target[i]);
    }

    std::string run_log() const { return read_text_file(on_disk(kRunLog)); }

    // `log` with the time of every timed entry replaced by "<time>", after checking that
    // the times run in order from `from` to `to` (TimeStr texts of the same day).
    static std::string untimed(const std::string& log, const std::string& from,
                               const std::string& to) {
        static const std::regex timed(" \n (\\d\\d:\\d\\d:\\d\\d) \\* ");
        std::string out;
        std::string last = from;
        auto begin = log.cbegin();
        for (std::sregex_iterator it(log.begin(), log.end(), timed), end; it != end; ++it) {
            const std::string time = (*it)[1];
            EXPECT_LE(last, time) << "entry times out of order";
            EXPECT_LE(time, to) << "entry time after the operation";
            last = time;
            out.append(begin, log.cbegin() + it->position(1));
            out += "<time>";
            begin = log.cbegin() + it->position(1) + it->length(1);
        }
        out.append(begin, log.cend());
        return out;
    }

    param_structure& param = shared_param();
    int panel = 0;
    std::size_t hp_seen = 0;

private:
    static void reset_rooms() {
        shared_state_reset();
        run_log_reset();
        stage_system_reset_drivers();
    }
};
