// The window as the operator thread's front end: a press is queued for the operator
// thread and the window keeps answering while the operation runs; the operation's panel
// calls come back to the window's thread; Stop acts at once; Quit while an operation runs
// asks "An operation is running. Stop it and quit?", and Yes stops it, then quits. The
// window draws what the program writes from its own loop, paced. While an operation runs
// the inputs and operation buttons are locked, so what it reads is what was clicked and no
// second press queues behind it; a question of a motion carries its own Stop; a pop-up's
// details come with it.
#include "app/shell/panel_ids.hpp"
#include "platform/qt/qt_operator_front_end.hpp"
#include "qt_fixture.hpp"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <string>

namespace {

std::atomic<bool> g_moving{false};
std::atomic<bool> g_saw_stop{false};
std::atomic<bool> g_on_window_thread{true};
std::atomic<int> g_inits{0};
std::atomic<double> g_target_read{0.0};
std::atomic<int> g_answer{-1};
std::atomic<bool> g_reading{false};

// What the stand-in Move does: run until stopped; read its target after reading the cams
// (seconds of waits, events running); ask a question while the motors may turn.
enum class MoveKind { endless, reads_target_late, asks };
std::atomic<MoveKind> g_move_kind{MoveKind::endless};

// A Move that runs until it is stopped, as a motion wait does, showing its progress.
int endless_move(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    const StoppableScope operation;
    if (g_move_kind == MoveKind::reads_target_late) {
        g_reading = true;
        platform_process_events(1.0); // the cams are read meanwhile; the window is live
        double target = 0.0;
        GetCtrlVal(panel, MAIN_TARGET_X, &target);
        g_target_read = target;
        g_reading = false;
        return 0;
    }
    if (g_move_kind == MoveKind::asks) {
        g_moving = true;
        g_answer = ConfirmPopup("Motion", "Go on with the next cam?");
        g_saw_stop = platform_stop_requested();
        g_moving = false;
        return 0;
    }
    g_on_window_thread = QThread::currentThread() == QApplication::instance()->thread();
    SetCtrlVal(panel, MAIN_STATUS, "Motors are in motion");
    g_moving = true;
    const StopInterruptible motion;
    Delay(60.0);
    g_saw_stop = platform_stop_requested();
    g_moving = false;
    return 0;
}

// Initialise as the program's does: dims its own button, then brings the devices up.
int initialise(int panel, int control, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    SetCtrlAttribute(panel, control, ATTR_DIMMED, 1);
    ++g_inits;
    Delay(0.3);
    return 0;
}

int stop(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT)
        platform_request_stop();
    return 0;
}

int quit(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT)
        QuitUserInterface(3);
    return 0;
}

// Counts the paints of a widget and notes the text it drew last.
struct PaintLog : QObject {
    int paints = 0;
    QString last_text;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            last_text = watched->property("text").toString();
        }
        return false;
    }
};

class OperatorFrontEndTest : public QtPanelTest {
protected:
    void SetUp() override {
        QtPanelTest::SetUp();
        g_moving = g_saw_stop = g_reading = false;
        g_inits = 0;
        g_answer = -1;
        g_move_kind = MoveKind::endless;
        platform_use_clock(nullptr); // the machine's: the operator thread waits for real
        platform_set_callback_table(table);
        main = load(MAIN_PANEL);
        platform_use_panels(&front_end);
        platform_use_operator_thread(&thread);
        thread.start([] { return RunUserInterface(); });
        widget<QWidget>(main, MAIN_MOVE)->setEnabled(true);
        widget<QWidget>(main, MAIN_INIT)->setEnabled(true);
    }
    void TearDown() override {
        if (!thread.finished())
            thread.post([this] { thread.quit(0); });
        thread.join();
        QtPanelTest::TearDown();
    }
    void click(int control) {
        QTest::mouseClick(widget<QPushButton>(main, control), Qt::LeftButton);
    }

    const std::array<CallbackBinding, 4> table{
        CallbackBinding{"move_motor", &endless_move}, CallbackBinding{"device_init", &initialise},
        CallbackBinding{"operator_stop", &stop}, CallbackBinding{"program_quit", &quit}};
    OperatorThread thread;
    QtOperatorFrontEnd front_end{panels, thread};
    int main = 0;
};

} // namespace

TEST_F(OperatorFrontEndTest, TheOperationRunsOnTheOperatorThreadAndStopEndsIt) {
    click(MAIN_MOVE);
    ASSERT_TRUE(QTest::qWaitFor([] { return g_moving.load(); }, 10000));
    EXPECT_FALSE(g_on_window_thread.load());
    // Its status came back to the window, which keeps answering.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return widget<QWidget>(main, MAIN_STATUS)->property("text").toString() ==
                   "Motors are in motion";
        },
        10000));
    EXPECT_TRUE(thread.busy());
    widget<QWidget>(main, MAIN_STOP)->setEnabled(true);
    click(MAIN_STOP);
    ASSERT_TRUE(QTest::qWaitFor([] { return !g_moving.load(); }, 10000));
    EXPECT_TRUE(g_saw_stop.load());
}

TEST_F(OperatorFrontEndTest, QuitWhileAnOperationRunsAsksThenStopsItAndQuits) {
    click(MAIN_MOVE);
    ASSERT_TRUE(QTest::qWaitFor([] { return g_moving.load(); }, 10000));
    std::string asked;
    when_modal([&](QWidget* dialog) {
        asked = static_cast<QMessageBox*>(dialog)->text().toStdString();
        QTest::mouseClick(static_cast<QMessageBox*>(dialog)->button(QMessageBox::Yes),
                          Qt::LeftButton);
    });
    click(MAIN_QUIT);
    EXPECT_EQ(asked, "An operation is running. Stop it and quit?");
    ASSERT_TRUE(QTest::qWaitFor([&] { return thread.finished(); }, 10000));
    EXPECT_TRUE(g_saw_stop.load());
    EXPECT_EQ(thread.join(), 3);
}

