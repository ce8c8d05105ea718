// The window as the operator thread's front end: a press is queued for the operator
// thread and the window keeps answering while the operation runs; the operation's panel
// calls come back to the window's thread; Stop acts at once; Quit while an operation runs
// asks "An operation is running. Stop it and quit?", and Yes stops it, then quits. The
// window draws what the program writes from its own loop, paced.
#include "app/shell/panel_ids.hpp"
#include "platform/qt/qt_operator_front_end.hpp"
#include "qt_fixture.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <atomic>
#include <string>

namespace {

std::atomic<bool> g_moving{false};
std::atomic<bool> g_saw_stop{false};
std::atomic<bool> g_on_window_thread{true};

// A Move that runs until it is stopped, as a motion wait does, showing its progress.
int endless_move(int panel, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    const StoppableScope operation;
    g_on_window_thread = QThread::currentThread() == QApplication::instance()->thread();
    SetCtrlVal(panel, MAIN_STATUS, "Motors are in motion");
    g_moving = true;
    const StopInterruptible motion;
    Delay(60.0);
    g_saw_stop = platform_stop_requested();
    g_moving = false;
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
        g_moving = g_saw_stop = false;
        platform_use_clock(nullptr); // the machine's: the operator thread waits for real
        platform_set_callback_table(table);
        main = load(MAIN_PANEL);
        platform_use_panels(&front_end);
        platform_use_operator_thread(&thread);
        thread.start([] { return RunUserInterface(); });
        widget<QWidget>(main, MAIN_MOVE)->setEnabled(true);
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

    const std::array<CallbackBinding, 3> table{CallbackBinding{"move_motor", &endless_move},
                                               CallbackBinding{"operator_stop", &stop},
                                               CallbackBinding{"program_quit", &quit}};
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
