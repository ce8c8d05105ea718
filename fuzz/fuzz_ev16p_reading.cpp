// The gauge counter's reading reply.
#include "drivers/protocol/ev16p_protocol.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    if (const auto v = ev16p_parse_reading(reply); v && !std::isfinite(*v))
        std::abort();
    return 0;
}
