// Saves a picture of the main panel after a Move on the simulated stage, for the operator's
// manual (docs/operator-manual.md): main_panel_after_move <output file>. The Qt panel
// backend shows the panel; the simulated instruments answer on the in-process links in
// virtual time, so the bring-up and the move take no real time.
#include "app/bring_up.hpp"
#include "app/main_operations.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "main/callback_table.hpp"
#include "platform/link/link_backends.hpp"
#include "platform/platform.hpp"
#include "platform/qt/qt_panel_backend.hpp"
#include "platform/scripted/virtual_clock.hpp"
#include "sim/sim_stage.hpp"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
        return 2;
    }
    QDir drives(QDir::temp().filePath("trelwick-after-move"));
    drives.removeRecursively();
    QDir().mkpath(drives.filePath("c/CVI/Trelwick/Log"));

    VirtualClock clock;
    platform_use_clock(&clock);
    platform_set_drive_root(drives.absolutePath().toStdString());
    SimStage sim;
    LinkSerialBackend serial;
    LinkGpibBackend gpib;
    sim.power_on(platform_now_seconds());
    sim.attach(serial, gpib);
    platform_use_serial(&serial);
    platform_use_gpib(&gpib);

    QtPanelBackend panels;
    platform_use_panels(&panels);
    platform_set_resource_directory(TRELWICK_UI_DIR);
    platform_set_callback_table(trelwick_callback_table());

    const int main_panel = LoadPanel(0, "Trelwick.uir", MAIN_PANEL);
    main_panel_handle() = main_panel;
    DisplayPanel(main_panel);
    int status = 1;
    if (device_init(main_panel, MAIN_INIT, EVENT_COMMIT, nullptr, 0, 0) == 0) {
        SetCtrlVal(main_panel, MAIN_MOVE_MODE, 1);
        SetCtrlVal(main_panel, MAIN_TARGET_X, 0.0005);
        SetCtrlVal(main_panel, MAIN_TARGET_Y, 0.0002);
        SetCtrlVal(main_panel, MAIN_TARGET_ROLL, 0.0001);
        move_motor(main_panel, MAIN_MOVE, EVENT_COMMIT, nullptr, 0, 0);
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        QWidget* window = panels.panel_window(main_panel);
        if (window != nullptr && window->grab().save(QString::fromLocal8Bit(argv[1]))) {
            std::printf("%s (%dx%d)\n", argv[1], window->width(), window->height());
            status = 0;
        }
    }
    platform_reset();
    drives.removeRecursively();
    return status;
}
