// Values and attributes of the controls, and which operator actions call a callback:
// only a commit does, and never a value the program writes.
#include "qt_fixture.hpp"

#include "app/shell/panel_ids.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

// Writes a value as the program does and reads back what the field then holds.
template <typename Read, typename Write> Read written(int panel, int control, Write value) {
    SetCtrlVal(panel, control, value);
    Read back{};
    GetCtrlVal(panel, control, &back);
    return back;
}

} // namespace

TEST_F(QtPanelTest, RealFieldsReadBackExactlyAndShowTheirDecimals) {
    const int panel = load(MAIN_PANEL);
    // Targets and present coordinates show 7 decimals, cam angles 4, gauges 6.
    const struct {
        int id;
        double value;
        const char* shown;
    } cases[] = {
        {MAIN_TARGET_X, 0.00012345, "0.0001234"},
        {MAIN_TARGET_X, 0.123456789, "0.1234568"},
        {MAIN_CAM_ANGLE_3, -57.295779513, "-57.2958"},
        {MAIN_GAGE_2, 0.0015004, "0.001500"},
        {MAIN_PRESENT_Y, 123456789.25, "123456789.2500000"},
        // Beyond the field's range (1e9) the value is held and shown all the same.
        {MAIN_PRESENT_Y, -5e9, "-5000000000.0000000"},
    };
    for (const auto& c : cases) {
        auto* box = widget<QDoubleSpinBox>(panel, c.id);
        ASSERT_NE(box, nullptr);
        box->setLocale(QLocale::c());
        ASSERT_EQ(SetCtrlVal(panel, c.id, c.value), 0) << c.shown;
        double back = 0.0;
        ASSERT_EQ(GetCtrlVal(panel, c.id, &back), 0);
        EXPECT_EQ(back, c.value) << c.shown;
        EXPECT_EQ(box->text().toStdString(), c.shown);
    }
    // An integer written to a real field is its value.
    EXPECT_EQ(written<double>(panel, MAIN_TARGET_Y, 3), 3.0);

    // A value set from outside the program (as a screen reader or an accessibility client
    // does, through the widget's value) replaces the held one.
    auto* target = widget<QDoubleSpinBox>(panel, MAIN_TARGET_X);
    SetCtrlVal(panel, MAIN_TARGET_X, 0.00012345);
    target->setValue(0.0005);
    double typed = 0.0;
    GetCtrlVal(panel, MAIN_TARGET_X, &typed);
    EXPECT_EQ(typed, 0.0005);
}

TEST_F(QtPanelTest, RealFieldShowsAValueThatIsNotFinite) {
    const int panel = load(MAIN_PANEL);
    DisplayPanel(panel);
    auto* box = widget<QDoubleSpinBox>(panel, MAIN_PRESENT_ROLL);
    ASSERT_NE(box, nullptr);
    box->setLocale(QLocale::c());
    SetCtrlVal(panel, MAIN_PRESENT_ROLL, 0.5);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        const char* shown;
    } cases[] = {{nan, "NaN"}, {inf, "inf"}, {-inf, "-inf"}};
    for (const auto& c : cases) {
        ASSERT_EQ(SetCtrlVal(panel, MAIN_PRESENT_ROLL, c.value), 0) << c.shown;
        EXPECT_EQ(box->text().toStdString(), c.shown);
        double back = 0.0;
        ASSERT_EQ(GetCtrlVal(panel, MAIN_PRESENT_ROLL, &back), 0);
        if (std::isnan(c.value))
            EXPECT_TRUE(std::isnan(back));
        else
            EXPECT_EQ(back, c.value);
    }
    // A number again replaces it.
    SetCtrlVal(panel, MAIN_PRESENT_ROLL, 0.25);
    EXPECT_EQ(box->text().toStdString(), "0.2500000");
    EXPECT_EQ(written<double>(panel, MAIN_PRESENT_ROLL, 0.25), 0.25);

    // An integer field has no text for it: refused, the old value kept.
    const int param = load(PARAM_PANEL, panel);
    SetCtrlVal(param, PARAM_HP_ADDR, 9);
    EXPECT_EQ(SetCtrlVal(param, PARAM_HP_ADDR, nan), UIEValueNotRepresentable);
    EXPECT_EQ(SetCtrlVal(param, PARAM_HP_ADDR, 1e19), UIEValueNotRepresentable);
    int address = 0;
    GetCtrlVal(param, PARAM_HP_ADDR, &address);
    EXPECT_EQ(address, 9);
}

