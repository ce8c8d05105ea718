// The CM6K6 device table, its send and receive over the serial link, and its reports.
#include "cm6k6_state.hpp"
#include "console_stop.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/protocol/bounded_number.hpp"
#include "drivers/protocol/cm6k6_protocol.hpp"
#include "drivers/wait_profile.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "platform/instrument_diagnosis.hpp"
#include "platform/operator_thread.hpp"
#include "platform/panels.hpp"
#include "platform/serial.hpp"
#include "platform/text.hpp"
#include "serial_link.hpp"

#include <cmath>
#include <cstdarg>

namespace {

Cm6k6State g_state;

constexpr std::size_t kReplyBytes = 120;
// Lines a handshake reads past before its own reply: the echo of the commands while the
// echo is still on after a reset, a motion wait's last YES.
constexpr int kHandshakeLines = 16;

} // namespace

Cm6k6State& cm6k6_state() {
    return g_state;
}

void cm6k6_forget_motion() {
    for (int axis = 1; axis <= kCm6k6Axes; ++axis) {
        g_state.velocity[static_cast<unsigned>(axis)] = kCm6k6DefaultVelocity;
        g_state.acceleration[static_cast<unsigned>(axis)] = kCm6k6DefaultAcceleration;
        g_state.commanded[static_cast<unsigned>(axis)] = 0.0;
        g_state.travel[static_cast<unsigned>(axis)] = 0.0;
    }
    g_state.started_axes = 0;
}

void cm6k6_reset() {
    g_state = Cm6k6State{};
    cm6k6_forget_motion();
}

int cm6k6_open_dev(int address) {
    DeviceTable& t = g_state.table;
    if (const int slot = t.slot_with_address(address); slot != 0)
        return slot;
    const int slot = t.free_slot();
    if (slot == 0) {
        cm6k6_error("The device could not be opened");
        return -1;
    }
    return t.store(slot, address, 1);
}

int cm6k6_close_dev(int dev_ID) {
    return g_state.table.close(dev_ID);
}

int cm6k6_check_dev_open(int dev_ID) {
    return g_state.table.is_open(dev_ID);
}

namespace {

// What proves, under the fast profile, that the controller has processed a command.
enum class Proof {
    handshake, // a numbered WRITE sent behind it, whose reply comes only once it ran
    own_reply, // a query: the caller reads its reply
    none,      // the motion wait's own commands, and the reset (the controller is deaf)
};

Proof proof_of(std::string_view command) {
    if (command == "!RESET" || command.rfind("WAIT(", 0) == 0 || command.rfind("WRITE\"", 0) == 0)
        return Proof::none;
    return Proof::handshake;
}

// The reply of a WRITE, with the echo's line feed (while the echo is on) taken off.
std::string_view reply_line(std::string_view text) {
    while (!text.empty() && (text.front() == '\n' || text.front() == ' '))
        text.remove_prefix(1);
    return text;
}

// Sends WRITE"H<n>" and reads until its reply "H<n>" comes: the controller has then
// taken every command before it. A handshake that is not answered is reported as a failed
// read (once for one silence: later ones fail quietly until the controller answers again).
int handshake() {
    Cm6k6State& s = cm6k6_state();
    const WaitBooking booking(WaitKind::handshake);
    s.handshake = s.handshake % 999 + 1;
    const std::string token = strfmt("H%d", s.handshake);
    const int port = s.com_port;
    int n = serial_link_write(port, strfmt("WRITE\"%s\"", token.c_str()));
    if (const int r = n > 0 ? serial_link_drain(port) : n; r != 0) {
        cm6k6_error(strfmt("err = %i, problem sending RS232 command", r).c_str(),
                    cm6k6_port_details());
        return -1;
    }
    std::string line;
    for (int lines = 0; n > 0 && lines < kHandshakeLines; ++lines) {
        n = serial_link_read(port, kReplyBytes, &line);
        if (n > 0 && reply_line(line) == token) {
            s.silent = false;
            return 0;
        }
    }
    // A Stop ends the read early: that says nothing about the controller.
    if (platform_stop_requested())
        return -1;
    if (!s.silent) {
        s.silent = true;
        cm6k6_error(strfmt("# bytes in = %i, problem receiving RS232 input", n > 0 ? 0 : n).c_str(),
                    cm6k6_port_details());
    }
    return -1;
}

int send(const char* text, Proof proof) {
    const int port = g_state.com_port;
    if (const int r = FlushInQ(port); r != 0)
        ConsolePrintf("FlushInQ err = %i\n", r);
    if (const int r = FlushOutQ(port); r != 0)
        ConsolePrintf("FlushOutQ err = %i\n", r);
    g_state.cmd = text != nullptr ? text : "";
    const int n = serial_link_write(port, g_state.cmd);
    if (n <= 0) {
        cm6k6_error(strfmt("err = %i, problem sending RS232 command", n).c_str(),
                    cm6k6_port_details());
        return -1;
    }
    // Whether a drive is left enabled: DRIVE takes one digit per axis.
    if (g_state.cmd.rfind("DRIVE", 0) == 0)
        g_state.drives_on = g_state.cmd.find('1', 5) != std::string::npos;
    profile_wait(DesignedWait::controller_settle);
    // The settle leaves the command ample time to go out, but a Stop cuts it short and
    // the halt skips it: the command must be on the line before the next send's FlushOutQ
    // (or the motion poll's) could discard it. After a whole settle this costs nothing.
    if (const int r = serial_link_drain(port); r != 0) {
        cm6k6_error(strfmt("err = %i, problem sending RS232 command", r).c_str(),
                    cm6k6_port_details());
        return -1;
    }
    // Under a Stop the halt needs its commands on the line, not proved: the designed
    // settle is cut short there too.
    if (fast_waits() && proof == Proof::handshake && !platform_stop_requested())
        return handshake();
    return 0;
}

int send(const char* text) {
    return send(text, proof_of(text != nullptr ? text : ""));
}

} // namespace

