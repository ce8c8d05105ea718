// The console: the standard output the error messages go to, the line the operator
// answers with, and the program's exit.
//
// The program uses stdin/stdout; tests install a scripted console whose exit does not
// end the test process but is reported to the test.
#pragma once

#include "platform/text.hpp"

#include <cstddef>
#include <string>
#include <string_view>

class ConsoleBackend {
public:
    virtual ~ConsoleBackend() = default;
    virtual void write(std::string_view text) = 0;
    // Reads one line, newline included, keeping at most max_chars - 1 characters as
    // fgets does. Returns false at end of input (line left empty).
    virtual bool read_line(std::string& line, std::size_t max_chars) = 0;
    [[noreturn]] virtual void exit_program(int status) = 0;
};

// Installs the console used by every call below; nullptr restores stdin/stdout.
void platform_use_console(ConsoleBackend* backend);
ConsoleBackend& platform_console();
ConsoleBackend& platform_standard_console();

void ConsoleWrite(std::string_view text);
// printf-style output to the console.
void ConsolePrintf(const char* format, ...) TRELWICK_PRINTF(1, 2);
bool ConsoleReadLine(std::string* line, std::size_t max_chars);
[[noreturn]] void ProgramExit(int status);

// The answer to a console stop message whose text has already been printed: reads one line
// of at most max_chars - 1 characters; true (go on) when it starts with a bare Enter,
// false (end the program) for any other line. When standard input gives no line at all
// (no terminal, end of input), the same question is asked in a blocking pop-up titled
// `title` showing `text`, with two buttons: kConsolePopupGoOn (true; also Enter and
// Escape) and kConsolePopupEnd (false), and `details` as its detailed text. With no panel
// backend to ask, false. In an operation the operator has stopped, true at once.
bool ConsoleAnswerGoOn(const char* title, std::string_view text, std::size_t max_chars,
                       std::string_view details = {});
inline constexpr const char* kConsolePopupGoOn = "Continue";
inline constexpr const char* kConsolePopupEnd = "End program";
