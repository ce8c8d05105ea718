// The command lines of the simulated stage: trelwick --simulate [--speed N], and
// trelwick-sim with its fault switches; and the simulated mode as the program starts it.
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "platform_fixture.hpp"
#include "scoped_environment.hpp"
#include "sim/simulated_mode.hpp"
#include "sim_options.hpp"

#include "sim/bench_description.hpp"
#include "sim/sim_control.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

SimulatedOptions program_options(std::vector<std::string> args) {
    args.insert(args.begin(), "trelwick");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    return simulated_options(static_cast<int>(argv.size()), argv.data());
}

std::optional<SimToolOptions> tool_options(const std::vector<std::string>& args,
                                           std::string* error = nullptr) {
    std::string e;
    auto o = parse_sim_options(args, e);
    if (error != nullptr)
        *error = e;
    return o;
}

} // namespace

TEST(SimulatedOptions, SimulateAndSpeed) {
    EXPECT_FALSE(program_options({}).simulate);
    const auto plain = program_options({"--simulate"});
    EXPECT_TRUE(plain.simulate);
    EXPECT_EQ(plain.speed, 1.0);
    EXPECT_EQ(program_options({"--speed", "20", "--simulate"}).speed, 20.0);
    EXPECT_EQ(program_options({"--simulate", "--speed=2.5"}).speed, 2.5);
    EXPECT_EQ(program_options({"--simulate", "-platform", "offscreen"}).error, "");
}

TEST(SimulatedOptions, BadSpeedsAreRefused) {
    EXPECT_EQ(program_options({"--simulate", "--speed"}).error, "--speed needs a factor");
    for (const char* bad : {"0", "-3", "nan", "inf", "1e9", "2x", ""})
        EXPECT_EQ(program_options({"--simulate", "--speed", bad}).error,
                  "--speed wants a factor above 0 and at most 1000, not \"" + std::string(bad) +
                      "\"")
            << bad;
    EXPECT_EQ(program_options({"--speed", "5"}).error,
              "--speed scales the simulated stage only: give --simulate too");
}