TEST_F(OperatorFrontEndTest, AStreamOfValuesIsDrawnAtMost25TimesASecondEndingOnTheLast) {
    QWidget* window = panels.panel_window(main);
    front_end.display_panel(main);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QWidget* status = widget<QWidget>(main, MAIN_STATUS);
    PaintLog log;
    status->installEventFilter(&log);
    // As a Move on the virtual clock writes: a value every millisecond, the window's loop
    // running in between.
    QElapsedTimer elapsed;
    elapsed.start();
    for (int i = 0; i < 200; ++i) {
        front_end.set_value(main, MAIN_STATUS, CtrlValue{"step " + std::to_string(i)});
        QTest::qWait(1);
    }
    const qint64 ms = elapsed.elapsed();
    EXPECT_LE(log.paints, ms / 40 + 2) << "in " << ms << " ms";
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.last_text == "step 199"; }, 5000))
        << log.last_text.toStdString();
    status->removeEventFilter(&log);
}

TEST_F(OperatorFrontEndTest, ATargetTypedAfterMoveWasClickedIsNotTheOneItMovesTo) {
    g_move_kind = MoveKind::reads_target_late;
    auto* target = widget<QDoubleSpinBox>(main, MAIN_TARGET_X);
    target->setValue(0.25);
    click(MAIN_MOVE);
    ASSERT_TRUE(QTest::qWaitFor([] { return g_reading.load(); }, 10000));
    // The operator types another target while the Move reads the cams.
    target->setFocus();
    target->selectAll();
    QTest::keyClicks(target, "0.5");
    QTest::keyClick(target, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(target->value(), 0.25); // what the field shows is what runs
    ASSERT_TRUE(QTest::qWaitFor([] { return !g_reading.load(); }, 10000));
    EXPECT_DOUBLE_EQ(g_target_read.load(), 0.25);
    // The field takes input again once the Move has ended.
    ASSERT_TRUE(QTest::qWaitFor([&] { return target->isEnabled(); }, 10000));
}

TEST_F(OperatorFrontEndTest, ADoubleClickOnInitialiseBringsTheDevicesUpOnce) {
    click(MAIN_INIT);
    click(MAIN_INIT);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !thread.busy() && g_inits.load() > 0; }, 10000));
    QTest::qWait(400); // a second bring-up, had it been queued, would have started by now
    EXPECT_EQ(g_inits.load(), 1);
    int dimmed = -1;
    EXPECT_EQ(front_end.get_attribute(main, MAIN_INIT, ATTR_DIMMED, dimmed), 0);
    EXPECT_EQ(dimmed, 1); // as the program left it, after the lock
}

TEST_F(OperatorFrontEndTest, AQuestionOfAMotionCarriesAStopThatAnswersItsSafeChoice) {
    g_move_kind = MoveKind::asks;
    bool had_stop = false;
    when_modal([&](QWidget* dialog) {
        auto* stop_button = dialog->findChild<QPushButton*>("popupStop");
        had_stop = stop_button != nullptr;
        if (stop_button != nullptr)
            QTest::mouseClick(stop_button, Qt::LeftButton);
        else
            static_cast<QMessageBox*>(dialog)->button(QMessageBox::No)->click();
    });
    click(MAIN_MOVE);
    ASSERT_TRUE(QTest::qWaitFor([] { return g_answer.load() != -1; }, 10000));
    EXPECT_TRUE(had_stop);
    EXPECT_EQ(g_answer.load(), 0); // No
    EXPECT_TRUE(g_saw_stop.load());
}

TEST_F(OperatorFrontEndTest, AStopRequestedElsewhereClosesTheQuestionWithItsSafeChoice) {
    g_move_kind = MoveKind::asks;
    // F9, or a service's Stop: not the question's own button.
    when_modal([](QWidget* dialog) {
        platform_request_stop();
        // Left open, the question would be answered Yes here: the Stop must come first.
        QTimer::singleShot(2000, dialog, [dialog] {
            static_cast<QMessageBox*>(dialog)->button(QMessageBox::Yes)->click();
        });
    });
    click(MAIN_MOVE);
    ASSERT_TRUE(QTest::qWaitFor([] { return g_answer.load() != -1; }, 10000));
    EXPECT_EQ(g_answer.load(), 0);
}

TEST_F(OperatorFrontEndTest, APopUpsDetailsComeWithItAndAQuitConfirmationShowsNone) {
    std::string quit_details = "unset";
    when_modal([&](QWidget* dialog) {
        auto* box = static_cast<QMessageBox*>(dialog);
        quit_details = box->detailedText().toStdString();
        QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
    });
    click(MAIN_MOVE); // endless, so that Quit asks
    ASSERT_TRUE(QTest::qWaitFor([] { return g_moving.load(); }, 10000));
    click(MAIN_QUIT);
    EXPECT_EQ(quit_details, "");
    std::string shown;
    when_modal([&](QWidget* dialog) {
        auto* box = static_cast<QMessageBox*>(dialog);
        shown = box->detailedText().toStdString();
        box->accept();
    });
    std::atomic<bool> done{false};
    thread.post([&] {
        MessagePopup("Init Error", "Error in device init", "COM2: no reply");
        done = true;
    });
    platform_request_stop(); // ends the Move; the message runs after it
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000));
    EXPECT_EQ(shown, "COM2: no reply");
}
