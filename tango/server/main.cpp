// trelwick-tango: the stage as a TANGO device server.
//
//   trelwick-tango INSTANCE [--wait-profile PROFILE] [--simulate [--speed N]]
//                  [TANGO's own options]
//
// The operator program runs on its operator thread behind a headless panel; the TANGO
// threads only queue its operations and read its last values. With --simulate the
// simulated stage answers in this process, as for the window.
#include "app/main_panel.hpp"
#include "drivers/wait_profile_option.hpp"
#include "gpib_place.hpp"
#include "headless/headless_panel.hpp"
#include "headless/stage_service.hpp"
#include "headless/stage_view.hpp"
#include "platform/gpib.hpp"
#include "platform/platform.hpp"
#include "platform/system_io/system_io.hpp"
#include "properties.hpp"
#include "sim/simulated_mode.hpp"
#include "trelwick/version.hpp"
#include "trelwick_stage.hpp"

#include <tango.h>

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string_view>
#include <vector>

namespace {

// TANGO refuses options it does not know: --simulate, --speed, --sim-control and
// --wait-profile are this program's.
std::vector<char*> tango_arguments(int argc, char** argv) {
    std::vector<char*> kept;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--simulate" || arg.substr(0, 8) == "--speed=" ||
            arg.substr(0, 14) == "--sim-control=")
            continue;
        if (const int length = wait_profile_option_length(arg); length > 0) {
            i += length - 1;
            continue;
        }
        if (arg == "--speed" || arg == "--sim-control") {
            ++i;
            continue;
        }
        kept.push_back(argv[i]);
    }
    kept.push_back(nullptr);
    return kept;
}

// Blocks the signals that end a server in the calling thread, and so in every thread it
// starts: only TANGO's signal thread, which waits for them, takes them, and ends the server
// as its admin Kill does (the device is deleted, which stops a running motion and closes
// the instruments) instead of the process dying wherever the signal lands.
void block_ending_signals() {
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&ending, signal);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
}

// Simulate, Speed and WaitProfile from the database, for the TrelwickStage device of this
// server instance: read once, before the operator thread starts, since the simulated stage
// and the wait profile are the whole process's. A text that cannot be taken leaves the
// command line's choice and is reported as the device's FAULT.
void read_start_properties(SimulatedOptions& options, WaitProfile& profile, std::string& error) {
    if (!Tango::Util::_UseDb)
        return;
    Tango::Util* tango = Tango::Util::instance();
    std::string device;
    try {
        Tango::DbDatum pairs = tango->get_database()->get_device_class_list(tango->get_ds_name());
        std::vector<std::string> names;
        pairs >> names;
        for (std::size_t i = 0; i + 1 < names.size(); i += 2)
            if (names[i + 1] == "TrelwickStage")
                device = names[i];
        if (device.empty())
            return;
        Tango::DbData data{Tango::DbDatum("Simulate"), Tango::DbDatum("Speed"),
                           Tango::DbDatum("WaitProfile")};
        tango->get_database()->get_device_property(device, data);
        std::string text;
        if (!data[0].is_empty()) {
            data[0] >> text;
            const PropertyValue<bool> simulate = parse_flag_property("Simulate", text);
            if (!simulate.value)
                error = simulate.error;
            options.simulate = options.simulate || simulate.value.value_or(false);
        }
        if (!data[1].is_empty() && error.empty()) {
            data[1] >> text;
            const PropertyValue<double> speed = parse_number_property("Speed", text, 1e-3, 1000.0);
            if (!speed.value)
                error = speed.error;
            else if (options.simulate)
                options.speed = *speed.value;
        }
        if (!data[2].is_empty() && error.empty()) {
            data[2] >> text;
            const PropertyValue<WaitProfile> waits =
                parse_wait_profile_property("WaitProfile", text);
            if (!waits.value)
                error = waits.error;
            else
                profile = *waits.value;
        }
    } catch (const Tango::DevFailed&) {
        // A file database answers no server list: the command line decides there.
    }
}

