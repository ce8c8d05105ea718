// The gauge counter's HOLD-state reply.
#include "drivers/protocol/ev16p_protocol.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    if (const auto state = ev16p_parse_hold_state(reply); state && (*state < 0 || *state > 9))
        std::abort();
    return 0;
}
