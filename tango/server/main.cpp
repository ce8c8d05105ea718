// trelwick-tango: the stage as a TANGO device server.
//
//   trelwick-tango INSTANCE [--simulate [--speed N]] [TANGO's own options]
//
// The operator program runs on its operator thread behind a headless panel; the TANGO
// threads only queue its operations and read its last values. With --simulate the
// simulated stage answers in this process, as for the window.
#include "app/main_panel.hpp"
#include "headless/headless_panel.hpp"
#include "headless/stage_service.hpp"
#include "headless/stage_view.hpp"
#include "platform/platform.hpp"
#include "platform/system_io/system_io.hpp"
#include "sim/simulated_mode.hpp"
#include "trelwick/version.hpp"
#include "trelwick_stage.hpp"

#include <tango.h>

#include <cstdio>
#include <string_view>
#include <vector>

namespace {

// TANGO refuses options it does not know: --simulate and --speed are this program's.
std::vector<char*> tango_arguments(int argc, char** argv) {
    std::vector<char*> kept;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--simulate" || arg.substr(0, 8) == "--speed=")
            continue;
        if (arg == "--speed") {
            ++i;
            continue;
        }
        kept.push_back(argv[i]);
    }
    kept.push_back(nullptr);
    return kept;
}

constexpr const char* kHelp =
    "Usage: trelwick-tango INSTANCE [--simulate [--speed N]] [TANGO's options]\n"
    "The positioning stage as a TANGO device server (device class TrelwickStage): the\n"
    "window's operations (BringUp, Move, MoveRelative, Home, ReadPosition, ReadGauges,\n"
    "ZeroGauges, Stop, Confirm, Refuse) behind a headless panel, one stage per process.\n"
    "\n"
    "Options:\n"
    "  --simulate              the simulated stage in this process instead of the instruments\n"
    "  --speed N               with --simulate, run the stage N times as fast (0 < N <= 1000)\n"
    "  -h, --help              print this help and exit\n"
    "  --version               print the version and exit\n"
    "TANGO's options, for a run without a database:\n"
    "  -nodb -dlist trelwick/stage/1 -ORBendPoint giop:tcp:HOST:PORT\n"
    "Device properties:\n"
    "  Questions               refuse (default): every question gets its safe answer;\n"
    "                          ask: ALARM until Confirm or Refuse\n"
    "  QuestionTimeout         seconds an asked question waits (default 60)\n"
    "  CM6K6Device, EV16PDevice  serial devices of the controller and the counter\n"
    "  HP34970Socket           HOST:PORT of the data acquisition unit on the network\n"
    "Environment:\n"
    "  TRELWICK_COM<n>         device of serial port COMn (default /dev/ttyS<n-1>)\n"
    "  TRELWICK_GPIB<b>_<a>    HOST:PORT of the GPIB unit at board b, address a\n"
    "  TRELWICK_GPIB_LIBRARY   the GPIB library to load (default libgpib.so.0)\n"
    "  TRELWICK_LOCK_DIR       folder of the instruments' lock files (default /run/lock)\n"
    "  TRELWICK_SIM_ROOT       drive root of the simulated stage\n";

} // namespace

int main(int argc, char** argv) {
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
    SimulatedMode simulated;
    if (options.simulate) {
        std::string error;
        if (!simulated.start(options, error)) {
            std::fprintf(stderr, "trelwick-tango: %s\n", error.c_str());
            return 2;
        }
    }

    platform_set_simulated_stage(options.simulate);

    // The operator program, as behind the window: the main panel, then its actions.
    OperatorThread thread;
    platform_use_operator_thread(&thread);
    thread.start([] { return WinMain(); });
    StageService service(view, panel, thread);
    trelwick_stage_use_service(&service, &panel, &view);

    int status = 0;
    std::vector<char*> arguments = tango_arguments(argc, argv);
    try {
        int count = static_cast<int>(arguments.size()) - 1;
        Tango::Util* tango = Tango::Util::init(count, arguments.data());
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

    // A motion still running is stopped before the program ends.
    service.stop();
    thread.post([] { QuitUserInterface(0); });
    thread.join();
    platform_use_operator_thread(nullptr);
    simulated.stop();
    platform_use_console(nullptr);
    platform_use_panels(nullptr);
    return status;
}
