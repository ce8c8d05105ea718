// A scripted console for tests: lines in, text out, and the program's exit turned into a
// ProgramExitRequest that the test catches.
#pragma once

#include "platform/console.hpp"

#include <deque>
#include <string>

struct ProgramExitRequest {
    int status;
};

class ScriptedConsole : public ConsoleBackend {
public:
    void add_line(std::string line) { lines_.push_back(std::move(line)); }
    const std::string& output() const { return output_; }
    void clear_output() { output_.clear(); }
    int lines_read() const { return reads_; }

    void write(std::string_view text) override;
    bool read_line(std::string& line, std::size_t max_chars) override;
    [[noreturn]] void exit_program(int status) override; // throws ProgramExitRequest

private:
    std::deque<std::string> lines_;
    std::string output_;
    int reads_ = 0;
};