int cm6k6_out(int dev_ID, const char* text) {
    if (platform_stop_requested()) {
        cm6k6_halt(dev_ID);
        return -1;
    }
    return send(text);
}

int cm6k6_ask(int dev_ID, const char* query) {
    if (platform_stop_requested()) {
        cm6k6_halt(dev_ID);
        return -1;
    }
    return send(query, Proof::own_reply);
}

void cm6k6_halt(int /*dev_ID*/) {
    const unsigned axes = g_state.started_axes;
    if (axes == 0 && !g_state.drives_on)
        return;
    if (axes != 0)
        send(strfmt("!K%s", cm6k6_comma_pattern_of(axes).c_str()).c_str());
    send("DRIVE000000");
    g_state.started_axes = 0;
    g_state.drives_on = false;
}

int cm6k6_outf(int dev_ID, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = vstrfmt(format, args);
    va_end(args);
    return cm6k6_out(dev_ID, text.c_str());
}

int cm6k6_in(int dev_ID, std::string* reply) {
    if (platform_stop_requested()) {
        cm6k6_halt(dev_ID);
        return -1;
    }
    int n = 0;
    {
        const WaitBooking booking(WaitKind::reply);
        n = serial_link_read(g_state.com_port, kReplyBytes, reply);
    }
    if (n > 0)
        g_state.silent = false;
    if (n <= 0) {
        cm6k6_error(strfmt("# bytes in = %i, problem receiving RS232 input", n).c_str(),
                    cm6k6_port_details());
        return -1;
    }
    return 0;
}

double cm6k6_query_position(int dev_ID, int axis, const char* query) {
    cm6k6_ask(dev_ID, strfmt("%d%s", axis, query).c_str());
    if (cm6k6_in(dev_ID, &g_state.cmd) != 0)
        return NAN;
    const auto p = cm6k6_parse_position(g_state.cmd);
    return p ? *p : NAN;
}

void cm6k6_note_move(int axis, double travel) {
    if (axis >= 1 && axis <= kCm6k6Axes) {
        g_state.travel[static_cast<unsigned>(axis)] = std::fabs(travel);
        g_state.commanded[static_cast<unsigned>(axis)] += travel;
    }
}

void cm6k6_note_started(unsigned axes) {
    g_state.started_axes |= axes;
}

std::string cm6k6_not_finite_text(const char* name, double value) {
    return strfmt("%s = %f, not a finite number", name, value);
}

void cm6k6_error(const char* text, std::string_view details) {
    const char* t = text != nullptr ? text : "";
    console_stop(strfmt("\nCM6K6 ERROR: %s\n", t), "CM6K6 ERROR", t, 80, StopWait::Blocking,
                 details);
}

std::string cm6k6_port_details() {
    return instrument_diagnosis_details(serial_instrument_key(g_state.com_port));
}

void cm6k6_message(const char* text) {
    ConsolePrintf("%s\n", text != nullptr ? text : "");
}

int cm6k6_error_handling(int code, const char* what, std::string_view details) {
    // The operator has already said to stop: no question, the answer is No.
    if (platform_stop_requested())
        return 1;
    const std::string text =
        strfmt("Error in %s. Check error code # %i. Continue?", what != nullptr ? what : "", code);
    return ConfirmPopup("ERROR", text.c_str(), details) == 0 ? 1 : 0;
}

void cm6k6_axis(int axis, std::string* destination) {
    if (const auto pattern = cm6k6_comma_pattern(axis))
        *destination = *pattern;
}

void cm6k6_get_num_mot_steps_per_rev(int axis, int* steps) {
    if (axis < 1 || axis > kCm6k6Axes) {
        cm6k6_error("Unknown axis number");
        return;
    }
    *steps = kCm6k6StepsPerRev;
}

void cm6k6_get_num_enc_cts_per_rev(int axis, int* counts) {
    if (axis < 1 || axis > kCm6k6Axes) {
        cm6k6_error("Unknown axis number");
        return;
    }
    *counts = kCm6k6EncoderCountsPerRev;
}
