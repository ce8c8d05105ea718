#include "scripted_instrument.hpp"

#include <sstream>

ScriptedInstrument& ScriptedInstrument::expect(std::string command,
                                               std::optional<std::string> reply, double delay) {
    if (reply)
        *reply += reply_terminator_;
    script_.push_back({std::move(command), std::move(reply), delay, false});
    return *this;
}

ScriptedInstrument& ScriptedInstrument::expect_raw(std::string command, std::string raw_reply) {
    script_.push_back({std::move(command), std::move(raw_reply), 0.0, false});
    return *this;
}

ScriptedInstrument& ScriptedInstrument::expect_repeated(std::string command,
                                                        std::optional<std::string> reply) {
    if (reply)
        *reply += reply_terminator_;
    script_.push_back({std::move(command), std::move(reply), 0.0, true});
    return *this;
}

std::vector<std::string> ScriptedInstrument::commands() const {
    std::vector<std::string> texts;
    for (const auto& r : received_)
        texts.push_back(r.text);
    return texts;
}

std::vector<double> ScriptedInstrument::arrival_times() const {
    std::vector<double> times;
    for (const auto& r : received_)
        times.push_back(r.at);
    return times;
}

std::vector<std::string> ScriptedInstrument::unmet() const {
    std::vector<std::string> left;
    for (const auto& step : script_)
        if (!step.repeated)
            left.push_back(step.command);
    return left;
}

void ScriptedInstrument::configure(const LinkSettings& settings, double /*now*/) {
    settings_ = settings;
}

void ScriptedInstrument::receive(std::string_view bytes, double now) {
    std::string text(bytes);
    const bool framed = text.size() >= command_terminator_.size() &&
                        text.compare(text.size() - command_terminator_.size(),
                                     command_terminator_.size(), command_terminator_) == 0;
    if (framed)
        text.resize(text.size() - command_terminator_.size());
    received_.push_back({text, now});
    if (!framed) {
        mismatches_.push_back("unterminated write \"" + std::string(bytes) + "\"");
        return;
    }
    // A repeated step that does not match gives way to the step after it.
    while (!script_.empty() && script_.front().repeated && script_.front().command != text)
        script_.pop_front();
    if (script_.empty()) {
        mismatches_.push_back("unscripted \"" + text + "\"");
        return;
    }
    const Step step = script_.front();
    if (step.command != text) {
        std::ostringstream what;
        what << "expected \"" << step.command << "\", got \"" << text << "\" at " << now;
        mismatches_.push_back(what.str());
        return;
    }
    if (!step.repeated)
        script_.pop_front();
    answer(step, now);
}

void ScriptedInstrument::answer(const Step& step, double now) {
    if (step.reply)
        output_.push_back({now + step.delay, *step.reply});
}

double ScriptedInstrument::output_ready_at(double /*now*/) {
    return output_.empty() ? kLinkNever : output_.front().ready_at;
}

std::string ScriptedInstrument::take_output(double now, std::size_t max) {
    std::string out;
    while (!output_.empty() && output_.front().ready_at <= now && out.size() < max) {
        Chunk& chunk = output_.front();
        const std::size_t n = std::min(max - out.size(), chunk.bytes.size());
        out += chunk.bytes.substr(0, n);
        chunk.bytes.erase(0, n);
        if (chunk.bytes.empty())
            output_.pop_front();
    }
    return out;
}

void ScriptedInstrument::device_clear(double /*now*/) {
    ++clears_;
    output_.clear();
}

int ScriptedInstrument::serial_poll(double /*now*/) {
    return status_byte_;
}

void ScriptedInstrument::set_online(bool online, double /*now*/) {
    online_ = online;
}