TEST(SimToolOptions, FaultSwitches) {
    const auto o = tool_options({"--port", "5025", "--cm6k6-reply=garbled", "--cm6k6-error-status",
                                 "--short-axis=3:1.5", "--endless-axis=2", "--ev16p-out-of-hold",
                                 "--ev16p-reply=silent", "--hp-reply=truncated", "--hp-errors=2",
                                 "--stuck-relay=209:open", "--reference-lost", "--speed=4",
                                 "--start-angles", "0.1,-0.2,0,0.3,1"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->tcp_port, 5025);
    EXPECT_EQ(o->speed, 4.0);
    EXPECT_EQ(o->cm6k6.reply, ReplyFault::garbled);
    EXPECT_TRUE(o->cm6k6.error_status);
    EXPECT_EQ(o->stage.shortfall_revs[2], 1.5);
    EXPECT_TRUE(o->stage.motion_never_ends[1]);
    EXPECT_TRUE(o->ev16p.out_of_hold);
    EXPECT_EQ(o->ev16p.reply, ReplyFault::silent);
    EXPECT_EQ(o->hp34970.reply, ReplyFault::truncated);
    EXPECT_EQ(o->hp_errors, 2);
    EXPECT_EQ(o->stage.stuck_relays.at(209), false);
    EXPECT_TRUE(o->stage.reference_lost);
    ASSERT_TRUE(o->start_angles);
    EXPECT_EQ((*o->start_angles)[4], 1.0);

    SimStage stage;
    std::string error;
    EXPECT_TRUE(apply_sim_faults(*o, stage, 0.0, error));
    EXPECT_EQ(stage.hp34970().errors_queued(), 2u);
    EXPECT_TRUE(stage.model().faults().reference_lost);
}

// The bench comes from its own description: a file, then the wiring, noise and start
// angles of the command line; scenarios go on after the faults.
TEST(SimToolOptions, BenchDescriptionAndScenarios) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("trelwick-bench-" + std::to_string(::getpid()) + ".txt");
    std::ofstream(file, std::ios::binary)
        << "# our stage\npot_scale 6.3 6.2102 6.2081 6.215 6.2197\n"
           "motor_sign -1 -1 1 -1 1  # cam 1 rewired\ngauge_noise_um 0.5\n";
    std::string error;
    auto o = tool_options({"--bench", file.string(), "--gauge-wiring=0,1,0,0,2", "--scenario",
                           "limit-switch", "--scenario=reference-lost", "--history", "10"});
    ASSERT_TRUE(o);
    auto config = sim_bench_config(*o, error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->pot_scale[0], 6.3);
    EXPECT_EQ(config->motor_sign[0], -1);
    EXPECT_EQ(config->gauge_noise[5], 0.0005);
    EXPECT_EQ(config->gauge_of_cam, (std::array<int, kSimCams>{0, 1, 0, 0, 2}));
    EXPECT_EQ(config->eccentricity[4], 0.000747); // not in the file: the built-in bench
    SimStage stage(*config);
    ASSERT_TRUE(apply_sim_faults(*o, stage, 0.0, error)) << error;
    EXPECT_EQ(stage.cm6k6().faults().limit_revs[2], 2.5);
    EXPECT_TRUE(stage.model().faults().reference_lost);

    std::ofstream(file, std::ios::binary) << "pot_scale 6.3 0 1 1 1\n";
    EXPECT_FALSE(sim_bench_config(*o, error));
    EXPECT_EQ(error, "bench description line 1: \"pot_scale 6.3 0 1 1 1\" is not a setting it "
                     "knows with its values");
    std::filesystem::remove(file);
    EXPECT_FALSE(sim_bench_config(*o, error));
    EXPECT_EQ(error, "cannot open the bench description " + file.string());
    for (const char* bad : {"--scenario=nowhere", "--gauge-wiring=1,1,1,2", "--gauge-noise=-1"})
        EXPECT_FALSE(tool_options({bad})) << bad;
    EXPECT_NE(sim_scenario_list().find("\ncontroller-dies-mid-move "), std::string::npos);
}

// The physical times, one value each in seconds: read from the description, shrunk with a
// speed below 1 as the deaf time after a reset is, and refused when negative, not finite
// or not one value.
TEST(SimToolOptions, BenchDescriptionHoldsThePhysicalTimes) {
    const StageModelConfig bench = stage_model_bench_config();
    EXPECT_EQ(bench.drive_ready_seconds, 0.25);
    EXPECT_EQ(bench.relay_settle_seconds, 0.005);
    EXPECT_EQ(bench.pot_settle_seconds, 0.02);
    std::string error;
    const auto read = parse_bench_description(
        "drive_ready_seconds 0.5\nrelay_settle_seconds 0  # no bounce\npot_settle_seconds 0.1\n",
        bench, error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->drive_ready_seconds, 0.5);
    EXPECT_EQ(read->relay_settle_seconds, 0.0);
    EXPECT_EQ(read->pot_settle_seconds, 0.1);
    for (const std::string bad :
         {"drive_ready_seconds -0.1", "relay_settle_seconds inf", "pot_settle_seconds nan",
          "pot_settle_seconds 0.1 0.2", "drive_ready_seconds"}) {
        EXPECT_FALSE(parse_bench_description("# times\n" + bad + "\n", bench, error)) << bad;
        EXPECT_EQ(error, "bench description line 2: \"" + bad +
                             "\" needs one time in seconds, a finite number 0 or more");
    }
    auto o = tool_options({"--speed=0.5"});
    ASSERT_TRUE(o);
    const auto slower = sim_bench_config(*o, error);
    ASSERT_TRUE(slower) << error;
    EXPECT_EQ(slower->drive_ready_seconds, 0.125);
    EXPECT_EQ(slower->relay_settle_seconds, 0.0025);
    EXPECT_EQ(slower->pot_settle_seconds, 0.01);
    o = tool_options({"--speed=20"});
    ASSERT_TRUE(o);
    EXPECT_EQ(sim_bench_config(*o, error)->drive_ready_seconds, 0.25);
}

