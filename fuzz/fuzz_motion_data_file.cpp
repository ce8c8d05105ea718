// The motion data file's reader: whatever another program left in the file, the targets
// taken from it are finite numbers, at most five, and the same whether the file comes in
// one block or in small pieces.
#include "app/motion_data_words.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the block size of the piecewise reading.
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const MotionDataTargets whole = motion_data_parse(text);
    if (whole.words < 0 || whole.words > kMotionDataTargets)
        std::abort();
    for (int i = 0; i < whole.words; ++i) {
        const auto& value = whole.value[static_cast<std::size_t>(i)];
        if (value && !std::isfinite(*value))
            std::abort();
    }

    std::string_view rest = text;
    MotionDataWords words([&rest, piece](char* buffer, std::size_t capacity) {
        const std::size_t n = std::min({capacity, piece, rest.size()});
        std::memcpy(buffer, rest.data(), n);
        rest.remove_prefix(n);
        return static_cast<long>(n);
    });
    MotionDataWord word;
    int count = 0;
    while (count < kMotionDataTargets && words.next(word)) {
        if (word.text.size() > kMotionDataWordChars)
            std::abort();
        const auto value = motion_data_word_value(word);
        const auto& expected = whole.value[static_cast<std::size_t>(count)];
        if (value.has_value() != expected.has_value() || (value && *value != *expected))
            std::abort();
        ++count;
    }
    if (count != whole.words)
        std::abort();
    return 0;
}
