#include "dynamic_library.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

DynamicLibrary::~DynamicLibrary() {
    close();
}

bool DynamicLibrary::open(const std::string& name) {
    close();
#ifdef _WIN32
    handle_ = reinterpret_cast<void*>(::LoadLibraryA(name.c_str()));
    if (handle_ == nullptr)
        error_ = name + ": cannot be loaded (error " + std::to_string(::GetLastError()) + ")";
#else
    handle_ = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = ::dlerror();
        error_ = why != nullptr ? why : name + ": cannot be loaded";
    }
#endif
    if (handle_ != nullptr)
        error_.clear();
    return handle_ != nullptr;
}

void DynamicLibrary::close() {
    if (handle_ == nullptr)
        return;
#ifdef _WIN32
    ::FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    ::dlclose(handle_);
#endif
    handle_ = nullptr;
}

void* DynamicLibrary::symbol(const char* symbol) const {
    if (handle_ == nullptr)
        return nullptr;
#ifdef _WIN32
    return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(handle_), symbol));
#else
    return ::dlsym(handle_, symbol);
#endif
}
