// The pop-ups as modal dialogs, answered by key presses and clicks as the operator does.
#include "qt_fixture.hpp"

#include "app/shell/messages.hpp"
#include "platform/scripted/scripted_console.hpp"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <fstream>

namespace {

// The key goes where the operator's key would: to the dialog's focused control.
void press(QWidget* dialog, Qt::Key key) {
    QWidget* target = dialog->focusWidget() != nullptr ? dialog->focusWidget() : dialog;
    QTest::keyClick(target, key);
}

void click(QWidget* dialog, const char* button_name) {
    auto* button = dialog->findChild<QPushButton*>(button_name);
    ASSERT_NE(button, nullptr) << button_name;
    QTest::mouseClick(button, Qt::LeftButton);
}

int danger(std::string* response = nullptr) {
    return GenericMessagePopup("Danger Operation", "All gages will be set to ZERO.Continue?", "Yes",
                               "No", "Reset", response, response ? 4 : 0, VAL_CENTER_BUTTONS,
                               VAL_GENERIC_POPUP_BTN1, VAL_GENERIC_POPUP_BTN1,
                               VAL_GENERIC_POPUP_BTN3);
}

} // namespace

TEST_F(QtPanelTest, DangerConfirmationEnterIsYes) {
    QString title, focused;
    when_modal([&](QWidget* dialog) {
        title = dialog->windowTitle();
        if (dialog->focusWidget() != nullptr)
            focused = dialog->focusWidget()->objectName();
        press(dialog, Qt::Key_Return);
    });
    EXPECT_EQ(danger(), 1);
    EXPECT_EQ(title, "Danger Operation");
    EXPECT_EQ(focused, "genericPopupButton1"); // Yes is the active button
}

TEST_F(QtPanelTest, DangerConfirmationEnterIsYesWhereverTheFocusIs) {
    when_modal([](QWidget* dialog) {
        auto* no = dialog->findChild<QPushButton*>("genericPopupButton2");
        ASSERT_NE(no, nullptr);
        no->setFocus();
        QTest::keyClick(no, Qt::Key_Enter);
    });
    EXPECT_EQ(danger(), 1);
}

TEST_F(QtPanelTest, DangerConfirmationEscapeIsReset) {
    when_modal([](QWidget* dialog) { press(dialog, Qt::Key_Escape); });
    EXPECT_EQ(danger(), 3);
}

TEST_F(QtPanelTest, DangerConfirmationButtonsLeftToRight) {
    QStringList labels;
    when_modal([&](QWidget* dialog) {
        for (const char* name :
             {"genericPopupButton1", "genericPopupButton2", "genericPopupButton3"}) {
            auto* button = dialog->findChild<QPushButton*>(name);
            labels << (button != nullptr ? button->text() : QString());
        }
        auto* yes = dialog->findChild<QPushButton*>("genericPopupButton1");
        auto* reset = dialog->findChild<QPushButton*>("genericPopupButton3");
        EXPECT_LT(yes->mapTo(dialog, QPoint()).x(), reset->mapTo(dialog, QPoint()).x());
        click(dialog, "genericPopupButton2");
    });
    EXPECT_EQ(danger(), 2);
    EXPECT_EQ(labels, (QStringList{"Yes", "No", "Reset"}));
}

TEST_F(QtPanelTest, GenericPopupTextEntryKeepsMaxLength) {
    std::string response;
    when_modal([](QWidget* dialog) {
        auto* entry = dialog->findChild<QLineEdit*>("genericPopupEntry");
        ASSERT_NE(entry, nullptr);
        QTest::keyClicks(entry, "abcdefg");
        QTest::keyClick(entry, Qt::Key_Return);
    });
    EXPECT_EQ(danger(&response), 1);
    EXPECT_EQ(response, "abcd");
}

TEST_F(QtPanelTest, ProgramDangerMessageResetKeepsRunning) {
    // Reset refuses the operation; the two beeps' pauses run on the virtual clock.
    when_modal([](QWidget* dialog) { press(dialog, Qt::Key_Escape); });
    EXPECT_EQ(danger_operation_message("Angle > 90. Continue?"), 1);
    EXPECT_DOUBLE_EQ(clock.delayed_seconds(), 0.5);
    when_modal([](QWidget* dialog) { press(dialog, Qt::Key_Return); });
    EXPECT_EQ(danger_operation_message("Angle > 90. Continue?"), 0);
}

