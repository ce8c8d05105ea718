#include "startup_report.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QWindow>

#ifdef __linux__
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#endif

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Seconds since the process started, from the kernel's record of its start (in clock
// ticks since boot, so to 10 ms); negative when that cannot be read.
double seconds_since_process_start() {
#ifndef __linux__
    return -1.0; // the figures are measured on Linux (scripts/bench-ops.sh)
#else
    std::ifstream in("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold blanks and parentheses: the fields start after the last ')'.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1.0;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    // Fields 3 (state) to 22 (start time): the start time is the 20th after the name.
    for (int i = 0; i < 20 && fields >> field; ++i) {
    }
    unsigned long long ticks = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), ticks);
    const long per_second = sysconf(_SC_CLK_TCK);
    timespec boot{};
    if (ec != std::errc() || per_second <= 0 || clock_gettime(CLOCK_BOOTTIME, &boot) != 0)
        return -1.0;
    const double now = static_cast<double>(boot.tv_sec) + static_cast<double>(boot.tv_nsec) / 1e9;
    return now - static_cast<double>(ticks) / static_cast<double>(per_second);
#endif
}

// CPU seconds the process has used so far, all threads, user and system.
double cpu_seconds() {
#ifndef __linux__
    return -1.0;
#else
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return -1.0;
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
#endif
}

class ExposeWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose) {
            const auto* window = qobject_cast<QWindow*>(watched);
            if (window != nullptr && window->isExposed()) {
                timespec wall{};
                clock_gettime(CLOCK_REALTIME, &wall);
                std::fprintf(stderr,
                             "trelwick: first window shown %.3f s after start (%.3f s of CPU), "
                             "at %lld.%09ld\n",
                             seconds_since_process_start(), cpu_seconds(),
                             static_cast<long long>(wall.tv_sec), wall.tv_nsec);
                QCoreApplication::instance()->removeEventFilter(this);
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void report_startup_when_shown(QCoreApplication& application) {
    const char* wanted = std::getenv("TRELWICK_REPORT_STARTUP");
    if (wanted == nullptr || *wanted == '\0')
        return;
    application.installEventFilter(new ExposeWatch(&application));
}