TEST_F(QtPanelTest, IntegerAndSixteenBitFields) {
    const int panel = load(PARAM_PANEL, load(MAIN_PANEL));
    EXPECT_EQ(written<int>(panel, PARAM_EV_ADDR, -2147483647 - 1), -2147483647 - 1);
    // A real written to an integer field is rounded.
    EXPECT_EQ(written<int>(panel, PARAM_HP_ADDR, 8.6), 9);

    EXPECT_EQ(written<unsigned short>(panel, PARAM_POINTS, 65535), 65535);
    EXPECT_EQ(written<unsigned short>(panel, PARAM_POINTS, 70000), 65535);
    EXPECT_EQ(written<unsigned short>(panel, PARAM_CAM, -1), 0);
}

TEST_F(QtPanelTest, TextSwitchRingAndLamp) {
    const int panel = load(MAIN_PANEL);
    std::string text;
    ASSERT_EQ(SetCtrlVal(panel, MAIN_STATUS, "Motors are in motion"), 0);
    GetCtrlVal(panel, MAIN_STATUS, &text);
    EXPECT_EQ(text, "Motors are in motion");

    int value = -1;
    GetCtrlVal(panel, MAIN_MOVE_MODE, &value);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(written<int>(panel, MAIN_MOVE_MODE, 1), 1);

    EXPECT_EQ(SetCtrlVal(panel, MAIN_ENTRY_MODE, 3), 0);
    GetCtrlVal(panel, MAIN_ENTRY_MODE, &value);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(SetCtrlVal(panel, MAIN_ENTRY_MODE, 4), UIEAttributeNotValid);
    GetCtrlVal(panel, MAIN_ENTRY_MODE, &value);
    EXPECT_EQ(value, 3);

    // Lamps light independently of each other.
    SetCtrlVal(panel, MAIN_SWITCH_LED_2, 1);
    SetCtrlVal(panel, MAIN_SWITCH_LED_4, 1);
    SetCtrlVal(panel, MAIN_MOVE_LED_2, 1);
    for (int id = MAIN_SWITCH_LED_1; id <= MAIN_MOVE_LED_5; ++id) {
        GetCtrlVal(panel, id, &value);
        const bool lit =
            id == MAIN_SWITCH_LED_2 || id == MAIN_SWITCH_LED_4 || id == MAIN_MOVE_LED_2;
        EXPECT_EQ(value, lit ? 1 : 0) << id;
    }
    // The operator cannot switch a lamp.
    DisplayPanel(panel);
    auto* lamp = widget<QRadioButton>(panel, MAIN_MOVE_LED_5);
    ASSERT_NE(lamp, nullptr);
    QTest::mouseClick(lamp, Qt::LeftButton);
    GetCtrlVal(panel, MAIN_MOVE_LED_5, &value);
    EXPECT_EQ(value, 0);
}

