#ifndef _WIN32

#include "platform/system_io/termios_serial.hpp"

#include "fd_io.hpp"
#include "platform/operator_thread.hpp"
#include "platform/system_io/com_port_mapping.hpp"
#include "platform/system_io/instrument_claim.hpp"
#include "platform/system_io/open_diagnosis.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::optional<speed_t> speed_of(long baud) {
    switch (baud) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return std::nullopt;
    }
}

std::optional<tcflag_t> size_of(int data_bits) {
    switch (data_bits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    case 8:
        return CS8;
    default:
        return std::nullopt;
    }
}

// Parity numbered as the run-time numbers it: 0 none, 1 odd, 2 even, 3 mark, 4 space.
std::optional<tcflag_t> parity_of(int parity) {
    switch (parity) {
    case 0:
        return tcflag_t{0};
    case 1:
        return tcflag_t{PARENB | PARODD};
    case 2:
        return tcflag_t{PARENB};
    case 3:
        return tcflag_t{PARENB | PARODD | CMSPAR};
    case 4:
        return tcflag_t{PARENB | CMSPAR};
    default:
        return std::nullopt;
    }
}

int status_of(IoStatus status) {
    switch (status) {
    case IoStatus::TimedOut:
        return kRS232Timeout;
    case IoStatus::PeerGone:
        return kRS232PeerGone;
    default:
        return kRS232SystemError;
    }
}

// Whether `fd` is the program's side of a pseudo-terminal (the simulated stage's ports,
// a test's instrument): UNIX98 slaves have majors 136..143, the old BSD ones 3.
bool is_pseudo_terminal(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
#ifdef __linux__
    const unsigned m = major(st.st_rdev);
    return (m >= 136 && m <= 143) || m == 3;
#else
    char name[256] = {};
    return ::ttyname_r(fd, name, sizeof name) == 0 && std::strncmp(name, "/dev/pts/", 9) == 0;
#endif
}

} // namespace

int serial_line_settings(termios& t, long baud, int parity, int data_bits, int stop_bits) {
    const std::optional<speed_t> speed = speed_of(baud);
    if (!speed)
        return kRS232BadBaud;
    const std::optional<tcflag_t> size = size_of(data_bits);
    if (!size)
        return kRS232BadDataBits;
    const std::optional<tcflag_t> parity_flags = parity_of(parity);
    if (!parity_flags)
        return kRS232BadParity;
    if (stop_bits != 1 && stop_bits != 2)
        return kRS232BadStopBits;
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL | *size | *parity_flags;
    if (stop_bits == 2)
        t.c_cflag |= CSTOPB;
    // A read with nothing to give fails with EAGAIN (VMIN 1 on a non-blocking
    // descriptor), so that a read of 0 bytes means the device hung up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, *speed);
    cfsetospeed(&t, *speed);
    return 0;
}

TermiosSerialBackend::TermiosSerialBackend() : lookup_(com_port_device_here) {}

TermiosSerialBackend::TermiosSerialBackend(DeviceLookup lookup) : lookup_(std::move(lookup)) {}

TermiosSerialBackend::~TermiosSerialBackend() {
    close_all();
}

void TermiosSerialBackend::close_all() {
    for (auto& [number, p] : ports_)
        close_port(p);
    ports_.clear();
}

void TermiosSerialBackend::close_port(Port& p) {
    if (p.fd >= 0) {
        ::ioctl(p.fd, TIOCNXCL);
        ::close(p.fd);
    }
    p.fd = -1;
    p.queue.clear();
}

TermiosSerialBackend::Port* TermiosSerialBackend::open_port(int port) {
    const auto it = ports_.find(port);
    return it != ports_.end() && it->second.fd >= 0 ? &it->second : nullptr;
}

int TermiosSerialBackend::open_com_config(int port, const std::string& device_name, long baud,
                                          int parity, int data_bits, int stop_bits,
                                          int /*input_queue*/, int /*output_queue*/) {
    if (port < 1 || port > 255)
        return kRS232InvalidPort;
    termios wanted{};
    if (const int refused = serial_line_settings(wanted, baud, parity, data_bits, stop_bits))
        return refused;
    const std::string device = device_name.empty() ? lookup_(port) : device_name;
    if (device.empty())
        return kRS232InvalidPort;

    if (const auto it = ports_.find(port); it != ports_.end())
        close_port(it->second);

    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        record_serial_failure(port, device, serial_failure_of_errno(error),
                              system_error_text(error));
        // EBUSY: another program opened the device exclusively (TIOCEXCL, below).
        if (error == EBUSY) {
            tell_serial_in_use(port, device);
            return kRS232InUse;
        }
        return kRS232CannotOpen;
    }
    // TIOCEXCL below keeps other users out, but not root: the claim refuses a second
    // program of ours whoever runs it.
    if (!claim_serial_device(fd, port, device)) {
        ::close(fd);
        record_serial_failure(port, device, SerialFailure::Busy, "held by another Trelwick");
        return kRS232InUse;
    }
    // Start from the device's own settings so that flags this program does not know
    // keep the values the driver gave them.
    termios t{};
    bool ok = ::ioctl(fd, TIOCEXCL) == 0 && ::tcgetattr(fd, &t) == 0;
    if (ok) {
        serial_line_settings(t, baud, parity, data_bits, stop_bits);
        ok = ::tcsetattr(fd, TCSANOW, &t) == 0;
    }
    const int error = ok ? 0 : errno;
    // tcsetattr succeeds when any one setting took: read the speed back so a device that
    // refused it is not used at the wrong one. (Framing is not read back: a
    // pseudo-terminal always reports 8 bits without parity, whatever it was given.)
    termios applied{};
    if (ok)
        ok = ::tcgetattr(fd, &applied) == 0 && cfgetospeed(&applied) == cfgetospeed(&wanted);
    if (!ok) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        if (error != 0)
            record_serial_failure(port, device, serial_failure_of_errno(error),
                                  system_error_text(error));
        else
            record_serial_failure(port, device, SerialFailure::SettingsRefused,
                                  std::to_string(baud) + " baud");
        return kRS232CannotOpen;
    }
    instrument_diagnosis_forget(serial_instrument_key(port));
    Port& p = ports_[port];
    p.fd = fd;
    p.queue.clear();
    p.device = device;
    p.pseudo_terminal = is_pseudo_terminal(fd);
    const int bits = 1 + data_bits + (parity != 0 ? 1 : 0) + stop_bits;
    p.seconds_per_byte = static_cast<double>(bits) / static_cast<double>(baud);
    return 0;
}

