// The main panel with the program's own callbacks: start-up and Quit through the event
// loop, and the coordinate-entry selector dimming the coordinate box.
#include "qt_fixture.hpp"

#include "app/main_panel.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/shared_state.hpp"
#include "main/callback_table.hpp"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <set>

namespace {

int quit_with_seven(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT)
        QuitUserInterface(7);
    return 0;
}

} // namespace

class MainPanelTest : public QtPanelTest {
protected:
    void SetUp() override {
        QtPanelTest::SetUp();
        shared_state_reset();
        platform_set_callback_table(trelwick_callback_table());
    }
    void TearDown() override {
        shared_state_reset();
        QtPanelTest::TearDown();
    }

    std::set<int> dimmed_slots() {
        std::set<int> out;
        for (int slot = 0; slot < COORD_CTRL_COUNT; ++slot) {
            int dimmed = -1;
            EXPECT_EQ(
                GetCtrlAttribute(main_panel_handle(), coord_ctrls[slot], ATTR_DIMMED, &dimmed), 0);
            if (dimmed == 1)
                out.insert(slot);
        }
        return out;
    }
};

namespace {

// Presses Quit once the program's event loop runs (showing the panel already handles
// pending events, before the loop starts).
void press_quit_when_running(QtPanelBackend& panels) {
    QTimer::singleShot(0, [&panels] {
        if (QThread::currentThread()->loopLevel() == 0) {
            press_quit_when_running(panels);
            return;
        }
        QWidget* quit = panels.control_widget(main_panel_handle(), MAIN_QUIT);
        ASSERT_NE(quit, nullptr);
        EXPECT_TRUE(panels.panel_window(main_panel_handle())->isVisible());
        QTest::mouseClick(quit, Qt::LeftButton);
    });
}

} // namespace

TEST_F(MainPanelTest, QuitEndsTheProgram) {
    // The program shows its main panel and runs until Quit is pressed.
    press_quit_when_running(panels);
    EXPECT_EQ(WinMain(), 0);
    EXPECT_EQ(main_panel_handle(), 1);
}

TEST_F(QtPanelTest, EventLoopReturnsTheQuitCode) {
    const std::array table = {CallbackBinding{"program_quit", &quit_with_seven}};
    platform_set_callback_table(table);
    const int panel = load(MAIN_PANEL);
    DisplayPanel(panel);
    QTimer::singleShot(0, [this, panel] {
        QTest::mouseClick(panels.control_widget(panel, MAIN_QUIT), Qt::LeftButton);
    });
    EXPECT_EQ(RunUserInterface(), 7);
}

TEST_F(MainPanelTest, EntryModesDimTheCoordinateBox) {
    cam_move_ui_init();
    const int panel = main_panel_handle();
    ASSERT_GT(panel, 0);
    auto* ring = widget<QComboBox>(panel, MAIN_ENTRY_MODE);
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(dimmed_slots(), std::set<int>{});

    // Each key press selects a neighbouring mode, as the operator does with the keyboard.
    // The dimmed slots follow the mode table; slots a mode does not name keep their state.
    QTest::keyClick(ring, Qt::Key_Down); // mode 1: all five coordinates
    EXPECT_EQ(ring->currentIndex(), 1);
    EXPECT_EQ(dimmed_slots(), std::set<int>{});

    QTest::keyClick(ring, Qt::Key_Down); // mode 2: X, Y; cams 4 and 5
    EXPECT_EQ(dimmed_slots(), (std::set<int>{2, 3, 4, 7, 8, 9, 10, 11, 12}));

    QTest::keyClick(ring, Qt::Key_Down); // mode 3: X, Y, Roll; cams 1 to 3
    EXPECT_EQ(dimmed_slots(), (std::set<int>{3, 4, 8, 9, 13, 14}));

    QTest::keyClick(ring, Qt::Key_Up); // back to mode 2
    EXPECT_EQ(dimmed_slots(), (std::set<int>{2, 3, 4, 7, 8, 9, 10, 11, 12}));

    QTest::keyClick(ring, Qt::Key_Home); // mode 0
    EXPECT_EQ(ring->currentIndex(), 0);
    EXPECT_EQ(dimmed_slots(), std::set<int>{});
}