// Below speed 1 the controller's deaf time after a reset shrinks with the speed, so that
// in the machine's seconds it stays 2.5 s and a program at full speed, which waits 5 s,
// still finds it listening.
TEST(SimToolOptions, ResetDeafnessKeepsBringUpWorkingBelowSpeedOne) {
    EXPECT_EQ(sim_reset_seconds(1.0), 2.5);
    EXPECT_EQ(sim_reset_seconds(20.0), 2.5);
    EXPECT_EQ(sim_reset_seconds(0.25) / 0.25, 2.5);
}

// The control language: faults on and off, a move's fault for the next move only, the
// state as JSON, and the mistakes it names.
TEST(SimControl, SwitchesFaultsAndShowsTheState) {
    SimStage stage;
    EXPECT_EQ(sim_control(stage, "fault controller-silent on", 0.0), "ok");
    EXPECT_EQ(stage.cm6k6().faults().reply, ReplyFault::silent);
    EXPECT_EQ(sim_control(stage, "fault controller-silent off", 0.0), "ok");
    EXPECT_EQ(stage.cm6k6().faults().reply, ReplyFault::none);
    EXPECT_EQ(sim_control(stage, "stall 3 2.5", 0.0), "ok");
    EXPECT_EQ(sim_control(stage, "gauge 2 noise 0.5", 0.0), "ok");
    EXPECT_EQ(sim_control(stage, "relay 209 stuck-open", 0.0), "ok");
    EXPECT_EQ(sim_control(stage, "scenario controller-dies-mid-move", 0.0), "ok");
    const std::string state = sim_control(stage, "state", 0.0);
    for (const char* part : {"\"axis\":3,\"commanded\":0.000000,\"motor\":0.000000,"
                             "\"moving\":false,\"end\":0.000000,\"drive\":false,\"powered\":false,"
                             "\"stall\":2.5",
                             "{\"channel\":2,\"cams\":[4,5],\"noise_um\":0.5}",
                             "\"stuck_relays\":{\"209\":\"open\"}", "\"controller_dies\":true"})
        EXPECT_NE(state.find(part), std::string::npos) << part << "\n" << state;
    EXPECT_EQ(state.front(), '{');
    EXPECT_EQ(state.back(), '}');
    EXPECT_EQ(sim_control(stage, "fault controller-loud on", 0.0),
              "error: no fault named controller-loud");
    EXPECT_EQ(sim_control(stage, "stall 9 1", 0.0),
              "error: usage: stall AXIS REVS (axis 1..6, revolutions 0 or more)");
    EXPECT_EQ(sim_control(stage, "frob", 0.0), "error: unknown command \"frob\" (help lists them)");
    EXPECT_EQ(sim_control(stage, "clear", 0.0), "ok");
    EXPECT_TRUE(stage.model().faults().stuck_relays.empty());
}

// The controller's command history with the stage time each command ran (its last byte
// in at 9600 baud), oldest first, quotes escaped, and the stage time now.
TEST(SimControl, HistoryGivesEachCommandItsTime) {
    SimStage stage;
    Cm6k6Sim& controller = stage.cm6k6();
    controller.set_reset_seconds(0.0);
    controller.receive("DRIVE1\rGO1\rWRITE\"YES\"\r", 1.0);
    controller.receive("!K\r", 2.0);
    controller.advance(3.0);
    EXPECT_EQ(sim_control(stage, "history controller", 3.0),
              "{\"time\":3.000000,\"commands\":[[1.007292,\"DRIVE1\"],[1.011458,\"GO1\"],"
              "[1.022917,\"WRITE\\\"YES\\\"\"],[2.003125,\"K\"]]}");
    EXPECT_EQ(sim_control(stage, "history counter", 3.0), "{\"time\":3.000000,\"commands\":[]}");
    EXPECT_EQ(sim_control(stage, "history motor", 3.0),
              "error: usage: history controller|counter|daq");
}

