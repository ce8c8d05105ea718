// The program's entry: the Qt application, the Qt panel backend, the resource folder
// beside the executable and the table that binds the resource file's callback names;
// then the operator program itself.
#include "app/main_panel.hpp"
#include "main/callback_table.hpp"
#include "platform/platform.hpp"
#include "platform/qt/qt_panel_backend.hpp"
#include "platform/system_io/system_io.hpp"
#include "sim/simulated_mode.hpp"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Trelwick");

    QtPanelBackend panels;
    platform_use_panels(&panels);
    platform_use_system_io();
    platform_set_resource_directory(QCoreApplication::applicationDirPath().toStdString());
    platform_set_callback_table(trelwick_callback_table());

    // --simulate: the simulated stage in this process instead of the instruments.
    const SimulatedOptions options = simulated_options(argc, argv);
    SimulatedMode simulated;
    std::string error = options.error;
    if (error.empty() && options.simulate)
        simulated.start(options, error);
    if (!error.empty()) {
        std::fprintf(stderr, "trelwick: %s\n", error.c_str());
        return 2;
    }

    const int status = WinMain();

    simulated.stop();
    platform_use_panels(nullptr);
    return status;
}
