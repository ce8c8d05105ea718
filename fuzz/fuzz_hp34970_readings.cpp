// The data acquisition unit's scan reply: the first byte picks the number of readings
// asked for (0..60), the rest is the reply, closed as the driver closes it.
#include "drivers/protocol/hp34970_protocol.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const int count = data[0] % (kHp34970MaxScanChannels + 1);
    const std::string text =
        std::string(reinterpret_cast<const char*>(data + 1), size - 1) + ",end";
    const Hp34970ReadingList list = hp34970_parse_readings(text, count);
    if (list.readings.size() != static_cast<std::size_t>(count))
        std::abort();
    for (const Hp34970Reading& r : list.readings)
        if (r.parsed && (!std::isfinite(r.value) || r.unit.empty()))
            std::abort();
    return 0;
}
