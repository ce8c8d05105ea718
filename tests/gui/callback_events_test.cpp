// What the Qt backend does while a callback runs with the event loop blocked, as every
// operation does: a status text and DisplayPanel are painted at once, a pop-up is
// answered; and the wait with event processing lets a click run in the middle of it,
// ends on the virtual clock, and sleeps between events on the machine's clock.
#include "qt_fixture.hpp"

#include "app/shell/panel_ids.hpp"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <array>
#include <cstdint>
#include <vector>

namespace {

// The event-processing wait as the drivers build it (see the unit test of the same
// name); returns the number of times it processed events.
int wait_with_events(double seconds) {
    const auto ms = static_cast<std::uint32_t>(seconds * 1000.0001);
    const std::uint32_t end = GetTickCount() + ms;
    int rounds = 0;
    while (end > GetTickCount()) {
        ProcessTCPEvents();
        ProcessSystemEvents();
        ++rounds;
    }
    return rounds;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    using QObject::QObject;
    int paints = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// What the busy callback saw while it ran.
struct Seen {
    bool ran = false;
    int status_paints_before = 0, status_paints_after = 0;
    int test_panel_paints = 0;
    bool test_panel_visible = false;
    std::string status_text;
    int confirm = -1;
    std::vector<std::uint32_t> click_ticks;
};
Seen g_seen;
PaintCounter* g_status_paints = nullptr;
PaintCounter* g_test_panel_paints = nullptr;
int g_test_panel = 0;
QtPanelBackend* g_panels = nullptr;

// An operation as the program writes one: status text, panel shown, a long blocking wait,
// a confirmation, done.
int busy_operation(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    g_seen.ran = true;
    g_seen.status_paints_before = g_status_paints->paints;
    SetCtrlVal(panel, MAIN_STATUS, "Motors are in motion");
    DisplayPanel(panel);
    g_seen.status_paints_after = g_status_paints->paints;
    g_seen.status_text =
        static_cast<QLineEdit*>(g_panels->control_widget(panel, MAIN_STATUS))->text().toStdString();
    // A panel opened from the operation is on screen before the operation goes on.
    DisplayPanel(g_test_panel);
    g_seen.test_panel_visible = g_panels->panel_window(g_test_panel)->isVisible();
    g_seen.test_panel_paints = g_test_panel_paints->paints;
    Delay(30.0);
    g_seen.confirm = ConfirmPopup("ERROR", "Error in Motion end. Check error code # 1. Continue?");
    SetCtrlVal(panel, MAIN_STATUS, "Done");
    return 0;
}

int note_click_tick(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT)
        g_seen.click_ticks.push_back(GetTickCount());
    return 0;
}

class CallbackEventsTest : public QtPanelTest {
protected:
    void SetUp() override {
        QtPanelTest::SetUp();
        g_seen = {};
        g_panels = &panels;
        platform_set_callback_table(table);
        main = load(MAIN_PANEL);
        g_test_panel = load(TEST_PANEL);
        SetCtrlAttribute(main, MAIN_MOVE, ATTR_DIMMED, 0);
        DisplayPanel(main);
    }
    const std::array<CallbackBinding, 2> table{CallbackBinding{"move_motor", &busy_operation},
                                               CallbackBinding{"program_quit", &note_click_tick}};
    int main = 0;
};

} // namespace

TEST_F(CallbackEventsTest, BlockedCallbackPaintsItsProgressAndGetsItsAnswer) {
    PaintCounter status_paints, test_paints;
    g_status_paints = &status_paints;
    g_test_panel_paints = &test_paints;
    panels.control_widget(main, MAIN_STATUS)->installEventFilter(&status_paints);
    panels.panel_window(g_test_panel)->installEventFilter(&test_paints);

    // The operator answers the confirmation once it is up, in the middle of the callback.
    std::string asked;
    when_modal([&asked](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        asked = box->text().toStdString();
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
    QTest::mouseClick(panels.control_widget(main, MAIN_MOVE), Qt::LeftButton);

    ASSERT_TRUE(g_seen.ran);
    EXPECT_EQ(asked, "Error in Motion end. Check error code # 1. Continue?");
    EXPECT_EQ(g_seen.status_text, "Motors are in motion");
    EXPECT_GT(g_seen.status_paints_after, g_seen.status_paints_before);
    EXPECT_TRUE(g_seen.test_panel_visible);
    EXPECT_GT(g_seen.test_panel_paints, 0);
    EXPECT_EQ(g_seen.confirm, 1);
    std::string status;
    GetCtrlVal(main, MAIN_STATUS, &status);
    EXPECT_EQ(status, "Done");
    EXPECT_EQ(clock.delayed_seconds(), 30.0);
    g_status_paints = nullptr;
    g_test_panel_paints = nullptr;
}

TEST_F(CallbackEventsTest, ClickDuringTheWaitRunsInsideItOnTheVirtualClock) {
    const std::uint32_t start = GetTickCount();
    QTimer::singleShot(
        0, [this] { QTest::mouseClick(panels.control_widget(main, MAIN_QUIT), Qt::LeftButton); });
    // 200 ms in slices of 5 ms on the virtual clock, however fast the machine.
    EXPECT_EQ(wait_with_events(0.2), 40);
    EXPECT_EQ(GetTickCount(), start + 200);
    ASSERT_EQ(g_seen.click_ticks.size(), 1u);
    EXPECT_LT(g_seen.click_ticks[0], start + 200);
    EXPECT_EQ(clock.delay_calls(), 0);
}

TEST_F(CallbackEventsTest, WaitOnTheMachinesClockSleepsBetweenEvents) {
    platform_use_clock(nullptr);
    // A loop that spun would go round many thousand times in 100 ms; one that waits for
    // events in slices of 5 ms goes round about twenty times. The bound leaves room for
    // the events the panel itself produces, and cannot fail on a slow machine.
    const int rounds = wait_with_events(0.1);
    EXPECT_LE(rounds, 100);
}
