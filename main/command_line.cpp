#include "command_line.hpp"

#include "trelwick/version.hpp"

#include <string_view>

namespace {

constexpr std::string_view kWaitOption = "--wait-profile";

} // namespace

EarlyAnswer early_answer(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h")
            return EarlyAnswer::help;
        if (arg == "--version")
            return EarlyAnswer::version;
        if (arg == "--wait-table")
            return EarlyAnswer::wait_table;
    }
    return EarlyAnswer::none;
}

bool wants_instrument_check(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--check-instruments")
            return true;
    return false;
}

std::string trelwick_help_text() {
    return R"(Usage: trelwick [--wait-profile PROFILE] [--simulate [--speed N] [--sim-control FILE]]
       trelwick --check-instruments [--simulate]
       trelwick --wait-table
The operator station of a five-cam positioning stage (X, Y, Roll, Pitch, Yaw). Its main
panel brings up the instruments, moves the stage to typed targets and keeps a run log;
its test bench works one cam at a time. Without --simulate it drives the instruments:
by default the CM6K6 motion controller on COM2, the EV-16P gauge counter on COM5 and the
HP34970 unit at GPIB board 1, address 9. Nothing is opened or moved until "Initialise
devices" is pressed.

Options:
  --wait-profile PROFILE
                    designed (the default): every wait the instruments' design
                    prescribes; fast: the same commands, with handshakes instead of
                    the blind waits and the physical waits shortened (the window's
                    title and the run log then say "fast waits")
  --wait-table      print every wait of the design with its fast rule, and exit
  --simulate        run on a simulated stage inside the program, not the instruments
  --speed N         with --simulate: the simulated stage runs N times as fast
                    (0 < N <= 1000)
  --sim-control FILE
                    with --simulate: run the simulated stage's control lines in FILE,
                    one a line ("at SECONDS" in front of a line runs it that many
                    simulated seconds after start), e.g. "at 30 fault controller-silent on"
  --check-instruments
                    print whether each instrument's port or GPIB unit opens and the
                    instrument answers a query that changes nothing, with what to do
                    about each one that fails, and exit (0 when all three answer, 1
                    otherwise); needs no display, moves nothing
  -h, --help        print this help and exit
  --version         print the version and exit
Qt's own options (-platform NAME, -display DISPLAY, -style NAME, ...) are taken too.

Environment:
  TRELWICK_COM<n>          device of serial port COM<n> (default /dev/ttyS<n-1>),
                           e.g. TRELWICK_COM2=/dev/ttyUSB0
  TRELWICK_GPIB<b>_<a>     HOST:PORT of the GPIB unit at board b, address a, reached by
                           SCPI over TCP instead of the GPIB library,
                           e.g. TRELWICK_GPIB1_9=192.168.1.40:5025
  TRELWICK_GPIB_LIBRARY    the GPIB library to load (default libgpib.so.0)
  TRELWICK_LOCK_DIR        folder of the instruments' lock files, which keep two programs
                           off one instrument (default /run/lock, else /tmp)
  TRELWICK_SIM_ROOT        with --simulate: the folder of the simulated drives (default
                           $XDG_DATA_HOME/trelwick/simulated-drives)
  XDG_DATA_HOME, HOME      the program's drive paths map under the drive root
                           $XDG_DATA_HOME/trelwick/drives (default
                           ~/.local/share/trelwick/drives): C:\CVI\Trelwick\Log is
                           <root>/c/CVI/Trelwick/Log, c:\qel\Exchange <root>/c/qel/Exchange
  TRELWICK_REPORT_STARTUP  when set, say on standard error when the first window shows
  TRELWICK_SIM_MOTION_REPORT
                           with --simulate: a file where each motor's motion is written
                           as the program ends (for tests of the whole program)
  QT_QPA_PLATFORM          Qt's window system (offscreen: run without a display)
)";
}

std::string trelwick_version_text() {
    return std::string("trelwick ") + kTrelwickVersion + "\n";
}

std::string unknown_argument(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        // Their value follows; a missing or bad one is the simulated mode's to report.
        if (arg == "--speed" || arg == "--sim-control" || arg == kWaitOption) {
            ++i;
            continue;
        }
        if (arg == "--simulate" || arg == "--check-instruments" || arg.substr(0, 8) == "--speed=" ||
            arg.substr(0, 14) == "--sim-control=" || arg.rfind("--wait-profile=", 0) == 0)
            continue;
        return std::string(arg);
    }
    return {};
}

std::optional<WaitProfile> chosen_wait_profile(int argc, char** argv, std::string& error) {
    WaitProfile profile = WaitProfile::designed;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view value;
        if (arg == kWaitOption) {
            if (i + 1 >= argc) {
                error = "--wait-profile wants designed or fast";
                return std::nullopt;
            }
            value = argv[++i];
        } else if (arg.rfind("--wait-profile=", 0) == 0) {
            value = arg.substr(kWaitOption.size() + 1);
        } else {
            continue;
        }
        const auto parsed = parse_wait_profile(value);
        if (!parsed) {
            error = "--wait-profile wants designed or fast, not \"" + std::string(value) + "\"";
            return std::nullopt;
        }
        profile = *parsed;
    }
    return profile;
}
