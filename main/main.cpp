// The program's entry: --help and --version, the Qt application, the Qt panel backend,
// the resource folder (build tree or installed tree) and the table that binds the resource
// file's callback names; then the operator program itself, on the operator thread, while
// this thread keeps the window alive.
#include "app/instrument_check.hpp"
#include "app/main_panel.hpp"
#include "app/shell/messages.hpp"
#include "command_line.hpp"
#include "main/callback_table.hpp"
#include "platform/platform.hpp"
#include "platform/qt/qt_operator_front_end.hpp"
#include "platform/qt/qt_panel_backend.hpp"
#include "platform/system_io/system_io.hpp"
#include "resource_directory.hpp"
#include "sim/simulated_mode.hpp"
#include "startup_report.hpp"

#include <QApplication>
#include <cstdio>
#include <string>

namespace {

// --check-instruments: the instruments (or the simulated stage with --simulate) checked
// before any window or display is needed, so that it works over ssh.
int run_instrument_check(int argc, char** argv) {
    if (const std::string unknown = unknown_argument(argc, argv); !unknown.empty()) {
        std::fprintf(stderr, "trelwick: unknown option %s (trelwick --help lists them)\n",
                     unknown.c_str());
        return 2;
    }
    platform_use_system_io();
    const SimulatedOptions options = simulated_options(argc, argv);
    SimulatedMode simulated;
    std::string error = options.error;
    if (error.empty() && options.simulate)
        simulated.start(options, error);
    if (!error.empty()) {
        std::fprintf(stderr, "trelwick: %s\n", error.c_str());
        platform_system_io_reset();
        return 2;
    }
    const InstrumentCheck check = check_instruments();
    std::fputs(check.report.c_str(), stdout);
    simulated.stop();
    platform_system_io_reset();
    return check.failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    switch (early_answer(argc, argv)) {
    case EarlyAnswer::help:
        std::fputs(trelwick_help_text().c_str(), stdout);
        return 0;
    case EarlyAnswer::version:
        std::fputs(trelwick_version_text().c_str(), stdout);
        return 0;
    case EarlyAnswer::wait_table:
        std::fputs(wait_table_text().c_str(), stdout);
        return 0;
    case EarlyAnswer::none:
        break;
    }
    if (!use_wait_profile_option(argc, argv, "trelwick"))
        return 2;
    if (wants_instrument_check(argc, argv))
        return run_instrument_check(argc, argv);

    QApplication application(argc, argv);
    if (const std::string unknown = unknown_argument(argc, argv); !unknown.empty()) {
        std::fprintf(stderr, "trelwick: unknown option %s (trelwick --help lists them)\n",
                     unknown.c_str());
        return 2;
    }
    QApplication::setApplicationName("Trelwick");
    report_startup_when_shown(application);

    // The window lives on this thread; the operator program runs on the operator thread,
    // and every panel call it makes is carried here.
    QtPanelBackend panels;
    OperatorThread operator_thread;
    QtOperatorFrontEnd front_end(panels, operator_thread);
    platform_use_panels(&front_end);
    platform_use_operator_thread(&operator_thread);
    platform_use_system_io();
    platform_set_resource_directory(
        resource_directory(QCoreApplication::applicationDirPath().toStdString()));
    platform_set_callback_table(trelwick_callback_table());
    // End program, a console stop, an operation's unexpected failure: the station is made
    // safe on the operator thread, and the program ends through this thread.
    platform_set_program_end_handler([] { cam_move_end_safely(); });
    platform_set_action_failure_handler(
        [](const std::string& what) { cam_move_operation_failed(what); });

    // --simulate: the simulated stage in this process instead of the instruments.
    const SimulatedOptions options = simulated_options(argc, argv);
    SimulatedMode simulated;
    std::string error = options.error;
    if (error.empty() && options.simulate)
        simulated.start(options, error);
    platform_set_simulated_stage(options.simulate);
    if (!error.empty()) {
        std::fprintf(stderr, "trelwick: %s\n", error.c_str());
        return 2;
    }

    const int status = front_end.run([] { return WinMain(); });

    simulated.stop();
    platform_use_operator_thread(nullptr);
    platform_use_panels(nullptr);
    platform_set_program_end_handler({});
    platform_set_action_failure_handler({});
    return status;
}
