#include "serial_line.hpp"

#include <algorithm>

SerialLine::SerialLine(const SerialLineFormat& format)
    : format_(format),
      per_byte_(serial_seconds_per_byte(format.baud, format.data_bits, format.stop_bits)),
      out_(format.paced_output ? per_byte_ : 0.0) {}

void SerialLine::reset(double now) {
    input_.clear();
    line_.clear();
    out_.clear();
    free_at_ = now;
    overflow_ = false;
}

void SerialLine::configure(const LinkSettings& settings) {
    line_ok_ = settings.baud == format_.baud && settings.data_bits == format_.data_bits &&
               settings.stop_bits == format_.stop_bits && settings.parity == 0;
}

void SerialLine::receive(std::string_view bytes, double now) {
    double t = std::max(now, free_at_);
    const char mask = format_.data_bits == 7 ? 0x7F : static_cast<char>(0xFF);
    for (const char c : bytes) {
        t += per_byte_;
        if (input_.size() >= format_.input_limit) {
            overflow_ = true; // the receive buffer is full: the byte is lost
            continue;
        }
        input_.emplace_back(t, static_cast<char>(c & mask));
    }
    free_at_ = t;
}

void SerialLine::discard_unsent(double now) {
    // A byte begins to go out one byte time before it has fully arrived.
    while (!input_.empty() && input_.back().first - per_byte_ >= now)
        input_.pop_back();
    free_at_ = input_.empty() ? std::min(free_at_, now) : input_.back().first;
}

double SerialLine::next_arrival() const {
    return input_.empty() ? kLinkNever : input_.front().first;
}

std::optional<std::pair<double, std::string>> SerialLine::take_byte(bool deaf) {
    if (input_.empty())
        return std::nullopt;
    const auto [time, byte] = input_.front();
    input_.pop_front();
    if (deaf || !line_ok_ || format_.ignored.find(byte) != std::string_view::npos)
        return std::nullopt;
    if (echo_)
        send(time, std::string(1, byte));
    if (format_.terminators.find(byte) == std::string_view::npos) {
        if (line_.size() < format_.line_limit)
            line_ += byte;
        else
            overflow_ = true;
        return std::nullopt;
    }
    std::string command = std::move(line_);
    line_.clear();
    if (command.empty())
        return std::nullopt;
    return std::make_pair(time, std::move(command));
}

void SerialLine::send(double time, std::string bytes) {
    if (out_.size() + bytes.size() > format_.output_limit) {
        overflow_ = true;
        return;
    }
    out_.push(time, std::move(bytes));
}

bool SerialLine::take_overflow() {
    const bool was = overflow_;
    overflow_ = false;
    return was;
}
