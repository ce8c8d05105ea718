// The wait profile, the table of the design's waits with their fast rules, and the book.
#include "drivers/wait_profile.hpp"

#include "drivers/delay.hpp"
#include "platform/clock.hpp"
#include "platform/text.hpp"

#include <atomic>
#include <mutex>

namespace {

std::atomic<WaitProfile> g_profile{WaitProfile::designed};

constexpr std::array<WaitRule, kDesignedWaits> kTable{{
    {DesignedWait::controller_settle, "controller settle", "CM6K6", 0.6, FastRule::handshake, 0.0,
     "The controller runs its buffered commands in order and answers a WRITE\"Hn\" only when "
     "it reaches it, so the reply proves every command before it was taken. A query is proved "
     "by its own reply."},
    {DesignedWait::controller_reset, "controller reset", "CM6K6", 5.0, FastRule::kept, 3.0,
     "The controller restarts after !RESET and loses what it hears meanwhile, so no reply can "
     "be asked for. The bench's controller is deaf for 2.5 s; 3.0 s leaves half a second, and "
     "the next command's handshake proves it listens again (a slower one fails that handshake "
     "and is reported)."},
    {DesignedWait::drives_on, "drives on", "CM6K6", 2.0, FastRule::kept, 0.5,
     "A drive takes steps only once its power stage is up; the handshake proves the controller "
     "took the DRIVE, not that the drive is ready. The bench's drives are ready 0.25 s after "
     "they are enabled (the motors' relays settle within that); 0.5 s is twice that."},
    {DesignedWait::drives_off, "drives off", "CM6K6", 1.0, FastRule::handshake, 0.0,
     "The handshake proves the drives were switched off. Nothing after it needs more: the "
     "position query reads the controller's counter, and a second DRIVE000000 finds the "
     "drives already off."},
    {DesignedWait::motion_poll, "motion poll", "CM6K6", 0.1, FastRule::handshake, 0.0,
     "The YES written behind the WAIT is the proof that no axis moves: it is read as soon as "
     "it arrives (each read waits up to its 1 s time-out; a Stop ends it)."},
    {DesignedWait::counter_quiet, "counter quiet, before and after", "EV-16P", 1.0,
     FastRule::handshake, 0.0,
     "Every gauge-counter command is answered: the answer, read as soon as it arrives with "
     "the same time-out, proves the counter took the command and is ready for the next."},
    {DesignedWait::counter_reply, "counter reply", "EV-16P", 0.5, FastRule::handshake, 0.0,
     "The acknowledge or the HOLD state is read as soon as it arrives, with the same time-out."},
    {DesignedWait::pot_settle, "potentiometers settle", "HP34970", 1.0, FastRule::kept, 0.3,
     "The supply relay's contacts bounce and the wipers' filters charge: a reading before then "
     "reads the transient. On the bench the contacts settle in 5 ms and the filters' time "
     "constant is 20 ms; after 0.3 s the wipers are within 0.4 ppm of their value, about the "
     "meter's noise (3 uV of 10 V)."},
    {DesignedWait::bring_up_end, "bring-up end", "program", 2.0, FastRule::dropped, 0.0,
     "Nothing waits on it: the bring-up is over and its status stays on the panel."},
    {DesignedWait::bench_home_pause, "test bench Home pause", "program", 0.5, FastRule::dropped,
     0.0, "The motion wait has already proved that the cam stands still."},
}};

constexpr std::array<double, kDesignedWaits> none_overridden() {
    std::array<double, kDesignedWaits> lengths{};
    for (double& l : lengths)
        l = -1.0;
    return lengths;
}

// Guards the tests' fast lengths and the book.
std::mutex g_book_mutex;
// Tests' fast lengths, negative for the table's.
std::array<double, kDesignedWaits> g_fast_override = none_overridden();
WaitBook g_book;
int g_depth = 0;

const char* rule_text(FastRule rule) {
    switch (rule) {
    case FastRule::handshake:
        return "handshake";
    case FastRule::kept:
        return "kept";
    case FastRule::dropped:
        return "dropped";
    }
    return "";
}

WaitKind kind_of(const WaitRule& rule) {
    return rule.rule == FastRule::kept ? WaitKind::physical : WaitKind::blind;
}

} // namespace

