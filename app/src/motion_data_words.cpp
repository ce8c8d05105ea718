#include "app/motion_data_words.hpp"

#include "platform/text.hpp"

#include <algorithm>
#include <cstring>

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

bool MotionDataWords::next(MotionDataWord& word) {
    word = MotionDataWord{};
    bool in_word = false;
    for (;;) {
        if (pos_ == len_ && !refill())
            return in_word;
        const char c = buffer_[pos_++];
        if (is_blank(c)) {
            if (in_word)
                return true;
            continue;
        }
        in_word = true;
        if (word.text.size() < kMotionDataWordChars)
            word.text.push_back(c);
        else
            word.overlong = true;
    }
}

bool MotionDataWords::refill() {
    const long got = read_(buffer_, sizeof buffer_);
    pos_ = 0;
    len_ = got > 0 ? std::min(static_cast<std::size_t>(got), sizeof buffer_) : 0;
    return len_ > 0;
}

std::optional<double> motion_data_word_value(const MotionDataWord& word) {
    if (word.overlong)
        return std::nullopt;
    std::size_t used = 0;
    const std::optional<double> value = parse_double_prefix(word.text, &used);
    if (!value || used != word.text.size())
        return std::nullopt;
    return value;
}

MotionDataTargets motion_data_parse(std::string_view text) {
    MotionDataWords words([&text](char* buffer, std::size_t capacity) {
        const std::size_t n = std::min(capacity, text.size());
        std::memcpy(buffer, text.data(), n);
        text.remove_prefix(n);
        return static_cast<long>(n);
    });
    MotionDataTargets targets;
    MotionDataWord word;
    while (targets.words < kMotionDataTargets && words.next(word))
        targets.value[static_cast<std::size_t>(targets.words++)] = motion_data_word_value(word);
    return targets;
}