void TermiosSerialBackend::note_failure(int port, const Port& p, int status) {
    const SerialFailure failure = status == kRS232Timeout    ? SerialFailure::NoAnswer
                                  : status == kRS232PeerGone ? SerialFailure::Gone
                                                             : SerialFailure::Other;
    record_serial_failure(port, p.device, failure);
}

std::string TermiosSerialBackend::describe_port(int port) const {
    return serial_mapping_text(port, lookup_(port));
}

int TermiosSerialBackend::flush_in_q(int port) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    p->queue.clear();
    if (::tcflush(p->fd, TCIFLUSH) != 0)
        return status_of(io_status_of_errno(errno));
    // Bytes still on their way into the line discipline when the flush ran would
    // otherwise turn up as the next reply.
    const IoStatus drained = fd_drain(p->fd);
    return drained == IoStatus::Done ? 0 : status_of(drained);
}

int TermiosSerialBackend::flush_out_q(int port) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    // What was written to a pseudo-terminal has gone out already; a flush would only take
    // back what the far side has not read yet. A far side that has gone is still told.
    if (p->pseudo_terminal) {
        pollfd hung{p->fd, 0, 0};
        if (::poll(&hung, 1, 0) == 1 && (hung.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return kRS232PeerGone;
        return 0;
    }
    return ::tcflush(p->fd, TCOFLUSH) == 0 ? 0 : status_of(io_status_of_errno(errno));
}

int TermiosSerialBackend::drain_out_q(int port) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    // A pseudo-terminal has nothing to drain: what was written is with the far side (which
    // may have read it and gone since; the next read or flush says so).
    if (p->pseudo_terminal)
        return 0;
    // tcdrain has no time limit of its own: wait for the driver's queue to empty against
    // a deadline first, then let tcdrain see the last bytes out of the hardware.
    int queued = 0;
    if (::ioctl(p->fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        const IoClock::time_point deadline = io_deadline(
            kSerialReadTimeoutSeconds + p->seconds_per_byte * static_cast<double>(queued));
        while (queued > 0) {
            const long long left = io_ms_left(deadline, 1000);
            if (left <= 0) {
                note_failure(port, *p, kRS232Timeout);
                return kRS232Timeout;
            }
            const double ms = 1000.0 * p->seconds_per_byte * static_cast<double>(queued);
            ::poll(nullptr, 0, static_cast<int>(std::min<double>(std::max(ms, 1.0), left)));
            if (::ioctl(p->fd, TIOCOUTQ, &queued) != 0)
                break;
        }
    }
    while (::tcdrain(p->fd) != 0) {
        if (errno != EINTR)
            return status_of(io_status_of_errno(errno));
    }
    return 0;
}

int TermiosSerialBackend::com_wrt(int port, const char* buffer, int count) {
    Port* p = open_port(port);
    if (p == nullptr)
        return kRS232PortNotOpen;
    if (count <= 0)
        return 0;
    const double on_the_line = p->seconds_per_byte * static_cast<double>(count);
    const FdWriteResult r =
        fd_write_all(p->fd, buffer, static_cast<std::size_t>(count),
                     io_deadline(kSerialReadTimeoutSeconds + on_the_line), false);
    // Part of a command is no command: anything short of all bytes is a failure.
    if (r.status != IoStatus::Done)
        note_failure(port, *p, status_of(r.status));
    return r.status == IoStatus::Done ? count : status_of(r.status);
}

int TermiosSerialBackend::com_rd_term(int port, char* buffer, int count, int termination_byte) {
    Port* p = open_port(port);
    last_read_error_ = 0;
    if (p == nullptr)
        return last_read_error_ = kRS232PortNotOpen;
    if (count <= 0)
        return 0;
    ReplyEnd end;
    end.byte = termination_byte >= 0 && termination_byte <= 0xFF ? termination_byte : -1;
    const FdReadResult r = fd_read_reply(p->fd, p->queue, static_cast<std::size_t>(count), end,
                                         io_deadline(kSerialReadTimeoutSeconds));
    const std::size_t n = r.bytes.size() - (r.terminated ? 1 : 0);
    std::memcpy(buffer, r.bytes.data(), n);
    if (r.status != IoStatus::Done) {
        last_read_error_ = status_of(r.status);
        // A read the operator's Stop cut short says nothing about the instrument.
        if (!platform_wait_interrupted())
            note_failure(port, *p, last_read_error_);
    }
    if (r.status == IoStatus::Done || n > 0)
        return static_cast<int>(n); // text cut short by a time-out or hang-up is still text
    return status_of(r.status);
}

#endif