const char* wait_profile_name(WaitProfile profile) {
    return profile == WaitProfile::fast ? "fast" : "designed";
}

std::optional<WaitProfile> parse_wait_profile(std::string_view text) {
    if (text == "designed")
        return WaitProfile::designed;
    if (text == "fast")
        return WaitProfile::fast;
    return std::nullopt;
}

void set_wait_profile(WaitProfile profile) {
    g_profile.store(profile);
}

WaitProfile wait_profile() {
    return g_profile.load();
}

const std::array<WaitRule, kDesignedWaits>& wait_table() {
    return kTable;
}

const WaitRule& wait_rule(DesignedWait wait) {
    return kTable[static_cast<std::size_t>(wait)];
}

namespace {

// `text` in lines of at most `width` characters, each after `indent`.
std::string wrapped(std::string_view text, std::size_t width, const char* indent) {
    std::string out;
    std::string line;
    while (!text.empty()) {
        const std::size_t end = text.find(' ');
        const std::string_view word = text.substr(0, end);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += indent + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + std::string(word);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    if (!line.empty())
        out += indent + line + "\n";
    return out;
}

} // namespace

std::string wait_table_text() {
    std::string text;
    for (const WaitRule& r : kTable) {
        const std::string fast = r.rule == FastRule::kept ? strfmt("kept, %.2f s", r.fast_seconds)
                                                          : std::string(rule_text(r.rule));
        text += strfmt("%s (%s): designed %.1f s; fast: %s\n", r.name, r.instrument,
                       r.designed_seconds, fast.c_str());
        text += wrapped(r.reason, 84, "    ");
    }
    return text;
}

double wait_seconds(DesignedWait wait) {
    const WaitRule& r = wait_rule(wait);
    if (!fast_waits())
        return r.designed_seconds;
    if (r.rule != FastRule::kept)
        return 0.0;
    double o = -1.0;
    {
        const std::lock_guard lock(g_book_mutex);
        o = g_fast_override[static_cast<std::size_t>(wait)];
    }
    return o >= 0.0 ? o : r.fast_seconds;
}

namespace {

// Waits `wait` under the profile with `wait_for`, booked by its rule.
template <typename Wait> void booked_wait(DesignedWait wait, Wait wait_for) {
    const double seconds = wait_seconds(wait);
    if (seconds <= 0.0)
        return;
    const WaitBooking booking(kind_of(wait_rule(wait)));
    wait_for(seconds);
}

} // namespace

void profile_wait(DesignedWait wait) {
    booked_wait(wait, [](double seconds) { Delay(seconds); });
}

void profile_event_wait(DesignedWait wait) {
    booked_wait(wait, [](double seconds) { delay(seconds); });
}

void set_fast_wait_for_tests(DesignedWait wait, double seconds) {
    const std::lock_guard lock(g_book_mutex);
    g_fast_override[static_cast<std::size_t>(wait)] = seconds;
}

WaitBooking::WaitBooking(WaitKind kind) : kind_(kind), start_(platform_now_seconds()) {
    const std::lock_guard lock(g_book_mutex);
    outermost_ = g_depth++ == 0;
}

WaitBooking::~WaitBooking() {
    const double end = platform_now_seconds();
    const std::lock_guard lock(g_book_mutex);
    --g_depth;
    if (!outermost_)
        return;
    const auto k = static_cast<std::size_t>(kind_);
    g_book.seconds[k] += end - start_;
    ++g_book.count[k];
}

WaitBook wait_book() {
    const std::lock_guard lock(g_book_mutex);
    return g_book;
}

void clear_wait_book() {
    const std::lock_guard lock(g_book_mutex);
    g_book = WaitBook{};
}

void wait_profile_reset() {
    set_wait_profile(WaitProfile::designed);
    const std::lock_guard lock(g_book_mutex);
    g_fast_override = none_overridden();
    g_book = WaitBook{};
    g_depth = 0;
}
