// The resource file as the Qt backend loads it: the same controls the file describes, with
// their widgets, ranges and decimals, panels as windows; and the load failures.
#include "qt_fixture.hpp"

#include "platform/scripted/scripted_operator.hpp"

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

#include <set>
#include <string>

namespace {

// The widget class and kind property the Qt loader must give each kind of control.
bool kind_fits(const std::string& kind, QWidget* w) {
    if (w == nullptr || w->property("ctrlKind").toString().toStdString() != kind)
        return false;
    if (kind == "numeric_double")
        return qobject_cast<QDoubleSpinBox*>(w) != nullptr;
    if (kind == "numeric_int" || kind == "numeric_u16")
        return qobject_cast<QSpinBox*>(w) != nullptr;
    if (kind == "string")
        return qobject_cast<QLineEdit*>(w) != nullptr;
    if (kind == "command")
        return qobject_cast<QPushButton*>(w) != nullptr;
    if (kind == "ring")
        return qobject_cast<QComboBox*>(w) != nullptr;
    if (kind == "switch")
        return qobject_cast<QCheckBox*>(w) != nullptr;
    if (kind == "led")
        return qobject_cast<QRadioButton*>(w) != nullptr;
    if (kind == "graph")
        return qobject_cast<QChartView*>(w) != nullptr;
    return false;
}

// Every widget of the panel that carries a control id (a child panel's are its own).
std::set<int> ids_in(QWidget* window) {
    std::set<int> ids;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w->window() == window && w->property("ctrlId").isValid())
            ids.insert(w->property("ctrlId").toInt());
    return ids;
}

} // namespace

using QtResourceFileTest = QtPanelTest;

// The roles of the controls are checked against the file once, through the scripted
// reader (tests/unit/app/resource_file_test.cpp). Here the Qt loader must build the same
// panels from it: the same controls, each of its kind, with its callback name, design-time
// dimmed and hidden state and accessible name.
TEST_F(QtResourceFileTest, QtPanelsHoldWhatTheFileSays) {
    ScriptedOperator file; // not installed: only reads the file
    const std::string path = platform_resolve_resource("Trelwick.uir");
    const int qt_main = load(MAIN_PANEL);
    const int file_main = file.load_panel(0, path, MAIN_PANEL);
    const struct {
        const char* name;
        int qt, file;
    } panels_to_compare[] = {
        {"main", qt_main, file_main},
        {"parameters", load(PARAM_PANEL, qt_main), file.load_panel(file_main, path, PARAM_PANEL)},
        {"test", load(TEST_PANEL), file.load_panel(0, path, TEST_PANEL)},
    };
    for (const auto& p : panels_to_compare) {
        SCOPED_TRACE(p.name);
        const ScriptedPanel* read = file.panel(p.file);
        ASSERT_NE(read, nullptr);
        std::set<int> ids;
        for (const auto& [id, c] : read->controls) {
            ids.insert(id);
            QWidget* w = panels.control_widget(p.qt, id);
            ASSERT_NE(w, nullptr) << c.name;
            EXPECT_TRUE(kind_fits(c.kind, w)) << c.name;
            EXPECT_EQ(w->property("callback").toString().toStdString(), c.callback) << c.name;
            EXPECT_EQ(w->accessibleName().toStdString(), c.accessible_name) << c.name;
            int dimmed = -1, visible = -1;
            EXPECT_EQ(GetCtrlAttribute(p.qt, id, ATTR_DIMMED, &dimmed), 0);
            EXPECT_EQ(GetCtrlAttribute(p.qt, id, ATTR_VISIBLE, &visible), 0);
            EXPECT_EQ(dimmed, c.dimmed ? 1 : 0) << c.name;
            EXPECT_EQ(visible, c.visible ? 1 : 0) << c.name;
        }
        // Nothing addressable beyond those (the graph's placeholder is gone).
        EXPECT_EQ(ids_in(panels.panel_window(p.qt)), ids);
        EXPECT_FALSE(ids.empty());
    }
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

TEST_F(QtResourceFileTest, HiddenFitResultCanBeShown) {
    const int test_panel = load(TEST_PANEL);
    int visible = -1;
    GetCtrlAttribute(test_panel, TEST_AMPLITUDE, ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 0);
    EXPECT_EQ(SetCtrlAttribute(test_panel, TEST_AMPLITUDE, ATTR_VISIBLE, 1), 0);
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
