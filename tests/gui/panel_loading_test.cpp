// The resource file as the Qt backend loads it: every control of the three panels with
// its kind, callback name, design-time dimmed state and range; and the load failures.
#include "qt_fixture.hpp"

#include "app/shell/panel_ids.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtCharts/QChartView>

#include <map>
#include <set>

namespace {

enum class Kind { real, integer, u16, text, command, ring, switch_, led, graph };

struct Expected {
    int id;
    Kind kind;
    const char* callback; // "" for none
};

// Written from the role tables of the three panels, not read from the file.
std::vector<Expected> main_controls() {
    std::vector<Expected> e = {{MAIN_STATUS, Kind::text, ""}};
    for (int id = MAIN_TARGET_X; id <= MAIN_GAGE_5; ++id)
        e.push_back({id, Kind::real, ""});
    for (int id = MAIN_SWITCH_LED_1; id <= MAIN_MOVE_LED_5; ++id)
        e.push_back({id, Kind::led, ""});
    e.push_back({MAIN_ENTRY_MODE, Kind::ring, "reference_switch"});
    e.push_back({MAIN_MOVE_MODE, Kind::switch_, ""});
    e.push_back({MAIN_LOG_TO_FILE, Kind::switch_, ""});
    e.push_back({MAIN_INIT, Kind::command, "device_init"});
    e.push_back({MAIN_READ_DATA, Kind::command, "read_data"});
    e.push_back({MAIN_MOVE, Kind::command, "move_motor"});
    e.push_back({MAIN_ZERO_ALL, Kind::command, "zero_readings"});
    e.push_back({MAIN_HOME, Kind::command, "go_home"});
    for (int id = MAIN_READ_POT_5; id <= MAIN_READ_POT_2; ++id)
        e.push_back({id, Kind::command, "read_pot"});
    for (int id = MAIN_READ_GAGE_1; id <= MAIN_READ_GAGE_5; ++id)
        e.push_back({id, Kind::command, "read_gage"});
    for (int id = MAIN_ZERO_GAGE_1; id <= MAIN_ZERO_GAGE_5; ++id)
        e.push_back({id, Kind::command, "zero_gage"});
    e.push_back({MAIN_PARAM, Kind::command, "set_param"});
    e.push_back({MAIN_TEST, Kind::command, "do_cam_test"});
    e.push_back({MAIN_QUIT, Kind::command, "program_quit"});
    e.push_back({MAIN_STOP, Kind::command, "operator_stop"});
    return e;
}

std::vector<Expected> param_controls() {
    std::vector<Expected> e;
    for (int id = PARAM_HP_BOARD; id <= PARAM_CM_PORT; ++id)
        e.push_back({id, Kind::integer, ""});
    e.push_back({PARAM_SETTING_1, Kind::real, ""});
    e.push_back({PARAM_SETTING_2, Kind::real, ""});
    e.push_back({PARAM_CAM, Kind::u16, ""});
    e.push_back({PARAM_STEP, Kind::real, ""});
    e.push_back({PARAM_POINTS, Kind::u16, ""});
    e.push_back({PARAM_INTERVAL, Kind::real, ""});
    e.push_back({PARAM_SAVE, Kind::command, "save_param"});
    e.push_back({PARAM_EXIT, Kind::command, "exit_param"});
    return e;
}

std::vector<Expected> test_controls() {
    std::vector<Expected> e = {{TEST_CAM, Kind::integer, ""},
                               {TEST_GAGE_CHANNEL, Kind::integer, ""},
                               {TEST_POINTS, Kind::integer, ""}};
    for (int id = TEST_STEP; id <= TEST_TEMP; ++id)
        e.push_back({id, Kind::real, ""});
    e.push_back({TEST_STATUS, Kind::text, ""});
    e.push_back({TEST_GRAPH, Kind::graph, ""});
    e.push_back({TEST_AMPLITUDE, Kind::real, ""});
    e.push_back({TEST_PHASE, Kind::real, ""});
    const std::pair<int, const char*> buttons[] = {{TEST_INIT, "test_device_init"},
                                                   {TEST_RUN, "test_distance_move"},
                                                   {TEST_ZERO, "test_zero_data"},
                                                   {TEST_GET_TEMP, "test_get_temp"},
                                                   {TEST_GET_POSITION, "test_get_position"},
                                                   {TEST_GET_ANGLE, "test_get_angle"},
                                                   {TEST_REFRESH, "test_refresh_graph"},
                                                   {TEST_GO_ZERO, "test_go_zero"},
                                                   {TEST_GO_HOME, "test_go_home"},
                                                   {TEST_SET_ANGLE, "test_set_angle"},
                                                   {TEST_WORK_POINT, "find_work_point"},
                                                   {TEST_EXIT, "exit_test"},
                                                   {TEST_STOP, "operator_stop"}};
    for (const auto& [id, name] : buttons)
        e.push_back({id, Kind::command, name});
    return e;
}

bool kind_fits(Kind kind, QWidget* w) {
    switch (kind) {
    case Kind::real:
        return qobject_cast<QDoubleSpinBox*>(w) && w->property("ctrlKind") == "numeric_double";
    case Kind::integer:
        return qobject_cast<QSpinBox*>(w) && w->property("ctrlKind") == "numeric_int";
    case Kind::u16:
        return qobject_cast<QSpinBox*>(w) && w->property("ctrlKind") == "numeric_u16";
    case Kind::text:
        return qobject_cast<QLineEdit*>(w) && w->property("ctrlKind") == "string";
    case Kind::command:
        return qobject_cast<QPushButton*>(w) && w->property("ctrlKind") == "command";
    case Kind::ring:
        return qobject_cast<QComboBox*>(w) && w->property("ctrlKind") == "ring";
    case Kind::switch_:
        return qobject_cast<QCheckBox*>(w) && w->property("ctrlKind") == "switch";
    case Kind::led:
        return qobject_cast<QRadioButton*>(w) && w->property("ctrlKind") == "led";
    case Kind::graph:
        return qobject_cast<QChartView*>(w) && w->property("ctrlKind") == "graph";
    }
    return false;
}

// Every widget of the panel that carries a control id.
std::set<int> ids_in(QWidget* window) {
    std::set<int> ids;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w->property("ctrlId").isValid())
            ids.insert(w->property("ctrlId").toInt());
    return ids;
}

} // namespace

