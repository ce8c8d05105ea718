// The program's entry: the Qt application, the Qt panel backend, the resource folder
// beside the executable and the table that binds the resource file's callback names;
// then the operator program itself, on the operator thread, while this thread keeps the
// window alive.
#include "app/main_panel.hpp"
#include "main/callback_table.hpp"
#include "platform/platform.hpp"
#include "platform/qt/qt_operator_front_end.hpp"
#include "platform/qt/qt_panel_backend.hpp"
#include "platform/system_io/system_io.hpp"
#include "sim/simulated_mode.hpp"
#include "startup_report.hpp"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
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
    platform_set_resource_directory(QCoreApplication::applicationDirPath().toStdString());
    platform_set_callback_table(trelwick_callback_table());

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
    return status;
}
