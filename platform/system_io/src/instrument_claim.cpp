#include "platform/system_io/instrument_claim.hpp"

#include "environment.hpp"
#include "platform/panels.hpp"
#include "platform/text.hpp"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

constexpr const char* kInUseTitle = "Instrument in use";

std::string lock_folder() {
    if (const auto folder = environment_value("TRELWICK_LOCK_DIR"))
        return *folder;
#ifdef _WIN32
    char temp[MAX_PATH + 1];
    const DWORD length = ::GetTempPathA(sizeof temp, temp);
    if (length > 0 && length < sizeof temp) {
        std::string folder(temp, length);
        while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
            folder.pop_back();
        return folder;
    }
    return ".";
#else
    if (::access("/run/lock", W_OK) == 0)
        return "/run/lock";
    return "/tmp";
#endif
}

void tell_in_use(const std::string& what) {
    const std::string text =
        strfmt("%s is in use by another program. Close that program first: an instrument is "
               "never shared.",
               what.c_str());
    std::fprintf(stderr, "trelwick: %s\n", text.c_str());
    MessagePopup(kInUseTitle, text.c_str());
}

// The lock file of a unit, named for it with every character a file name may not hold
// made '_'.
std::string lock_path(const std::string& unit) {
    std::string file_name = "trelwick-";
    for (const char c : unit)
        file_name.push_back(std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_');
    return lock_folder() + "/" + file_name + ".lock";
}

#ifdef _WIN32

// Opens the lock file denying every other opener: its descriptor, -2 when another program
// has it open, or -1 (errno set) when it cannot be made.
int open_claimed(const std::string& path) {
    int fd = -1;
    const errno_t error = ::_sopen_s(&fd, path.c_str(), _O_RDWR | _O_CREAT | _O_NOINHERIT,
                                     _SH_DENYRW, _S_IREAD | _S_IWRITE);
    if (error == 0)
        return fd;
    // A file another process opened without sharing: the CRT says EACCES, the system a
    // sharing violation.
    if (error == EACCES && ::GetLastError() == ERROR_SHARING_VIOLATION)
        return -2;
    errno = error;
    return -1;
}

#else

// An exclusive claim on `fd` without waiting: 1 claimed, 0 held by another, -1 failed.
int try_claim(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return 1;
    return errno == EWOULDBLOCK ? 0 : -1;
}

// Opens the lock file and claims it: its descriptor, -2 when another program holds it,
// or -1 (errno set) when it cannot be made or claimed.
int open_claimed(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    const int claimed = try_claim(fd);
    if (claimed == 1)
        return fd;
    const int error = errno;
    ::close(fd);
    errno = error;
    return claimed == 0 ? -2 : -1;
}

#endif

} // namespace

#ifndef _WIN32

void tell_serial_in_use(int port, const std::string& device) {
    tell_in_use(strfmt("COM%d (%s)", port, device.c_str()));
}

bool claim_serial_device(int fd, int port, const std::string& device) {
    // A device that cannot be locked at all (no flock support) is used as before.
    if (try_claim(fd) != 0)
        return true;
    tell_serial_in_use(port, device);
    return false;
}

#endif

int claim_gpib_unit(const std::string& unit, std::string* why) {
    const std::string path = lock_path(unit);
    const int fd = open_claimed(path);
    if (fd >= 0)
        return fd;
    if (fd == -2) {
        tell_in_use(unit);
        if (why != nullptr)
            why->clear();
        return -1;
    }
    const int error = errno;
    std::fprintf(stderr, "trelwick: cannot make the lock file %s of %s\n", path.c_str(),
                 unit.c_str());
    if (why != nullptr)
        *why = path + ": " + std::strerror(error);
    return -1;
}

void release_gpib_unit(int claim) {
    if (claim < 0)
        return;
#ifdef _WIN32
    ::_close(claim);
#else
    ::close(claim);
#endif
}
