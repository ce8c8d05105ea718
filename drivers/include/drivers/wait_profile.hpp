// The wait profile of a run, the table of every wait the instruments' design prescribes,
// and the book of where an operation's time went.
//
// `designed` (the default) waits exactly as the design prescribes: a fixed settling time
// after every controller command, a second of quiet around each gauge-counter command, two
// seconds after the drives are enabled, and so on. `fast` sends the same commands in the
// same order, with three changes: a blind wait whose end the instrument can prove is
// replaced by that proof (a reply the instrument gives only once it has processed the
// command); a wait that stands for something physical no reply proves is kept, at the
// length in the table; a wait for a state already reached is dropped. The table is the one
// place these rules live; the documents print it (trelwick --wait-table).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

enum class WaitProfile { designed, fast };

// "designed" or "fast".
const char* wait_profile_name(WaitProfile profile);
// The profile a word names (as above, exactly); nullopt for anything else.
std::optional<WaitProfile> parse_wait_profile(std::string_view text);
// Chosen once per run, before the first operation.
void set_wait_profile(WaitProfile profile);
WaitProfile wait_profile();
inline bool fast_waits() {
    return wait_profile() == WaitProfile::fast;
}

// The waits of the design.
enum class DesignedWait {
    controller_settle, // after every controller command
    controller_reset,  // after "!RESET": the controller restarts
    drives_on,         // after a DRIVE that enables a drive, before the GO
    drives_off,        // after "DRIVE000000" in a move
    motion_poll,       // before each read of the motion wait's reply
    counter_quiet,     // before and after each gauge-counter command
    counter_reply,     // before the gauge counter's acknowledge or state is read
    pot_settle,        // after the potentiometers' power comes on, before they are read
    bring_up_end,      // at the end of the bring-up
    bench_home_pause,  // on the test bench, between Pot zero and Home
};
constexpr std::size_t kDesignedWaits = 10;

enum class FastRule {
    handshake, // replaced by a reply that proves the command was processed
    kept,      // physical: kept, at its fast length
    dropped,   // waits for nothing that is not already so
};

struct WaitRule {
    DesignedWait wait;
    const char* name;        // for the tables: "controller settle"
    const char* instrument;  // "CM6K6", "EV-16P", "HP34970", "program"
    double designed_seconds; // each time it is waited
    FastRule rule;
    double fast_seconds; // kept waits only
    const char* reason;  // what the fast rule rests on
};

const std::array<WaitRule, kDesignedWaits>& wait_table();
const WaitRule& wait_rule(DesignedWait wait);
// The table as text, a wait a paragraph (trelwick --wait-table).
std::string wait_table_text();

// How long `wait` lasts under the run's profile: its designed length, or under `fast` its
// kept length (0 for a handshake or a dropped wait).
double wait_seconds(DesignedWait wait);
// Waits it with the blocking Delay, booked as a designed or a physical wait.
void profile_wait(DesignedWait wait);
// The same with the event-processing delay (the test bench, whose panel stays live).
void profile_event_wait(DesignedWait wait);

// Tests: a kept wait's fast length set to `seconds` (the physical-time checks remove one);
// negative puts the table's back.
void set_fast_wait_for_tests(DesignedWait wait, double seconds);

// --- The book ---------------------------------------------------------------------------
// Where an operation's time went, in seconds of the platform clock. A booking that starts
// inside another is part of it and is not booked again.
enum class WaitKind {
    motion,    // the wait for the end of a motion, polls included
    physical,  // waits the fast profile keeps (at their designed length under `designed`)
    blind,     // the other designed waits (none under `fast`)
    handshake, // a handshake query and its reply (`fast` only)
    reply,     // waiting for a reply the design reads anyway (queries, readings, acks)
    line,      // a command's bytes going out on the serial line (9600 baud: 1 ms a byte)
};
constexpr std::size_t kWaitKinds = 6;

struct WaitBook {
    std::array<double, kWaitKinds> seconds{};
    std::array<long long, kWaitKinds> count{};
    double of(WaitKind kind) const { return seconds[static_cast<std::size_t>(kind)]; }
};

// Books the time from construction to destruction under `kind`.
class WaitBooking {
public:
    explicit WaitBooking(WaitKind kind);
    ~WaitBooking();
    WaitBooking(const WaitBooking&) = delete;
    WaitBooking& operator=(const WaitBooking&) = delete;

private:
    WaitKind kind_;
    double start_;
    bool outermost_;
};

WaitBook wait_book();
void clear_wait_book();

// Tests: the designed profile, the table's lengths, an empty book.
void wait_profile_reset();
