// The console stop message the drivers and the wait module share: the text, two beeps
// half a second apart, the prompt, and the operator's answer. ENTER goes on; anything
// else ends the program at once with status 0.
#pragma once

#include <cstddef>
#include <string_view>

enum class StopWait {
    Blocking,        // the drivers: Delay, no events run
    EventProcessing, // the wait module: events run meanwhile
};

// `printed` is the whole first text as it goes to the console; `title` and `text` are
// what a pop-up shows when the console gives no line, with `details` under them.
void console_stop(std::string_view printed, const char* title, std::string_view text,
                  std::size_t max_line_chars, StopWait wait, std::string_view details = {});
