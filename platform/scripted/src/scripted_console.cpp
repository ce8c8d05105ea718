#include "platform/scripted/scripted_console.hpp"

void ScriptedConsole::write(std::string_view text) {
    output_.append(text);
}

bool ScriptedConsole::read_line(std::string& line, std::size_t max_chars) {
    ++reads_;
    line.clear();
    if (lines_.empty() || max_chars < 2)
        return false;
    std::string next = std::move(lines_.front());
    lines_.pop_front();
    if (next.size() > max_chars - 1) {
        // The rest of an over-long line stays for the next read, as with a real console.
        lines_.push_front(next.substr(max_chars - 1));
        next.resize(max_chars - 1);
    }
    line = std::move(next);
    return true;
}

void ScriptedConsole::exit_program(int status) {
    throw ProgramExitRequest{status};
}
