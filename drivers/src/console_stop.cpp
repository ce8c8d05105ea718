#include "console_stop.hpp"

#include "drivers/delay.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "platform/panels.hpp"

void console_stop(std::string_view printed, const char* title, std::string_view text,
                  std::size_t max_line_chars, StopWait wait, std::string_view details) {
    ConsoleWrite(printed);
    Beep();
    if (wait == StopWait::Blocking)
        Delay(0.5);
    else
        delay(0.5);
    Beep();
    ConsoleWrite("Press ENTER to continue.\nPress any key then ENTER to terminate program.\n");
    // The answer line keeps max_line_chars characters; the platform counts the terminator.
    if (!ConsoleAnswerGoOn(title, text, max_line_chars + 1, details))
        ProgramExit(0);
}