TEST_F(QtPanelTest, WrongTypeOrUnknownTarget) {
    const int panel = load(MAIN_PANEL);
    EXPECT_EQ(SetCtrlVal(panel, MAIN_TARGET_X, "1.5"), UIEValueTypeMismatch);
    EXPECT_EQ(SetCtrlVal(panel, MAIN_STATUS, 1.5), UIEValueTypeMismatch);
    std::string text;
    EXPECT_EQ(GetCtrlVal(panel, MAIN_TARGET_X, &text), UIEValueTypeMismatch);
    double value = 0.0;
    EXPECT_EQ(GetCtrlVal(panel, MAIN_STATUS, &value), UIEValueTypeMismatch);
    EXPECT_EQ(SetCtrlVal(panel + 1, MAIN_TARGET_X, 1.0), UIEHandleInvalid);
    EXPECT_EQ(SetCtrlVal(panel, TEST_CAM, 1), UIECtrlNotFound);
    EXPECT_EQ(GetCtrlVal(panel, 9999, &value), UIECtrlNotFound);
    int flag = 0;
    EXPECT_EQ(GetCtrlAttribute(panel, 9999, ATTR_DIMMED, &flag), UIECtrlNotFound);
    EXPECT_EQ(SetCtrlAttribute(panel + 5, MAIN_MOVE, ATTR_DIMMED, 0), UIEHandleInvalid);
    EXPECT_EQ(SetCtrlAttribute(panel, MAIN_MOVE, 77, 0), UIEAttributeNotValid);
}

TEST_F(QtPanelTest, DimmedFollowsEnabled) {
    const int panel = load(MAIN_PANEL);
    auto* move = widget<QPushButton>(panel, MAIN_MOVE);
    ASSERT_NE(move, nullptr);
    EXPECT_FALSE(move->isEnabled());
    ASSERT_EQ(SetCtrlAttribute(panel, MAIN_MOVE, ATTR_DIMMED, 0), 0);
    EXPECT_TRUE(move->isEnabled());
    int dimmed = -1;
    GetCtrlAttribute(panel, MAIN_MOVE, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 0);
    SetCtrlAttribute(panel, MAIN_TARGET_ROLL, ATTR_DIMMED, 1);
    GetCtrlAttribute(panel, MAIN_TARGET_ROLL, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 1);
    // The value through the attribute.
    SetCtrlAttribute(panel, MAIN_ENTRY_MODE, ATTR_CTRL_VAL, 2);
    int mode = 0;
    GetCtrlAttribute(panel, MAIN_ENTRY_MODE, ATTR_CTRL_VAL, &mode);
    EXPECT_EQ(mode, 2);
}

TEST_F(QtPanelTest, ProgramWritesCallNoCallback) {
    platform_set_callback_table(recording_table());
    const int main_panel = load(MAIN_PANEL);
    const int test_panel = load(TEST_PANEL);
    DisplayPanel(main_panel);
    DisplayPanel(test_panel);
    SetCtrlVal(main_panel, MAIN_ENTRY_MODE, 2);
    SetCtrlVal(main_panel, MAIN_MOVE_MODE, 1);
    SetCtrlVal(main_panel, MAIN_LOG_TO_FILE, 1);
    SetCtrlVal(main_panel, MAIN_TARGET_X, 4.5);
    SetCtrlVal(main_panel, MAIN_STATUS, "Done");
    SetCtrlVal(test_panel, TEST_CAM, 3);
    SetCtrlAttribute(main_panel, MAIN_MOVE, ATTR_DIMMED, 0);
    QApplication::processEvents();
    EXPECT_TRUE(recorded_calls().empty());
}

TEST_F(QtPanelTest, EveryButtonCallsItsCallbackWithTheCommitEvent) {
    platform_set_callback_table(recording_table());
    const int main_panel = load(MAIN_PANEL);
    const int param_panel = load(PARAM_PANEL, main_panel);
    const int test_panel = load(TEST_PANEL);
    const struct {
        int panel, first, last;
    } ranges[] = {{main_panel, MAIN_INIT, MAIN_QUIT},
                  {param_panel, PARAM_SAVE, PARAM_EXIT},
                  {test_panel, TEST_INIT, TEST_EXIT}};
    std::vector<std::pair<int, int>> clicked;
    for (const auto& r : ranges) {
        DisplayPanel(r.panel);
        for (int id = r.first; id <= r.last; ++id) {
            SetCtrlAttribute(r.panel, id, ATTR_DIMMED, 0);
            auto* button = widget<QPushButton>(r.panel, id);
            ASSERT_NE(button, nullptr);
            QTest::mouseClick(button, Qt::LeftButton);
            clicked.emplace_back(r.panel, id);
        }
    }
    ASSERT_EQ(recorded_calls().size(), clicked.size());
    for (std::size_t i = 0; i < clicked.size(); ++i) {
        const CallbackCall& call = recorded_calls()[i];
        EXPECT_EQ(call.panel, clicked[i].first);
        EXPECT_EQ(call.control, clicked[i].second);
        EXPECT_EQ(call.event, EVENT_COMMIT);
        EXPECT_EQ(call.data, nullptr);
        EXPECT_EQ(call.data1, 0);
        EXPECT_EQ(call.data2, 0);
    }
}

