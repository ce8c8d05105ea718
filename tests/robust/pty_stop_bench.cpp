// pty-stop-bench: the program in real mode (the real serial and GPIB backends, pointed at the
// instruments by TRELWICK_COM<n> and TRELWICK_GPIB<b>_<a>) on its operator thread behind the
// headless panel, with the test panel's buttons clicked from standard input. It is the bench's
// half of the real-time Stop check (pty_stop_check.py), which TANGO cannot reach: TANGO has
// no test panel.
//
// One command a line on standard input, one line back on standard output:
//   open        the main panel's cam test button: loads the test panel      -> "done"
//   init        the test panel's bring-up                                   -> "done STATUS"
//   zero | home the test panel's Pot zero / Home: "started" at once, then
//               "done STATUS" when the operation has ended
//   stop        the Stop button (any time)                                  -> "pressed"
//   quit        ends the program
// STATUS is the test panel's status line, line breaks as " | ". Every question gets its
// safe answer (the headless panel's refuse policy). --wait-profile PROFILE as for trelwick.
#include "app/main_panel.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "drivers/wait_profile_option.hpp"
#include "headless/headless_panel.hpp"
#include "headless/stage_view.hpp"
#include "platform/console.hpp"
#include "platform/operator_thread.hpp"
#include "platform/panels.hpp"
#include "platform/platform.hpp"
#include "platform/system_io/system_io.hpp"
#include "testbench/bench_state.hpp"
#include "testbench/test_panel.hpp"

#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

namespace {

std::mutex g_out;

void say(const std::string& line) {
    const std::lock_guard lock(g_out);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::string test_status() {
    std::string status;
    if (GetCtrlVal(test_panel_handle(), TEST_STATUS, &status) < 0)
        return "(no status)";
    for (std::size_t at = status.find('\n'); at != std::string::npos; at = status.find('\n'))
        status.replace(at, 1, " | ");
    return status;
}

// Runs a callback of the test panel on the operator thread as a click does, then reports.
void click(OperatorThread& thread, CtrlCallbackPtr callback, bool main_panel) {
    thread.post([callback, main_panel] {
        const int panel = main_panel ? main_panel_handle() : test_panel_handle();
        callback(panel, 0, EVENT_COMMIT, nullptr, 0, 0);
        say(main_panel ? std::string("done") : "done " + test_status());
    });
}

} // namespace

int main(int argc, char** argv) {
    if (!use_wait_profile_option(argc, argv, "robust_pty_stop_bench"))
        return 2;
    StageView view;
    HeadlessPanel panel(view);
    platform_use_panels(&panel);
    platform_use_console(&panel);
    platform_use_system_io();
    platform_set_simulated_stage(false);

    OperatorThread thread;
    platform_use_operator_thread(&thread);
    thread.start([] { return WinMain(); });

    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "open") {
            click(thread, do_cam_test, true);
        } else if (line == "init") {
            click(thread, test_device_init, false);
        } else if (line == "zero" || line == "home") {
            say("started");
            click(thread, line == "zero" ? test_go_zero : test_go_home, false);
        } else if (line == "stop") {
            view.cancel_question();
            platform_request_stop();
            say("pressed");
        } else if (line == "quit") {
            break;
        } else {
            say("error: unknown command " + line);
        }
    }
    platform_request_stop();
    thread.post([] { QuitUserInterface(0); });
    thread.join();
    platform_use_operator_thread(nullptr);
    platform_use_console(nullptr);
    platform_use_panels(nullptr);
    return 0;
}