class QtResourceFileTest : public QtPanelTest {
protected:
    void check_panel(int resource, const std::vector<Expected>& expected, int parent = 0) {
        const int panel = load(resource, parent);
        std::set<int> wanted;
        for (const Expected& e : expected) {
            wanted.insert(e.id);
            QWidget* w = panels.control_widget(panel, e.id);
            ASSERT_NE(w, nullptr) << "control " << e.id;
            EXPECT_TRUE(kind_fits(e.kind, w)) << "control " << e.id;
            EXPECT_EQ(w->property("callback").toString().toStdString(), e.callback)
                << "control " << e.id;
        }
        // No control beyond the listed ones (the graph placeholder is gone).
        EXPECT_EQ(ids_in(panels.panel_window(panel)), wanted);
    }

    std::set<int> dimmed(int panel, const std::vector<Expected>& expected) {
        std::set<int> out;
        for (const Expected& e : expected) {
            int value = -1;
            EXPECT_EQ(GetCtrlAttribute(panel, e.id, ATTR_DIMMED, &value), 0);
            if (value == 1)
                out.insert(e.id);
        }
        return out;
    }
};

TEST_F(QtResourceFileTest, EveryControlHasItsKindAndCallback) {
    check_panel(MAIN_PANEL, main_controls());
    check_panel(PARAM_PANEL, param_controls(), 1);
    check_panel(TEST_PANEL, test_controls());
}

