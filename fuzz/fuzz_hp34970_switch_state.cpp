// The data acquisition unit's relay-state and done replies, and its number replies.
#include "drivers/protocol/hp34970_protocol.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    (void)hp34970_parse_int(reply);
    (void)hp34970_transducer(reply);
    if (const auto v = hp34970_parse_number(reply); v && !std::isfinite(*v))
        std::abort();
    return 0;
}