TEST_F(QtPanelTest, DimmedButtonDoesNothing) {
    platform_set_callback_table(recording_table());
    const int panel = load(MAIN_PANEL);
    DisplayPanel(panel);
    QTest::mouseClick(widget<QPushButton>(panel, MAIN_MOVE), Qt::LeftButton);
    EXPECT_TRUE(recorded_calls().empty());
}

// Editable fields with callbacks: a resource file of the test's own.
class CommitTest : public QtPanelTest {
protected:
    void SetUp() override {
        QtPanelTest::SetUp();
        platform_set_callback_table(recording_table());
        const std::string text = R"(<ui version="4.0"><widget class="QTabWidget" name="t">
 <widget class="QWidget" name="p"><property name="panelId" stdset="0"><number>1</number></property>
  <attribute name="title"><string>Fields</string></attribute>
  <layout class="QVBoxLayout" name="l">
   <item><widget class="QDoubleSpinBox" name="real">
    <property name="ctrlId" stdset="0"><number>1</number></property>
    <property name="ctrlKind" stdset="0"><string>numeric_double</string></property>
    <property name="callback" stdset="0"><string>move_motor</string></property>
    <property name="keyboardTracking"><bool>false</bool></property>
    <property name="decimals"><number>3</number></property></widget></item>
   <item><widget class="QLineEdit" name="text">
    <property name="ctrlId" stdset="0"><number>2</number></property>
    <property name="ctrlKind" stdset="0"><string>string</string></property>
    <property name="callback" stdset="0"><string>go_home</string></property></widget></item>
   <item><widget class="QCheckBox" name="switch">
    <property name="ctrlId" stdset="0"><number>3</number></property>
    <property name="ctrlKind" stdset="0"><string>switch</string></property>
    <property name="text"><string>Switch</string></property>
    <property name="callback" stdset="0"><string>read_data</string></property></widget></item>
   <item><widget class="QSpinBox" name="plain">
    <property name="ctrlId" stdset="0"><number>4</number></property>
    <property name="ctrlKind" stdset="0"><string>numeric_int</string></property></widget></item>
  </layout></widget></widget></ui>)";
        panel = LoadPanel(0, write_ui_file("fields.ui", text).c_str(), 1);
        ASSERT_EQ(panel, 1);
        DisplayPanel(panel);
        real = widget<QDoubleSpinBox>(panel, 1);
        text_field = widget<QLineEdit>(panel, 2);
    }

    static void focus_out(QWidget* w) {
        QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(w, &event);
    }

    int panel = 0;
    QDoubleSpinBox* real = nullptr;
    QLineEdit* text_field = nullptr;
};

TEST_F(CommitTest, TypedNumberCommitsOnEnter) {
    real->selectAll();
    QTest::keyClicks(real, "2.5");
    EXPECT_TRUE(recorded_calls().empty()); // typing is no commit
    QTest::keyClick(real, Qt::Key_Return);
    ASSERT_EQ(recorded_calls().size(), 1u);
    EXPECT_EQ(recorded_calls()[0].control, 1);
    EXPECT_EQ(recorded_calls()[0].event, EVENT_COMMIT);
    double value = 0.0;
    GetCtrlVal(panel, 1, &value);
    EXPECT_DOUBLE_EQ(value, 2.5);
    // Enter commits again, changed or not.
    QTest::keyClick(real, Qt::Key_Enter);
    EXPECT_EQ(recorded_calls().size(), 2u);
}

