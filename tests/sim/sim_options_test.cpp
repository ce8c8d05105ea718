// The command lines of the simulated stage: trelwick --simulate [--speed N], and
// trelwick-sim with its fault switches; and the simulated mode as the program starts it.
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "platform_fixture.hpp"
#include "scoped_environment.hpp"
#include "sim/simulated_mode.hpp"
#include "sim_options.hpp"

#include <cstdlib>
#include <filesystem>

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
    apply_sim_faults(*o, stage, 0.0);
    EXPECT_EQ(stage.hp34970().errors_queued(), 2u);
    EXPECT_TRUE(stage.model().faults().reference_lost);
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
    SimulatedOptions options;
    options.simulate = true;
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
    mode.stop();
    EXPECT_EQ(platform_serial(), nullptr);
}
