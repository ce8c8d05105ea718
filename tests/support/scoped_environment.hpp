// Sets (or clears) an environment variable for one test and puts back what was there,
// on every system (setenv, or _putenv_s on Windows).
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets `name` to `value`; an empty value removes the variable.
inline void set_environment(const std::string& name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name.c_str(), value.c_str());
#else
    if (value.empty())
        ::unsetenv(name.c_str());
    else
        ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str()))
            old_ = old;
        set_environment(name_, value);
    }
    ~ScopedEnvironment() { set_environment(name_, old_.value_or("")); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};