TEST_F(CommitTest, LeavingAFieldCommitsOnlyAChange) {
    focus_out(real);
    EXPECT_TRUE(recorded_calls().empty());
    real->selectAll();
    QTest::keyClicks(real, "7.25");
    focus_out(real);
    ASSERT_EQ(recorded_calls().size(), 1u);
    // A value the program wrote is no operator change either.
    SetCtrlVal(panel, 1, 9.0);
    focus_out(real);
    EXPECT_EQ(recorded_calls().size(), 1u);
}

TEST_F(CommitTest, TextFieldCommits) {
    text_field->setFocus();
    QTest::keyClicks(text_field, "abc");
    QTest::keyClick(text_field, Qt::Key_Return);
    ASSERT_EQ(recorded_calls().size(), 1u);
    EXPECT_EQ(recorded_calls()[0].control, 2);
    std::string text;
    GetCtrlVal(panel, 2, &text);
    EXPECT_EQ(text, "abc");
}

TEST_F(CommitTest, SwitchClickCommits) {
    auto* box = widget<QCheckBox>(panel, 3);
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); // its square
    ASSERT_EQ(recorded_calls().size(), 1u);
    EXPECT_EQ(recorded_calls()[0].control, 3);
    int value = 0;
    GetCtrlVal(panel, 3, &value);
    EXPECT_EQ(value, 1);
}

TEST_F(CommitTest, FieldWithoutCallbackIsQuiet) {
    auto* plain = widget<QSpinBox>(panel, 4);
    plain->selectAll();
    QTest::keyClicks(plain, "12");
    QTest::keyClick(plain, Qt::Key_Return);
    EXPECT_TRUE(recorded_calls().empty());
    int value = 0;
    GetCtrlVal(panel, 4, &value);
    EXPECT_EQ(value, 12);
}

TEST_F(CommitTest, ProgramValueIsHeldUntilTheOperatorTypes) {
    real->setLocale(QLocale::c());
    SetCtrlVal(panel, 1, 1.23456);
    EXPECT_EQ(real->text(), "1.235");
    double value = 0.0;
    // Leaving the field without typing is no commit and keeps the value.
    focus_out(real);
    EXPECT_TRUE(recorded_calls().empty());
    GetCtrlVal(panel, 1, &value);
    EXPECT_EQ(value, 1.23456);
    // Enter commits, and the value stays what the program wrote.
    QTest::keyClick(real, Qt::Key_Return);
    EXPECT_EQ(recorded_calls().size(), 1u);
    GetCtrlVal(panel, 1, &value);
    EXPECT_EQ(value, 1.23456);
    // Typed: the operator's number.
    real->selectAll();
    QTest::keyClicks(real, "2.5");
    QTest::keyClick(real, Qt::Key_Return);
    EXPECT_EQ(recorded_calls().size(), 2u);
    GetCtrlVal(panel, 1, &value);
    EXPECT_EQ(value, 2.5);
}

TEST_F(CommitTest, SteppingTheFieldIsAnEdit) {
    SetCtrlVal(panel, 1, 1.23456);
    QTest::keyClick(real, Qt::Key_Up);
    double value = 0.0;
    GetCtrlVal(panel, 1, &value);
    EXPECT_DOUBLE_EQ(value, 2.235); // one step up from the shown 1.235
}

TEST_F(CommitTest, FieldShowingNaNIsNoChangeWhenLeft) {
    SetCtrlVal(panel, 1, std::numeric_limits<double>::quiet_NaN());
    focus_out(real);
    EXPECT_TRUE(recorded_calls().empty());
    EXPECT_EQ(real->text(), "NaN");
    QTest::keyClick(real, Qt::Key_Return);
    EXPECT_EQ(recorded_calls().size(), 1u);
    EXPECT_EQ(real->text(), "NaN");
    double value = 0.0;
    GetCtrlVal(panel, 1, &value);
    EXPECT_TRUE(std::isnan(value));
}