TEST(SimToolOptions, MistakesAreNamed) {
    std::string error;
    for (const char* bad : {"--short-axis=7:1", "--short-axis=2", "--endless-axis=0",
                            "--stuck-relay=109:open", "--stuck-relay=201:ajar", "--hp-errors=21",
                            "--cm6k6-reply=loud", "--port=70000", "--speed=0"}) {
        EXPECT_FALSE(tool_options({bad}, &error)) << bad;
        EXPECT_EQ(error.rfind("bad value for ", 0), 0u) << error;
    }
    EXPECT_FALSE(tool_options({"--start-angles", "1,2,3"}, &error));
    EXPECT_FALSE(tool_options({"--frobnicate"}, &error));
    EXPECT_EQ(error, "unknown option --frobnicate");
}

class SimulatedModeTest : public PlatformTest {};

// Without TRELWICK_SIM_ROOT the simulated stage keeps its drives in the user's own data
// folder (on Windows under %LOCALAPPDATA%), never on the station's drives.
TEST_F(SimulatedModeTest, DefaultsToADriveRootInTheUsersDataFolder) {
    const std::string data = drive_root.string();
    const ScopedEnvironment no_root("TRELWICK_SIM_ROOT", "");
#ifdef _WIN32
    const ScopedEnvironment local("LOCALAPPDATA", data);
    EXPECT_EQ(simulated_drive_root(), data + "\\Trelwick\\simulated-drives");
#else
    const ScopedEnvironment local("XDG_DATA_HOME", data);
    EXPECT_EQ(simulated_drive_root(), data + "/trelwick/simulated-drives");
#endif
}

// The mode makes its own drive root with the log and exchange folders, and the drivers
// find the instruments at the default addresses on its clock.
TEST_F(SimulatedModeTest, StartsTheStageWithItsOwnDriveRoot) {
    const std::string root = (drive_root / "simulated").string();
    SimulatedMode mode;
    std::string error;
    const std::string script = (drive_root / "demo.sim").string();
    std::ofstream(script) << "# a demonstration\nfault reference-lost on\n"
                             "at 100000 fault counter-silent on\n";
    SimulatedOptions options = program_options({"--simulate", "--sim-control", script});
    options.speed = 1000.0;
    {
        const ScopedEnvironment sim_root("TRELWICK_SIM_ROOT", root);
        ASSERT_TRUE(mode.start(options, error)) << error;
    }
    EXPECT_EQ(platform_drive_root(), root);
    EXPECT_TRUE(std::filesystem::is_directory(root + "/c/CVI/Trelwick/Log"));
    EXPECT_TRUE(std::filesystem::is_directory(root + "/c/qel/Exchange"));
    hp34970_reset();
    ev16p_reset();
    int hp = 0, ev = 0;
    hp34970_init(1, 9, &hp);
    ev16p_init(5, 11, &ev);
    EXPECT_EQ(hp, 1);
    EXPECT_EQ(ev, 1);
    hp34970_reset();
    ev16p_reset();
    // The control file's first fault from the start, its timed one 100000 simulated s in.
    EXPECT_TRUE(mode.stage().model().faults().reference_lost);
    EXPECT_EQ(mode.stage().ev16p().faults().reply, ReplyFault::none);
    mode.stage().advance(platform_now_seconds() + 100000.0);
    EXPECT_EQ(mode.stage().ev16p().faults().reply, ReplyFault::silent);
    mode.stop();
    EXPECT_EQ(platform_serial(), nullptr);

    std::ofstream(script) << "at ten fault counter-silent on\n";
    EXPECT_FALSE(SimulatedMode().start(options, error));
    EXPECT_EQ(error, script + " line 1: \"at\" wants seconds");
    std::ofstream(script) << "stall 3\n";
    EXPECT_FALSE(SimulatedMode().start(options, error));
    EXPECT_EQ(error, script + " line 1: error: usage: stall AXIS REVS (axis 1..6, revolutions 0 "
                              "or more)");
}
