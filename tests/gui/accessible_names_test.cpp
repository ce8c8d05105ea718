// Every control of the three panels has an accessible name that says what it is, so that a
// screen reader, and a test driving the real window through the accessibility interface,
// can tell the controls apart: none empty, none twice on a panel, and the Qt panels carry
// the names the resource file gives (the graph's chart view included).
#include "qt_fixture.hpp"

#include "app/shell/panel_ids.hpp"
#include "platform/scripted/scripted_operator.hpp"

#include <set>
#include <string>

TEST_F(QtPanelTest, EveryControlHasAnAccessibleNameOfItsOwn) {
    ScriptedOperator file; // not installed: it only reads the resource file
    const std::string path = platform_resolve_resource("Trelwick.uir");
    const int qt_main = load(MAIN_PANEL);
    const int file_main = file.load_panel(0, path, MAIN_PANEL);
    const struct {
        const char* name;
        int qt, file;
    } panels_to_check[] = {
        {"main", qt_main, file_main},
        {"parameters", load(PARAM_PANEL, qt_main), file.load_panel(file_main, path, PARAM_PANEL)},
        {"test", load(TEST_PANEL), file.load_panel(0, path, TEST_PANEL)},
    };
    for (const auto& p : panels_to_check) {
        SCOPED_TRACE(p.name);
        const ScriptedPanel* read = file.panel(p.file);
        ASSERT_NE(read, nullptr);
        ASSERT_FALSE(read->controls.empty());
        std::set<std::string> names;
        for (const auto& [id, control] : read->controls) {
            EXPECT_FALSE(control.accessible_name.empty()) << control.name;
            EXPECT_TRUE(names.insert(control.accessible_name).second)
                << control.name << ": \"" << control.accessible_name << "\" twice";
            QWidget* w = panels.control_widget(p.qt, id);
            ASSERT_NE(w, nullptr) << control.name;
            EXPECT_EQ(w->accessibleName().toStdString(), control.accessible_name) << control.name;
        }
    }
    // The names say what the control is.
    const std::pair<int, const char*> main_names[] = {
        {MAIN_TARGET_X, "Target X"},
        {MAIN_PRESENT_ROLL, "Present Roll"},
        {MAIN_CAM_ANGLE_3, "Cam 3 angle"},
        {MAIN_GAGE_2, "Gauge 2 reading"},
        {MAIN_READ_GAGE_2, "Read gauge 2"},
        {MAIN_ZERO_GAGE_2, "Zero gauge 2"},
        {MAIN_READ_POT_4, "Read potentiometer of cam 4"},
        {MAIN_INIT, "Initialise devices"},
        {MAIN_MOVE, "Move"},
        {MAIN_QUIT, "Quit"},
    };
    for (const auto& [id, name] : main_names)
        EXPECT_EQ(panels.control_widget(qt_main, id)->accessibleName().toStdString(), name);
    EXPECT_EQ(panels.control_widget(panels_to_check[2].qt, TEST_GRAPH)->accessibleName(),
              "Measurement graph");
}
