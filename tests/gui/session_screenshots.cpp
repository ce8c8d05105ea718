// Pictures of a first session on the simulated stage, for the operator's manual, and the
// run log that session writes: session_screenshots <output folder> [<run log copy>].
// Bring-up, the parameters panel, then a relative Move of X +0.0005, Y +0.0002, Roll +0.0001 (a
// picture while the motors turn, Stop lit, and one after it), Home, and the "Danger Operation"
// pop-up of Zero all gauges (answered Reset: nothing is zeroed). The stage, its instruments and the
// clock are simulated in this process (virtual time, so nothing takes real minutes); the panels and
// pop-ups are the Qt backend's, as the operator sees them. scripts/screenshots.sh runs it for the
// pictures; the document samples' test runs it for the run log, which it copies to the second
// argument.
#include "app/bring_up.hpp"
#include "app/main_operations.hpp"
#include "app/main_panel.hpp"
#include "app/parameters_panel.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "main/callback_table.hpp"
#include "platform/link/link_backends.hpp"
#include "platform/platform.hpp"
#include "platform/qt/qt_panel_backend.hpp"
#include "platform/scripted/virtual_clock.hpp"
#include "sim/sim_stage.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <utility>

namespace {

bool save(QWidget* window, const QString& path) {
    if (window == nullptr)
        return false;
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), window->width(), window->height());
    return true;
}

// The virtual clock, with a look at the panel at each of the program's waits: the motion
// wait polls the controller with short waits, so a wait with motor lamps lit is a moment
// of the Move with its motors turning. The picture is of the moment with the most lamps.
class WatchingClock : public VirtualClock {
public:
    std::function<void()> on_delay;
    void delay(double seconds) override {
        VirtualClock::delay(seconds);
        if (on_delay)
            on_delay();
    }
};

int motors_moving(int panel) {
    const int lamps[] = {MAIN_MOVE_LED_1, MAIN_MOVE_LED_2, MAIN_MOVE_LED_3, MAIN_MOVE_LED_4,
                         MAIN_MOVE_LED_5};
    int count = 0;
    for (const int lamp : lamps) {
        int lit = 0;
        if (GetCtrlVal(panel, lamp, &lit) >= 0 && lit != 0)
            ++count;
    }
    return count;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <output folder> [<run log copy>]\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir drive;
    platform_set_drive_root(drive.path().toStdString());
    const std::filesystem::path log_folder = platform_map_path("C:\\CVI\\Trelwick\\Log");
    std::filesystem::create_directories(log_folder);

    WatchingClock clock;
    platform_use_clock(&clock);
    SimStage sim;
    LinkSerialBackend serial;
    LinkGpibBackend gpib;
    sim.power_on(platform_now_seconds());
    sim.attach(serial, gpib);
    platform_use_serial(&serial);
    platform_use_gpib(&gpib);
    platform_set_simulated_stage(true); // the title and run log of trelwick --simulate

    QtPanelBackend panels;
    platform_use_panels(&panels);
    platform_set_resource_directory(TRELWICK_UI_DIR);
    platform_set_callback_table(trelwick_callback_table());

    const int main_panel = LoadPanel(0, "Trelwick.uir", MAIN_PANEL);
    main_panel_handle() = main_panel;
    SetPanelAttribute(main_panel, ATTR_TITLE, station_title().c_str());
    DisplayPanel(main_panel);
    QWidget* window = panels.panel_window(main_panel);
    int status = 0;
    const auto shot = [&](QWidget* w, const char* name) {
        if (!save(w, folder.filePath(name)))
            status = 1;
    };

    if (device_init(main_panel, MAIN_INIT, EVENT_COMMIT, nullptr, 0, 0) != 0)
        status = 1;

    // The parameters panel as Parameters... opens it after bring-up: the built-in values.
    set_param(main_panel, MAIN_PARAM, EVENT_COMMIT, nullptr, 0, 0);
    QWidget* parameters = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == "Parameters")
            parameters = w;
    shot(parameters, "parameters_panel.png");
    if (parameters != nullptr)
        parameters->hide();
    SetCtrlVal(main_panel, MAIN_TARGET_X, 0.0005);
    SetCtrlVal(main_panel, MAIN_TARGET_Y, 0.0002);
    SetCtrlVal(main_panel, MAIN_TARGET_ROLL, 0.0001);
    int most_moving = 0;
    clock.on_delay = [&] {
        if (const int moving = motors_moving(main_panel); moving > most_moving) {
            most_moving = moving;
            shot(window, "main_panel_moving.png");
        }
    };
    move_motor(main_panel, MAIN_MOVE, EVENT_COMMIT, nullptr, 0, 0);
    clock.on_delay = nullptr;
    if (most_moving == 0) {
        std::fprintf(stderr, "no moment of the Move had a motor lamp lit\n");
        status = 1;
    }
    shot(window, "main_panel_after_move.png");
    go_home(main_panel, MAIN_HOME, EVENT_COMMIT, nullptr, 0, 0);

    // The pop-up comes up in its own event loop: take it from there, then answer Reset.
    bool popup_taken = false;
    QTimer::singleShot(0, [&] {
        QWidget* popup = QApplication::activeModalWidget();
        if (popup == nullptr)
            return;
        popup_taken = true;
        shot(popup, "popup_danger_operation.png");
        for (QAbstractButton* button : popup->findChildren<QAbstractButton*>())
            if (button->text().remove('&') == "Reset")
                button->click();
    });
    zero_readings(main_panel, MAIN_ZERO_ALL, EVENT_COMMIT, nullptr, 0, 0);
    if (!popup_taken) {
        std::fprintf(stderr, "Zero all gauges showed no pop-up\n");
        status = 1;
    }

    if (argc == 3) {
        std::error_code error;
        std::filesystem::copy_file(log_folder / "Trelwick_log.001", argv[2],
                                   std::filesystem::copy_options::overwrite_existing, error);
        if (error) {
            std::fprintf(stderr, "cannot copy the run log: %s\n", error.message().c_str());
            status = 1;
        }
    }
    platform_use_panels(nullptr);
    platform_use_serial(nullptr);
    platform_use_gpib(nullptr);
    platform_use_clock(nullptr);
    platform_set_simulated_stage(false);
    return status;
}
