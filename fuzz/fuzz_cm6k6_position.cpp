// The controller's position, homing and error-status replies.
#include "drivers/protocol/cm6k6_protocol.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    for (std::size_t skip : {5u, 6u})
        if (const auto p = cm6k6_parse_position(reply, skip); p && !std::isfinite(*p))
            std::abort();
    (void)cm6k6_parse_home_count(reply);
    (void)cm6k6_is_no_errors(reply);
    (void)cm6k6_is_motion_done(reply);
    return 0;
}
