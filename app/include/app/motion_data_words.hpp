// The words of the motion data file and the values they hold, apart from the file itself:
// the reader takes its bytes from any source, so the parsing can be checked (and fuzzed)
// on text in memory while the program reads the file in blocks.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Longest word taken as a number; a longer one is reported as not a number.
inline constexpr std::size_t kMotionDataWordChars = 299;
inline constexpr int kMotionDataTargets = 5;

// One white-space separated word. Characters past the longest word the file may hold are
// counted but not kept.
struct MotionDataWord {
    std::string text;
    bool overlong = false;
};

// Reads words one after another from `read(buffer, capacity)`, which returns the count of
// bytes it put in the buffer, 0 (or less) at the end. Nothing past the last word asked for
// is read.
class MotionDataWords {
public:
    using Source = std::function<long(char* buffer, std::size_t capacity)>;
    explicit MotionDataWords(Source read) : read_(std::move(read)) {}

    // The next word; false when the bytes end before one begins.
    bool next(MotionDataWord& word);

private:
    bool refill();

    Source read_;
    char buffer_[4096];
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
};

// The word's value when the whole word is one finite number ("1.5mm" or "nan" is not).
std::optional<double> motion_data_word_value(const MotionDataWord& word);

// The first five words of `text`: `words` is how many there were, and each present word
// has its value, or none when it is not a number.
struct MotionDataTargets {
    int words = 0;
    std::array<std::optional<double>, kMotionDataTargets> value{};
};
MotionDataTargets motion_data_parse(std::string_view text);
