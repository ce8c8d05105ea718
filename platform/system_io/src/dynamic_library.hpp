// A shared library opened at run time (dlopen, or LoadLibrary on Windows), closed again
// when the object goes.
#pragma once

#include <string>

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Opens the library `name` (searched the system's usual way when it has no
    // directory); false with error() set when it can't.
    bool open(const std::string& name);
    void close();
    bool is_open() const { return handle_ != nullptr; }
    // The address of `symbol`, or nullptr.
    void* symbol(const char* symbol) const;
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};