TEST_F(QtResourceFileTest, PanelsAreWindowsTitledAfterTheirPages) {
    const int main_panel = load(MAIN_PANEL);
    const int param_panel = load(PARAM_PANEL, main_panel);
    const int test_panel = load(TEST_PANEL);
    EXPECT_EQ(main_panel, 1);
    EXPECT_EQ(param_panel, 2);
    EXPECT_EQ(test_panel, 3);
    QWidget* main_window = panels.panel_window(main_panel);
    QWidget* param_window = panels.panel_window(param_panel);
    EXPECT_TRUE(main_window->isWindow());
    EXPECT_EQ(main_window->parentWidget(), nullptr);
    EXPECT_TRUE(param_window->isWindow());
    EXPECT_EQ(param_window->parentWidget(), main_window);
    EXPECT_EQ(main_window->windowTitle(), "Trelwick");
    EXPECT_EQ(param_window->windowTitle(), "Parameters");
    EXPECT_EQ(panels.panel_window(test_panel)->windowTitle(), "Test bench");
    // Loaded, not yet shown.
    EXPECT_FALSE(main_window->isVisible());
    EXPECT_EQ(DisplayPanel(main_panel), 0);
    EXPECT_TRUE(main_window->isVisible());
}

TEST_F(QtResourceFileTest, InstrumentControlsStartDimmed) {
    const int main_panel = load(MAIN_PANEL);
    // Stop too: it is lit only while an operation that may turn a motor runs.
    std::set<int> main_dimmed = {MAIN_READ_DATA, MAIN_MOVE, MAIN_ZERO_ALL, MAIN_HOME, MAIN_STOP};
    for (int id = MAIN_READ_POT_5; id <= MAIN_ZERO_GAGE_5; ++id)
        main_dimmed.insert(id);
    EXPECT_EQ(dimmed(main_panel, main_controls()), main_dimmed);

    EXPECT_EQ(dimmed(load(PARAM_PANEL, main_panel), param_controls()), std::set<int>{});

    const std::set<int> test_dimmed = {
        TEST_RUN,     TEST_ZERO,    TEST_GET_TEMP,  TEST_GET_POSITION, TEST_GET_ANGLE,
        TEST_GO_ZERO, TEST_GO_HOME, TEST_SET_ANGLE, TEST_WORK_POINT,   TEST_STOP};
    EXPECT_EQ(dimmed(load(TEST_PANEL), test_controls()), test_dimmed);
}

TEST_F(QtResourceFileTest, FitResultsStartHidden) {
    const int test_panel = load(TEST_PANEL);
    for (const Expected& e : test_controls()) {
        int visible = -1;
        ASSERT_EQ(GetCtrlAttribute(test_panel, e.id, ATTR_VISIBLE, &visible), 0);
        const bool fit_result = e.id == TEST_AMPLITUDE || e.id == TEST_PHASE;
        EXPECT_EQ(visible, fit_result ? 0 : 1) << "control " << e.id;
    }
    EXPECT_EQ(SetCtrlAttribute(test_panel, TEST_AMPLITUDE, ATTR_VISIBLE, 1), 0);
    int visible = 0;
    GetCtrlAttribute(test_panel, TEST_AMPLITUDE, ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 1);
}

TEST_F(QtResourceFileTest, CoordinateBoxTargetsEditableOthersIndicators) {
    const int main_panel = load(MAIN_PANEL);
    for (int id = MAIN_TARGET_X; id <= MAIN_GAGE_5; ++id) {
        auto* box = widget<QDoubleSpinBox>(main_panel, id);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->isReadOnly(), id > MAIN_TARGET_YAW) << id;
        EXPECT_EQ(box->buttonSymbols(), QAbstractSpinBox::NoButtons) << id;
        const int decimals = id <= MAIN_PRESENT_YAW ? 7 : id <= MAIN_CAM_ANGLE_5 ? 4 : 6;
        EXPECT_EQ(box->decimals(), decimals) << id;
        EXPECT_EQ(box->minimum(), -1e9) << id;
        EXPECT_EQ(box->maximum(), 1e9) << id;
    }
}

TEST_F(QtResourceFileTest, IntegerRanges) {
    const int param_panel = load(PARAM_PANEL, load(MAIN_PANEL));
    for (int id = PARAM_HP_BOARD; id <= PARAM_CM_PORT; ++id) {
        auto* box = widget<QSpinBox>(param_panel, id);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->minimum(), -2147483647 - 1);
        EXPECT_EQ(box->maximum(), 2147483647);
    }
    for (const int id : {PARAM_CAM, PARAM_POINTS}) {
        auto* box = widget<QSpinBox>(param_panel, id);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->minimum(), 0);
        EXPECT_EQ(box->maximum(), 65535);
    }
}