TEST_F(QtPanelTest, ConfirmYesAndNo) {
    QString text;
    when_modal([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        text = box->text();
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
    EXPECT_EQ(ConfirmPopup("ERROR", "Error in Problem open the file. Check error code # 1. "
                                    "Continue?"),
              1);
    EXPECT_EQ(text, "Error in Problem open the file. Check error code # 1. Continue?");
    when_modal([](QWidget* dialog) { press(dialog, Qt::Key_Escape); });
    EXPECT_EQ(ConfirmPopup("WARNING", "Parameters have not been saved. Continue?"), 0);
    when_modal([](QWidget* dialog) {
        QTest::mouseClick(qobject_cast<QMessageBox*>(dialog)->button(QMessageBox::No),
                          Qt::LeftButton);
    });
    EXPECT_EQ(ConfirmPopup("WARNING", "Parameters have not been saved. Continue?"), 0);
}

TEST_F(QtPanelTest, MessageWaitsForOk) {
    bool shown = false;
    when_modal([&](QWidget* dialog) {
        shown = dialog->windowTitle() == "Init Error";
        QTest::mouseClick(qobject_cast<QMessageBox*>(dialog)->button(QMessageBox::Ok),
                          Qt::LeftButton);
    });
    EXPECT_EQ(MessagePopup("Init Error", "Error in device init"), 0);
    EXPECT_TRUE(shown);
}

TEST_F(QtPanelTest, PromptAnsweredOrCancelled) {
    std::string response = "unchanged";
    when_modal([](QWidget* dialog) {
        auto* entry = dialog->findChild<QLineEdit*>("promptPopupEntry");
        ASSERT_NE(entry, nullptr);
        QTest::keyClicks(entry, "first run of the day");
        QTest::keyClick(entry, Qt::Key_Return);
    });
    EXPECT_EQ(PromptPopup("Data file", "Comment", &response, 9), 1);
    EXPECT_EQ(response, "first run");

    response = "unchanged";
    when_modal([](QWidget* dialog) { press(dialog, Qt::Key_Escape); });
    EXPECT_EQ(PromptPopup("Data file", "Comment", &response, 9), 0);
    EXPECT_EQ(response, "unchanged");
}

class FileSelectTest : public QtPanelTest {
protected:
    int select(const std::function<void(QFileDialog*)>& answer, std::string* path) {
        when_modal([answer](QWidget* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            ASSERT_NE(files, nullptr);
            answer(files);
        });
        return FileSelectPopup(temp_dir.c_str(), "*.dat", "*.dat;*.txt", "Data file", VAL_OK_BUTTON,
                               0, 0, 1, 1, path);
    }
};

TEST_F(FileSelectTest, ExistingNewOrCancelled) {
    const std::string existing = (temp_dir / "run.dat").string();
    std::ofstream(existing) << "x";
    std::string path;

    EXPECT_EQ(select(
                  [&](QFileDialog* d) {
                      EXPECT_EQ(d->windowTitle(), "Data file");
                      EXPECT_EQ(d->directory().absolutePath().toStdString(), temp_dir.string());
                      EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
                      d->selectFile(QString::fromStdString(existing));
                      static_cast<QDialog*>(d)->accept(); // as the OK button does
                  },
                  &path),
              VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(path, existing);

    const std::string fresh = (temp_dir / "new.dat").string();
    EXPECT_EQ(select(
                  [&](QFileDialog* d) {
                      d->selectFile(QString::fromStdString(fresh));
                      static_cast<QDialog*>(d)->accept(); // as the OK button does
                  },
                  &path),
              VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, fresh);

    path = "kept";
    EXPECT_EQ(select([](QFileDialog* d) { d->reject(); }, &path), VAL_NO_FILE_SELECTED);
    EXPECT_EQ(path, "kept");
}

TEST_F(QtPanelTest, ConsolePromptWithoutAConsoleIsAPopUp) {
    ScriptedConsole no_lines; // input at its end from the start
    platform_use_console(&no_lines);
    QString title, message, first, second;
    when_modal([&](QWidget* dialog) {
        title = dialog->windowTitle();
        message = dialog->findChild<QLabel*>()->text();
        first = dialog->findChild<QPushButton*>("genericPopupButton1")->text();
        second = dialog->findChild<QPushButton*>("genericPopupButton2")->text();
        EXPECT_EQ(dialog->findChild<QPushButton*>("genericPopupButton3"), nullptr);
        click(dialog, "genericPopupButton2");
    });
    EXPECT_FALSE(ConsoleAnswerGoOn("CM6K6 ERROR", "axis = 7, out of range", 80));
    EXPECT_EQ(title, "CM6K6 ERROR");
    EXPECT_EQ(message, "axis = 7, out of range");
    EXPECT_EQ(first, "Continue");
    EXPECT_EQ(second, "End program");
    // Enter and Escape both go on; ending is a deliberate click.
    when_modal([](QWidget* dialog) { press(dialog, Qt::Key_Return); });
    EXPECT_TRUE(ConsoleAnswerGoOn("CM6K6 ERROR", "axis = 7, out of range", 80));
    when_modal([](QWidget* dialog) { press(dialog, Qt::Key_Escape); });
    EXPECT_TRUE(ConsoleAnswerGoOn("CM6K6 ERROR", "axis = 7, out of range", 80));
    EXPECT_EQ(no_lines.lines_read(), 3);
    platform_use_console(nullptr);
}

// The lines under a failure (what was tried, why, what to do) are the message box's
// detailed text; the next pop-up has none of them.
TEST_F(QtPanelTest, FailureDetailsAreTheMessageBoxsDetailedText) {
    QString details, message, later;
    when_modal([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        message = box->text();
        details = box->detailedText();
        box->accept();
    });
    MessagePopup("Init Error", "Error in device init", "Reason: not found\n");
    when_modal([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        later = box->detailedText();
        box->accept();
    });
    MessagePopup("File name", "Please, input file name to log the data");
    EXPECT_EQ(message, "Error in device init");
    EXPECT_EQ(details, "Reason: not found\n");
    EXPECT_EQ(later, "");
}
