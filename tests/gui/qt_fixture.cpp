#include "qt_fixture.hpp"

#include <QApplication>
#include <QTimer>

#include <array>
#include <fstream>

#include <unistd.h>

void QtPanelTest::SetUp() {
    platform_reset();
    platform_use_panels(&panels);
    platform_use_clock(&clock);
    platform_set_resource_directory(TRELWICK_UI_DIR);
    recorded_calls().clear();
    temp_dir = std::filesystem::temp_directory_path() /
               ("trelwick_gui_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(temp_dir);
}

void QtPanelTest::TearDown() {
    platform_reset();
    std::filesystem::remove_all(temp_dir);
}

int QtPanelTest::load(int resource_id, int parent) {
    const int handle = LoadPanel(parent, "Trelwick.uir", resource_id);
    EXPECT_GT(handle, 0) << "panel " << resource_id;
    return handle;
}

void QtPanelTest::when_modal(std::function<void(QWidget*)> answer) {
    // Polls until the dialog's own event loop runs; the dialog is then the modal widget.
    QTimer::singleShot(0, [answer] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            answer(dialog);
        else
            when_modal(answer);
    });
}

std::string QtPanelTest::write_ui_file(const std::string& name, const std::string& text) {
    const std::filesystem::path path = temp_dir / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

std::vector<CallbackCall>& recorded_calls() {
    static std::vector<CallbackCall> calls;
    return calls;
}

int record_call(int panel, int control, int event, void* data, int data1, int data2) {
    recorded_calls().push_back({panel, control, event, data, data1, data2});
    return 0;
}

std::span<const CallbackBinding> recording_table() {
    static const std::array table = {
        CallbackBinding{"reference_switch", &record_call},
        CallbackBinding{"device_init", &record_call},
        CallbackBinding{"read_data", &record_call},
        CallbackBinding{"move_motor", &record_call},
        CallbackBinding{"zero_readings", &record_call},
        CallbackBinding{"go_home", &record_call},
        CallbackBinding{"read_pot", &record_call},
        CallbackBinding{"read_gage", &record_call},
        CallbackBinding{"zero_gage", &record_call},
        CallbackBinding{"set_param", &record_call},
        CallbackBinding{"do_cam_test", &record_call},
        CallbackBinding{"program_quit", &record_call},
        CallbackBinding{"save_param", &record_call},
        CallbackBinding{"exit_param", &record_call},
        CallbackBinding{"test_device_init", &record_call},
        CallbackBinding{"test_distance_move", &record_call},
        CallbackBinding{"test_zero_data", &record_call},
        CallbackBinding{"test_get_temp", &record_call},
        CallbackBinding{"test_get_position", &record_call},
        CallbackBinding{"test_get_angle", &record_call},
        CallbackBinding{"test_refresh_graph", &record_call},
        CallbackBinding{"test_go_zero", &record_call},
        CallbackBinding{"test_go_home", &record_call},
        CallbackBinding{"test_set_angle", &record_call},
        CallbackBinding{"find_work_point", &record_call},
        CallbackBinding{"exit_test", &record_call},
    };
    return table;
}
