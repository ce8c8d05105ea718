// Saves a picture of the test panel after a work-point search on the simulated stage:
// work_point_screenshot <output file>. The stage, its three instruments and the clock are
// simulated in this process (virtual time, so the search takes no real minutes); the
// panels are the Qt backend's, as the operator sees them. scripts/screenshots.sh runs it.
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "main/callback_table.hpp"
#include "platform/link/link_backends.hpp"
#include "platform/platform.hpp"
#include "platform/qt/qt_panel_backend.hpp"
#include "platform/scripted/virtual_clock.hpp"
#include "sim/sim_stage.hpp"
#include "testbench/bench_state.hpp"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
        return 2;
    }
    QTemporaryDir drive;
    platform_set_drive_root(drive.path().toStdString());
    std::filesystem::create_directories(platform_map_path("C:\\CVI\\Trelwick\\Log"));

    // The event-processing waits move the virtual clock on by their slices.
    VirtualClock clock;
    platform_use_clock(&clock);
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

    // The operator's way: Initialise devices, Test bench..., Initialise devices on the
    // test panel for cam 1 and gauge 1, then Find work point.
    const int main_panel = LoadPanel(0, "Trelwick.uir", MAIN_PANEL);
    main_panel_handle() = main_panel;
    DisplayPanel(main_panel);
    platform_find_callback("device_init")(main_panel, MAIN_INIT, EVENT_COMMIT, nullptr, 0, 0);
    platform_find_callback("do_cam_test")(main_panel, MAIN_TEST, EVENT_COMMIT, nullptr, 0, 0);
    const int test = test_panel_handle();
    SetCtrlVal(test, TEST_CAM, 1);
    SetCtrlVal(test, TEST_GAGE_CHANNEL, 1);
    platform_find_callback("test_device_init")(test, TEST_INIT, EVENT_COMMIT, nullptr, 0, 0);
    platform_find_callback("find_work_point")(test, TEST_WORK_POINT, EVENT_COMMIT, nullptr, 0, 0);

    int status = 1;
    if (QWidget* window = panels.panel_window(test); window != nullptr) {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        const QString path = QString::fromLocal8Bit(argv[1]);
        if (window->grab().save(path)) {
            std::printf("%s (%dx%d)\n", qPrintable(path), window->width(), window->height());
            status = 0;
        } else {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        }
    }
    platform_use_panels(nullptr);
    platform_use_serial(nullptr);
    platform_use_gpib(nullptr);
    platform_use_clock(nullptr);
    return status;
}
