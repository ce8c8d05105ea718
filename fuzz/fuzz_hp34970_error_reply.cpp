// The data acquisition unit's error-queue reply.
#include "drivers/protocol/hp34970_protocol.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    if (hp34970_is_no_error(reply) && reply.size() != 13)
        std::abort();
    (void)hp34970_parse_int(reply);
    return 0;
}
