// Kept apart from console.cpp so that the Windows headers meet none of the run-time's
// names.
#include "console_presence.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

bool standard_input_has_operator() {
#ifdef _WIN32
    static const bool present = [] {
        const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
        if (in == nullptr || in == INVALID_HANDLE_VALUE)
            return false;
        DWORD mode = 0;
        if (::GetConsoleMode(in, &mode) != 0) {
            DWORD processes[2] = {};
            return ::GetConsoleProcessList(processes, 2) != 1;
        }
        return ::GetFileType(in) != FILE_TYPE_UNKNOWN;
    }();
    return present;
#else
    return true;
#endif
}
