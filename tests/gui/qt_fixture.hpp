// Fixture of the GUI tests: a fresh Qt panel backend installed for each test, the
// project's resource folder, a virtual clock (so the beeps' half-second pauses take no
// time) and helpers to reach widgets and answer pop-ups.
#pragma once

#include "platform/platform.hpp"
#include "platform/qt/qt_panel_backend.hpp"
#include "platform/scripted/virtual_clock.hpp"

#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <span>
#include <string>

class QtPanelTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads a panel of the project's resource file as the program does; fails the test
    // if it can't.
    int load(int resource_id, int parent = 0);

    template <typename Widget> Widget* widget(int panel, int control) {
        auto* w = qobject_cast<Widget*>(panels.control_widget(panel, control));
        EXPECT_NE(w, nullptr) << "control " << control << " of panel " << panel;
        return w;
    }

    // Runs `answer` on the next modal dialog as soon as it is open (the pop-up call made
    // after this blocks until `answer` closes it).
    static void when_modal(std::function<void(QWidget*)> answer);

    // A resource file of the test's own, written to a temporary folder.
    std::string write_ui_file(const std::string& name, const std::string& text);

    QtPanelBackend panels;
    VirtualClock clock;
    std::filesystem::path temp_dir;
};

// A callback that records every call (panel, control, event, data, two integers).
struct CallbackCall {
    int panel, control, event;
    void* data;
    int data1, data2;
};
std::vector<CallbackCall>& recorded_calls();
int record_call(int panel, int control, int event, void* data, int data1, int data2);
// Binds every callback name of the project's resource file to record_call.
std::span<const CallbackBinding> recording_table();
