#include "environment.hpp"

#include "platform/system_io/system_io.hpp"

#include <cstdlib>
#include <map>
#include <mutex>

namespace {

// Set by a front end that takes the places from elsewhere (the device server's
// properties), read by the operator thread when it opens an instrument: under a lock,
// where setenv() beside a getenv() on another thread would be a data race.
std::mutex g_mutex;
std::map<std::string, std::string> g_overrides;

} // namespace

void platform_system_io_set_variable(const std::string& name, const std::string& value) {
    const std::lock_guard lock(g_mutex);
    if (value.empty())
        g_overrides.erase(name);
    else
        g_overrides[name] = value;
}

std::optional<std::string> environment_value(const std::string& name) {
    {
        const std::lock_guard lock(g_mutex);
        if (const auto found = g_overrides.find(name); found != g_overrides.end())
            return found->second;
    }
    const char* value = std::getenv(name.c_str());
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    return std::string(value);
}

void environment_overrides_reset() {
    const std::lock_guard lock(g_mutex);
    g_overrides.clear();
}
