#include "process_usage.hpp"

#include <sys/resource.h>

#include <charconv>
#include <fstream>
#include <string>

namespace {

long status_field_kib(const std::string& name) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + ":", 0) != 0)
            continue;
        const std::size_t digits = line.find_first_of("0123456789");
        if (digits == std::string::npos)
            return -1;
        long value = -1;
        const auto [end, ec] =
            std::from_chars(line.data() + digits, line.data() + line.size(), value);
        return ec == std::errc() ? value : -1;
    }
    return -1;
}

double seconds_of(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

} // namespace

double process_cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
}

long resident_kib() {
    return status_field_kib("VmRSS");
}

long peak_resident_kib() {
    return status_field_kib("VmHWM");
}