constexpr const char* kHelp =
    "Usage: trelwick-tango INSTANCE [--wait-profile PROFILE] [--simulate [--speed N]]\n"
    "                      [TANGO's options]\n"
    "The positioning stage as a TANGO device server (device class TrelwickStage): the\n"
    "window's operations (BringUp, Move, MoveRelative, Home, ReadPosition, ReadGauges,\n"
    "ZeroGauges, Stop, Confirm, Refuse) behind a headless panel, one stage per process.\n"
    "The server instance INSTANCE is registered in the TANGO database of TANGO_HOST.\n"
    "\n"
    "Options:\n"
    "  --wait-profile PROFILE  designed (the default): every wait the instruments' design\n"
    "                          prescribes; fast: the same commands, with handshakes instead\n"
    "                          of the blind waits and the physical waits shortened\n"
    "  --simulate              the simulated stage in this process instead of the instruments\n"
    "  --speed N               with --simulate, run the stage N times as fast (0 < N <= 1000)\n"
    "  --sim-control FILE      with --simulate, the simulator's control lines to run\n"
    "  -h, --help              print this help and exit\n"
    "  --version               print the version and exit\n"
    "TANGO's options, for a one-line trial without a database:\n"
    "  -nodb -dlist trelwick/stage/1 -ORBendPoint giop:tcp:HOST:PORT\n"
    "Device properties:\n"
    "  Simulate, Speed         the simulated stage and its speed (false, 1; read at start)\n"
    "  WaitProfile             designed or fast, as --wait-profile (read at start)\n"
    "  BringUpAtStart          bring the instruments up at start and Init (default false)\n"
    "  Questions               refuse (default): every question gets its safe answer;\n"
    "                          ask: MOVING with the question in Question until Confirm\n"
    "                          or Refuse\n"
    "  QuestionTimeout         seconds an asked question waits (default 60)\n"
    "  CM6K6Device, EV16PDevice  serial devices of the controller and the counter\n"
    "  HP34970Gpib             BOARD:ADDRESS of the data acquisition unit on the GPIB\n"
    "  HP34970Socket           HOST:PORT of the data acquisition unit on the network\n"
    "  PositionTolerance, AngleTolerance  how far a coordinate may end from its target\n"
    "                          (5e-6 m, 5e-5 rad) before the move reads as not completed\n"
    "  A property that cannot be parsed puts the device in FAULT, the reason in Status.\n"
    "Environment:\n"
    "  TANGO_HOST              HOST:PORT of the TANGO database\n"
    "  TRELWICK_COM<n>         device of serial port COMn (default /dev/ttyS<n-1>)\n"
    "  TRELWICK_GPIB<b>_<a>    HOST:PORT of the GPIB unit at board b, address a\n"
    "  TRELWICK_GPIB_LIBRARY   the GPIB library to load (default libgpib.so.0)\n"
    "  TRELWICK_LOCK_DIR       folder of the instruments' lock files (default /run/lock)\n"
    "  TRELWICK_SIM_ROOT       drive root of the simulated stage\n"
    "SIGTERM, SIGINT, SIGHUP and SIGQUIT stop a running motion as Stop does and end the\n"
    "server with status 0.\n";

} // namespace

int main(int argc, char** argv) {
    block_ending_signals();
    // Answered before TANGO or the instruments are touched.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("trelwick-tango %s\n", kTrelwickVersion);
            return 0;
        }
    }
    // The command line's choice; the WaitProfile property, read once TANGO is up, wins.
    if (!use_wait_profile_option(argc, argv, "trelwick-tango"))
        return 2;
    const SimulatedOptions options = simulated_options(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "trelwick-tango: %s\n", options.error.c_str());
        return 2;
    }

    StageView view;
    HeadlessPanel panel(view);
    platform_use_panels(&panel);
    platform_use_console(&panel);
    platform_use_system_io();
    // In front of the machine's GPIB, for the HP34970Gpib property.
    GpibPlace gpib_place(*platform_gpib());
    platform_use_gpib(&gpib_place);
    trelwick_stage_use_gpib_place(&gpib_place);
    SimulatedMode simulated;
    OperatorThread thread;
    StageService service(view, panel, thread);
    bool started = false;

    int status = 0;
    std::vector<char*> arguments = tango_arguments(argc, argv);
    try {
        int count = static_cast<int>(arguments.size()) - 1;
        Tango::Util* tango = Tango::Util::init(count, arguments.data());

        SimulatedOptions chosen = options;
        WaitProfile chosen_profile = wait_profile();
        std::string property_error;
        read_start_properties(chosen, chosen_profile, property_error);
        trelwick_stage_property_fault(property_error);
        // Before the first operation: the station's title and run log name it.
        set_wait_profile(chosen_profile);
        if (chosen.simulate) {
            std::string error;
            if (!simulated.start(chosen, error)) {
                std::fprintf(stderr, "trelwick-tango: %s\n", error.c_str());
                platform_use_gpib(nullptr);
                platform_use_console(nullptr);
                platform_use_panels(nullptr);
                return 2;
            }
        }
        platform_set_simulated_stage(chosen.simulate);

        // The operator program, as behind the window: the main panel, then its actions.
        platform_use_operator_thread(&thread);
        thread.start([] { return WinMain(); });
        started = true;
        trelwick_stage_use_service(&service, &panel, &view);

        tango->server_init(false);
        std::printf("Ready to accept request\n");
        std::fflush(stdout);
        tango->server_run();
        tango->server_cleanup();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "trelwick-tango: out of memory\n");
        status = 1;
    } catch (const CORBA::Exception& failure) {
        Tango::Except::print_exception(failure);
        status = 1;
    }
    if (!started) {
        platform_use_gpib(nullptr);
        platform_use_console(nullptr);
        platform_use_panels(nullptr);
        return status;
    }

    // A motion still running is stopped before the program ends.
    service.stop();
    thread.post([] { QuitUserInterface(0); });
    thread.join();
    platform_use_operator_thread(nullptr);
    simulated.stop();
    if (platform_gpib() == &gpib_place)
        platform_use_gpib(nullptr);
    platform_use_console(nullptr);
    platform_use_panels(nullptr);
    return status;
}