TEST_F(QtResourceFileTest, EntryModeRingOffersFourModes) {
    auto* ring = widget<QComboBox>(load(MAIN_PANEL), MAIN_ENTRY_MODE);
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->count(), 4);
    EXPECT_EQ(ring->currentIndex(), 0);
}

// --- Load failures --------------------------------------------------------------------

TEST_F(QtPanelTest, MissingResourceFile) {
    EXPECT_EQ(LoadPanel(0, (temp_dir / "absent.uir").c_str(), MAIN_PANEL), UIEFileNotFound);
}

TEST_F(QtPanelTest, MalformedResourceFile) {
    QFile real(TRELWICK_UI_DIR "/Trelwick.ui");
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    const QByteArray text = real.readAll();
    // Cut in the middle of the main panel: the XML never closes.
    const std::string half = text.left(text.size() / 3).toStdString();
    EXPECT_EQ(LoadPanel(0, write_ui_file("cut.ui", half).c_str(), MAIN_PANEL), UIEBadFileFormat);
    EXPECT_EQ(LoadPanel(0, write_ui_file("noise.ui", "not a form at all").c_str(), MAIN_PANEL),
              UIEBadFileFormat);
    // Well-formed, but its top is not the tab widget of panels.
    const std::string lone = R"(<ui version="4.0"><widget class="QWidget" name="w"/></ui>)";
    EXPECT_EQ(LoadPanel(0, write_ui_file("lone.ui", lone).c_str(), MAIN_PANEL), UIEBadFileFormat);
}

TEST_F(QtPanelTest, ControlWhoseClassDoesNotFitItsKind) {
    const std::string text = R"(<ui version="4.0"><widget class="QTabWidget" name="t">
      <widget class="QWidget" name="p"><property name="panelId" stdset="0"><number>1</number></property>
        <widget class="QLineEdit" name="e">
          <property name="ctrlId" stdset="0"><number>5</number></property>
          <property name="ctrlKind" stdset="0"><string>numeric_double</string></property>
        </widget></widget></widget></ui>)";
    EXPECT_EQ(LoadPanel(0, write_ui_file("unfit.ui", text).c_str(), 1), UIEBadFileFormat);
}

TEST_F(QtPanelTest, PanelNotInFile) {
    EXPECT_EQ(LoadPanel(0, "Trelwick.uir", 4), UIEPanelNotFound);
    EXPECT_EQ(LoadPanel(0, "Trelwick.uir", 0), UIEPanelNotFound);
    // A failed load uses up no handle.
    EXPECT_EQ(load(MAIN_PANEL), 1);
}

TEST_F(QtPanelTest, UnknownParentPanel) {
    EXPECT_EQ(LoadPanel(7, "Trelwick.uir", PARAM_PANEL), UIEHandleInvalid);
}

TEST_F(QtPanelTest, DiscardedPanelAndItsChildrenAreGone) {
    const int main_panel = load(MAIN_PANEL);
    const int param_panel = load(PARAM_PANEL, main_panel);
    const int again = load(PARAM_PANEL, main_panel); // each load is a new instance
    EXPECT_NE(again, param_panel);
    EXPECT_EQ(DiscardPanel(param_panel), 0);
    EXPECT_EQ(SetCtrlVal(param_panel, PARAM_CAM, 1), UIEHandleInvalid);
    EXPECT_EQ(SetCtrlVal(again, PARAM_CAM, 1), 0);
    EXPECT_EQ(DiscardPanel(main_panel), 0);
    EXPECT_EQ(SetCtrlVal(again, PARAM_CAM, 1), UIEHandleInvalid);
    EXPECT_EQ(DiscardPanel(main_panel), UIEHandleInvalid);
    EXPECT_EQ(DisplayPanel(main_panel), UIEHandleInvalid);
}
