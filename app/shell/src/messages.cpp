// The operator messages and the shutdown of the instruments.
#include "app/shell/messages.hpp"

#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "platform/platform.hpp"

#include <string>

namespace {

// The console answer is read into a line of this many characters, as the operator knows it.
constexpr std::size_t kConsoleLineChars = 80;

void beep_twice() {
    Beep();
    Delay(0.5);
    Beep();
}

} // namespace

void update_status_line(int panel, int control, const char* text) {
    SetCtrlVal(panel, control, text);
    DisplayPanel(panel);
}

void cam_move_error_handling(int code, const char* where) {
    // The text is built to its full length: a long description is shown whole rather than
    // cut at a fixed buffer size.
    const std::string text = strfmt("Error in %s. Check error code # %i. Continue?",
                                    where != nullptr ? where : "", code);
    if (ConfirmPopup("ERROR", text.c_str()) == 0)
        cam_move_exit();
}

void cam_move_ui_error(const char* text) {
    ConsolePrintf("\nTRELWICK_UI_ERROR!!!: %s\n", text != nullptr ? text : "");
    beep_twice();
    ConsoleWrite("Press ENTER to continue.\nPress any key then ENTER to terminate program.\n");
    // Without a console to answer on, the same question comes as a pop-up.
    if (ConsoleAnswerGoOn("TRELWICK_UI_ERROR!!!", text != nullptr ? text : "", kConsoleLineChars))
        return;
    cam_move_exit();
    ProgramExit(0);
}

int danger_operation_message(const char* text) {
    // After a No the program is ending: nothing more is asked, every step is refused.
    if (program_ending())
        return 1;
    beep_twice();
    const int answer = GenericMessagePopup(
        "Danger Operation", text != nullptr ? text : "", "Yes", "No", "Reset", nullptr, 0,
        VAL_CENTER_BUTTONS, VAL_GENERIC_POPUP_BTN1, VAL_GENERIC_POPUP_BTN1, VAL_GENERIC_POPUP_BTN3);
    switch (answer) {
    case VAL_GENERIC_POPUP_BTN1:
        return 0;
    case VAL_GENERIC_POPUP_BTN2:
        program_ending() = true;
        cam_move_exit();
        QuitUserInterface(0);
        return 1;
    default:
        return 1;
    }
}

void cam_move_exit() {
    device_ids& ids = shared_device_ids();
    // A closed instrument's id goes back to 0: every routine that needs the instrument
    // opens it when its id is below 1, so a closed one is opened anew, never used closed.
    if (ids.hp34970 > 0) {
        hp34970_exit(ids.hp34970);
        ids.hp34970 = 0;
    }
    if (ids.cm6k6 > 0) {
        cm6k6_exit(ids.cm6k6);
        ids.cm6k6 = 0;
    }
    if (ids.ev16p > 0) {
        ev16p_exit(ids.ev16p);
        ids.ev16p = 0;
    }
}

void cam_move_end_safely() {
    device_ids& ids = shared_device_ids();
    if (ids.cm6k6 > 0)
        cm6k6_halt(ids.cm6k6);
    cam_move_exit();
}

void cam_move_operation_failed(const std::string& what) {
    const device_ids& ids = shared_device_ids();
    if (ids.cm6k6 > 0)
        cm6k6_halt(ids.cm6k6);
    const std::string text = strfmt(
        "The operation ended on an unexpected error (%s). The motors were halted.", what.c_str());
    write_to_log(log_path(), text);
    MessagePopup("ERROR", text.c_str());
}

void cam_move_GUI_out(int panel, int control, double value) {
    SetCtrlVal(panel, control, value);
}
