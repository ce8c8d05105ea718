// What a simulated instrument has run, with the time each command ran: a ring of the last
// N commands, so a simulator that runs for days keeps a bounded memory. Tests that read
// the history set N to hold everything they look at.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>

class CommandHistory {
public:
    using Entry = std::pair<double, std::string>;
    static constexpr std::size_t kDefaultLimit = 64;

    void add(double time, std::string command) {
        if (limit_ == 0)
            return;
        while (entries_.size() >= limit_)
            entries_.pop_front();
        entries_.emplace_back(time, std::move(command));
    }
    void set_limit(std::size_t limit) {
        limit_ = limit;
        while (entries_.size() > limit_)
            entries_.pop_front();
    }
    std::size_t limit() const { return limit_; }
    void clear() { entries_.clear(); }
    const std::deque<Entry>& entries() const { return entries_; }

private:
    std::size_t limit_ = kDefaultLimit;
    std::deque<Entry> entries_;
};
