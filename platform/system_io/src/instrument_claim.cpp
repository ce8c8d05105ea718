#ifndef _WIN32

#include "platform/system_io/instrument_claim.hpp"

#include "environment.hpp"
#include "platform/panels.hpp"
#include "platform/text.hpp"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr const char* kInUseTitle = "Instrument in use";

std::string lock_folder() {
    if (const auto folder = environment_value("TRELWICK_LOCK_DIR"))
        return *folder;
    if (::access("/run/lock", W_OK) == 0)
        return "/run/lock";
    return "/tmp";
}

void tell_in_use(const std::string& what) {
    const std::string text =
        strfmt("%s is in use by another program. Close that program first: an instrument is "
               "never shared.",
               what.c_str());
    std::fprintf(stderr, "trelwick: %s\n", text.c_str());
    MessagePopup(kInUseTitle, text.c_str());
}

// An exclusive claim on `fd` without waiting: 1 claimed, 0 held by another, -1 failed.
int try_claim(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return 1;
    return errno == EWOULDBLOCK ? 0 : -1;
}

} // namespace

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

int claim_gpib_unit(const std::string& unit, std::string* why) {
    std::string file_name = "trelwick-";
    for (const char c : unit)
        file_name.push_back(std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_');
    const std::string path = lock_folder() + "/" + file_name + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        std::fprintf(stderr, "trelwick: cannot make the lock file %s of %s\n", path.c_str(),
                     unit.c_str());
        if (why != nullptr)
            *why = path + ": " + std::strerror(error);
        return -1;
    }
    const int claimed = try_claim(fd);
    if (claimed == 1)
        return fd;
    const int error = errno;
    ::close(fd);
    if (claimed == 0)
        tell_in_use(unit);
    if (why != nullptr)
        *why = claimed == 0 ? std::string() : path + ": " + std::strerror(error);
    return -1;
}

#endif
