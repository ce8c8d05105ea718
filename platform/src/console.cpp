// The standard console (stdin/stdout) and the dispatch of the console operations.
#include "platform/console.hpp"

#include "console_presence.hpp"
#include "group_resets.hpp"
#include "platform/operator_thread.hpp"
#include "platform/panels.hpp"
#include "platform/text.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class StandardConsole : public ConsoleBackend {
public:
    void write(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    bool read_line(std::string& line, std::size_t max_chars) override {
        line.clear();
        if (max_chars < 2 || !standard_input_has_operator())
            return false;
        // Keeps at most max_chars - 1 characters as fgets would; the rest of a longer line
        // stays unread for the next prompt, as with the run-time.
        int c = 0;
        while (line.size() + 1 < max_chars && (c = std::fgetc(stdin)) != EOF) {
            line.push_back(static_cast<char>(c));
            if (c == '\n')
                break;
        }
        return !line.empty();
    }
    [[noreturn]] void exit_program(int status) override {
        std::fflush(stdout);
        std::exit(status);
    }
};

StandardConsole g_standard;
ConsoleBackend* g_console = nullptr;

} // namespace

void platform_use_console(ConsoleBackend* backend) {
    g_console = backend;
}
ConsoleBackend& platform_console() {
    return g_console != nullptr ? *g_console : g_standard;
}
ConsoleBackend& platform_standard_console() {
    return g_standard;
}
void platform_console_reset() {
    g_console = nullptr;
}

void ConsoleWrite(std::string_view text) {
    platform_console().write(text);
}

void ConsolePrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = vstrfmt(format, args);
    va_end(args);
    platform_console().write(text);
}

bool ConsoleReadLine(std::string* line, std::size_t max_chars) {
    return platform_console().read_line(*line, max_chars);
}

void ProgramExit(int status) {
    platform_console().exit_program(status);
    std::abort(); // every console backend ends the program or unwinds out of this call
}

bool ConsoleAnswerGoOn(const char* title, std::string_view text, std::size_t max_chars,
                       std::string_view details) {
    // In an operation the operator has stopped, nobody is asked: going on lets the driver
    // halt the motors, where ending the program would leave them as they are.
    if (platform_stop_requested())
        return true;
    std::string line;
    if (ConsoleReadLine(&line, max_chars))
        return line.front() == '\n';
    // No line at all: nobody at a console (a program started from the desktop has its
    // input at end). The operator answers the same question in a pop-up; Enter and Escape
    // both continue, as a bare Enter does at the console, so that ending the program is
    // always a deliberate click. Without any panel backend nobody can answer: the program
    // ends, as it would at the console.
    const std::string message(text);
    const int answer = GenericMessagePopup(title != nullptr ? title : "", message.c_str(),
                                           kConsolePopupGoOn, kConsolePopupEnd, "", nullptr, 0,
                                           VAL_CENTER_BUTTONS, VAL_GENERIC_POPUP_BTN1,
                                           VAL_GENERIC_POPUP_BTN1, VAL_GENERIC_POPUP_BTN1, details);
    return answer == VAL_GENERIC_POPUP_BTN1;
}
