#include "sim/sim_control.hpp"

#include "platform/text.hpp"

#include <cmath>
#include <optional>
#include <sstream>

namespace {

constexpr double kLateSeconds = 2.0; // past the serial read's time-out

std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::istringstream in{std::string(line)};
    std::string w;
    while (in >> w && out.size() < 16)
        out.push_back(w);
    return out;
}

std::optional<double> number(const std::string& text) {
    std::size_t used = 0;
    const auto v = parse_double_prefix(text, &used);
    if (!v || used != text.size() || !std::isfinite(*v))
        return std::nullopt;
    return v;
}

std::optional<int> whole(const std::string& text, int low, int high) {
    const auto v = number(text);
    if (!v || *v != std::floor(*v) || *v < low || *v > high)
        return std::nullopt;
    return static_cast<int>(*v);
}

std::optional<ReplyFault> reply_fault(const std::string& text) {
    if (text == "silent")
        return ReplyFault::silent;
    if (text == "garbled")
        return ReplyFault::garbled;
    if (text == "truncated")
        return ReplyFault::truncated;
    return std::nullopt;
}

const char* fault_name(ReplyFault f) {
    switch (f) {
    case ReplyFault::silent:
        return "silent";
    case ReplyFault::garbled:
        return "garbled";
    case ReplyFault::truncated:
        return "truncated";
    case ReplyFault::none:
        break;
    }
    return "none";
}

// A switch fault by name: on or off on the stage. False when the name is unknown.
bool switch_fault(SimStage& stage, const std::string& name, bool on, double now) {
    Cm6k6Faults& cm = stage.cm6k6().faults();
    Ev16pFaults& ev = stage.ev16p().faults();
    Hp34970Faults& hp = stage.hp34970().faults();
    StageModelFaults& model = stage.model().faults();
    const auto spoil = [on](ReplyFault& where, ReplyFault fault) {
        if (on)
            where = fault;
        else if (where == fault)
            where = ReplyFault::none;
    };
    const auto dash = name.find('-');
    const std::string device = dash == std::string::npos ? "" : name.substr(0, dash);
    const std::string what = dash == std::string::npos ? "" : name.substr(dash + 1);
    const auto kind = reply_fault(what);
    if (kind && device == "controller")
        spoil(cm.reply, *kind);
    else if (kind && device == "counter")
        spoil(ev.reply, *kind);
    else if (kind && device == "daq")
        spoil(hp.reply, *kind);
    else if (name == "controller-late")
        cm.late_seconds = on ? kLateSeconds : 0.0;
    else if (name == "counter-late")
        ev.late_seconds = on ? kLateSeconds : 0.0;
    else if (name == "controller-error")
        cm.error_status = on;
    else if (name == "controller-dies")
        cm.dies_after_go = on ? 1.0 : -1.0;
    else if (name == "counter-out-of-hold")
        ev.out_of_hold = on;
    else if (name == "switch-not-done")
        hp.switch_not_done = on;
    else if (name == "reference-lost")
        model.reference_lost = on;
    else if (name == "thermocouple-open")
        model.thermocouple_open = on;
    else
        return false;
    (void)now;
    return true;
}

std::string state_json(SimStage& stage, double now) {
    StageModel& m = stage.model();
    const StageModelFaults& f = m.faults();
    const Cm6k6Faults& cm = stage.cm6k6().faults();
    const Ev16pFaults& ev = stage.ev16p().faults();
    const Hp34970Faults& hp = stage.hp34970().faults();
    std::string j = strfmt("{\"time\":%.6f,\"axes\":[", now);
    for (int a = 1; a <= kSimAxes; ++a) {
        const double end = m.motion_end_time(a);
        j += strfmt(
            "%s{\"axis\":%d,\"commanded\":%.6f,\"motor\":%.6f,\"moving\":%s,"
            "\"end\":%.6f,\"drive\":%s,\"powered\":%s,\"stall\":%g,\"overshoot\":%g,\"limit\":%g,"
            "\"endless\":%s}",
            a > 1 ? "," : "", a, m.commanded_revs(a, now), m.motor_revs(a, now),
            m.moving(a, now) ? "true" : "false", end < kSimNever ? end : -1.0,
            m.drive_enabled(a) ? "true" : "false", m.powered(a) ? "true" : "false",
            f.shortfall_revs[a - 1], f.overshoot_revs[a - 1], cm.limit_revs[a - 1],
            f.motion_never_ends[a - 1] ? "true" : "false");
    }
    j += "],\"cams\":[";
    for (int k = 1; k <= kSimCams; ++k)
        j += strfmt("%s%.7f", k > 1 ? "," : "", m.cam_angle(k, now));
    j += "],\"gauges\":[";
    for (int c = 1; c <= kSimGauges; ++c) {
        std::string cams;
        for (int k = 1; k <= kSimCams; ++k)
            if (m.config().gauge_of_cam[k - 1] == c)
                cams += strfmt("%s%d", cams.empty() ? "" : ",", k);
        j += strfmt("%s{\"channel\":%d,\"cams\":[%s],\"noise_um\":%g}", c > 1 ? "," : "", c,
                    cams.c_str(), m.config().gauge_noise[c - 1] * 1000.0);
    }
    j += "],\"relays_closed\":[";
    bool first = true;
    for (int ch = 201; ch <= 220; ++ch)
        if (m.relay_closed(ch)) {
            j += strfmt("%s%d", first ? "" : ",", ch);
            first = false;
        }
    j += "],\"stuck_relays\":{";
    first = true;
    for (const auto& [ch, closed] : f.stuck_relays) {
        j += strfmt("%s\"%d\":\"%s\"", first ? "" : ",", ch, closed ? "closed" : "open");
        first = false;
    }
    j += strfmt("},\"faults\":{\"controller\":\"%s\",\"controller_late\":%g,"
                "\"controller_error\":%s,\"controller_dies\":%s,\"controller_dead\":%s,"
                "\"counter\":\"%s\",\"counter_late\":%g,\"counter_out_of_hold\":%s,"
                "\"counter_hold_state\":%d,\"daq\":\"%s\",\"switch_not_done\":%s,"
                "\"daq_errors\":%zu,\"reference_lost\":%s,\"thermocouple_open\":%s}}",
                fault_name(cm.reply), cm.late_seconds, cm.error_status ? "true" : "false",
                cm.dies_after_go >= 0.0 ? "true" : "false", stage.cm6k6().dead() ? "true" : "false",
                fault_name(ev.reply), ev.late_seconds, ev.out_of_hold ? "true" : "false",
                ev.hold_state, fault_name(hp.reply), hp.switch_not_done ? "true" : "false",
                stage.hp34970().errors_queued(), f.reference_lost ? "true" : "false",
                f.thermocouple_open ? "true" : "false");
    return j;
}

// The commands an instrument has run, oldest first, with the stage time each ran (a '!'
// command runs as it arrives; a buffered one when the buffer reaches it), and the stage time
// now: what a check of the wire compares with the moments it acted at.
std::string history_json(const std::deque<CommandHistory::Entry>& history, double now) {
    std::string j = strfmt("{\"time\":%.6f,\"commands\":[", now);
    bool first = true;
    for (const auto& [time, command] : history) {
        std::string text;
        for (const char c : command) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\')
                text += strfmt("\\%c", c);
            else if (u < 0x20 || u > 0x7e)
                text += strfmt("\\u%04x", u);
            else
                text += c;
        }
        j += strfmt("%s[%.6f,\"%s\"]", first ? "" : ",", time, text.c_str());
        first = false;
    }
    return j + "]}";
}

constexpr const char* kHelp =
    "commands: fault NAME on|off; spoil controller|counter|daq [garbled|truncated|silent]; "
    "late controller|counter SECONDS; hold DIGIT|off; stall AXIS REVS; limit AXIS REVS; "
    "overshoot AXIS REVS; endless AXIS on|off; relay CH stuck-open|stuck-closed|free; "
    "errors N; gauge N noise UM; wire CAM CHANNEL; cams A1 A2 A3 A4 A5; scenario NAME; "
    "clear; state; history controller|counter|daq; help";

std::string run_words(SimStage& stage, const std::vector<std::string>& w, double now, int depth);

std::string run_line(SimStage& stage, std::string_view line, double now, int depth) {
    const std::vector<std::string> w = words(line);
    if (w.empty() || w[0][0] == '#')
        return "ok";
    return run_words(stage, w, now, depth);
}

std::string run_words(SimStage& stage, const std::vector<std::string>& w, double now, int depth) {
    const std::string& verb = w[0];
    const std::size_t n = w.size();
    const std::string usage = "error: usage: ";
    StageModel& model = stage.model();
    StageModelFaults& f = model.faults();
    if (verb == "help")
        return kHelp;
    if (verb == "state" && n == 1)
        return state_json(stage, now);
    if (verb == "history") {
        if (n == 2 && w[1] == "controller")
            return history_json(stage.cm6k6().history(), now);
        if (n == 2 && w[1] == "counter")
            return history_json(stage.ev16p().history(), now);
        if (n == 2 && w[1] == "daq")
            return history_json(stage.hp34970().history(), now);
        return usage + "history controller|counter|daq";
    }
    if (verb == "clear" && n == 1) {
        f = StageModelFaults{};
        stage.cm6k6().faults() = Cm6k6Faults{};
        stage.ev16p().faults() = Ev16pFaults{};
        stage.hp34970().faults() = Hp34970Faults{};
        return "ok";
    }
    if (verb == "fault") {
        if (n != 3 || (w[2] != "on" && w[2] != "off"))
            return usage + "fault NAME on|off";
        return switch_fault(stage, w[1], w[2] == "on", now) ? "ok"
                                                            : "error: no fault named " + w[1];
    }
    if (verb == "spoil") {
        const auto kind = n == 3 ? reply_fault(w[2]) : std::optional(ReplyFault::garbled);
        if ((n != 2 && n != 3) || !kind)
            return usage + "spoil controller|counter|daq [garbled|truncated|silent]";
        if (w[1] == "controller")
            stage.cm6k6().faults().once = *kind;
        else if (w[1] == "counter")
            stage.ev16p().faults().once = *kind;
        else if (w[1] == "daq")
            stage.hp34970().faults().once = *kind;
        else
            return usage + "spoil controller|counter|daq [garbled|truncated|silent]";
        return "ok";
    }
    if (verb == "late") {
        const auto s = n == 3 ? number(w[2]) : std::nullopt;
        if (!s || *s < 0.0 || *s > 3600.0 || (w[1] != "controller" && w[1] != "counter"))
            return usage + "late controller|counter SECONDS (0 to 3600)";
        (w[1] == "controller" ? stage.cm6k6().faults().late_seconds
                              : stage.ev16p().faults().late_seconds) = *s;
        return "ok";
    }
    if (verb == "hold") {
        const auto digit = n == 2 ? whole(w[1], 0, 9) : std::nullopt;
        if (n != 2 || (!digit && w[1] != "off"))
            return usage + "hold DIGIT|off";
        stage.ev16p().faults().hold_state = digit ? *digit : -1;
        return "ok";
    }
    if (verb == "stall" || verb == "limit" || verb == "overshoot") {
        const auto axis = n == 3 ? whole(w[1], 1, kSimAxes) : std::nullopt;
        const auto revs = n == 3 ? number(w[2]) : std::nullopt;
        if (!axis || !revs || *revs < 0.0 || *revs > 1e6)
            return usage + verb + " AXIS REVS (axis 1..6, revolutions 0 or more)";
        const int i = *axis - 1;
        if (verb == "stall") {
            f.shortfall_revs[i] = *revs;
            f.shortfall_once[i] = true;
        } else if (verb == "overshoot") {
            f.overshoot_revs[i] = *revs;
            f.overshoot_once[i] = true;
        } else {
            stage.cm6k6().faults().limit_revs[i] = *revs;
        }
        return "ok";
    }
    if (verb == "endless") {
        const auto axis = n == 3 ? whole(w[1], 1, kSimAxes) : std::nullopt;
        if (!axis || (w[2] != "on" && w[2] != "off"))
            return usage + "endless AXIS on|off";
        f.motion_never_ends[*axis - 1] = w[2] == "on";
        return "ok";
    }
    if (verb == "relay") {
        const auto ch = n == 3 ? whole(w[1], 201, 220) : std::nullopt;
        if (!ch || (w[2] != "stuck-open" && w[2] != "stuck-closed" && w[2] != "free"))
            return usage + "relay CH stuck-open|stuck-closed|free (CH 201..220)";
        if (w[2] == "free")
            f.stuck_relays.erase(*ch);
        else
            f.stuck_relays[*ch] = w[2] == "stuck-closed";
        model.apply_faults(now);
        return "ok";
    }
    if (verb == "errors") {
        const auto count = n == 2 ? whole(w[1], 0, 20) : std::nullopt;
        if (!count)
            return usage + "errors N (0..20)";
        for (int i = 0; i < *count; ++i)
            stage.hp34970().push_error(-310, "System error");
        return "ok";
    }
    if (verb == "gauge") {
        const auto ch = n == 4 ? whole(w[1], 1, kSimGauges) : std::nullopt;
        const auto um = n == 4 ? number(w[3]) : std::nullopt;
        if (!ch || w[2] != "noise" || !um || *um < 0.0 || *um > 1e6)
            return usage + "gauge N noise UM (N 1..6, micrometres 0 or more)";
        model.set_gauge_noise(*ch, *um / 1000.0);
        return "ok";
    }
    if (verb == "wire") {
        const auto cam = n == 3 ? whole(w[1], 1, kSimCams) : std::nullopt;
        const auto ch = n == 3 ? whole(w[2], 0, kSimGauges) : std::nullopt;
        if (!cam || !ch)
            return usage + "wire CAM CHANNEL (cam 1..5, channel 0..6, 0 for none)";
        auto wiring = model.config().gauge_of_cam;
        wiring[*cam - 1] = *ch;
        model.set_gauge_wiring(wiring);
        return "ok";
    }
    if (verb == "cams") {
        std::array<double, kSimCams> angles{};
        bool ok = n == kSimCams + 1;
        for (int k = 0; ok && k < kSimCams; ++k) {
            const auto a = number(w[k + 1]);
            ok = a && std::fabs(*a) <= 100.0;
            if (ok)
                angles[k] = *a;
        }
        if (!ok)
            return usage + "cams A1 A2 A3 A4 A5 (radians)";
        model.place_cams(angles, now);
        return "ok";
    }
    if (verb == "scenario") {
        const SimScenario* s = n == 2 ? find_sim_scenario(w[1]) : nullptr;
        if (s == nullptr)
            return "error: no scenario named " + (n == 2 ? w[1] : std::string());
        if (depth > 0)
            return "error: a scenario cannot run another";
        std::string_view rest = s->commands;
        while (!rest.empty()) {
            const auto end = rest.find('\n');
            const std::string reply = run_line(stage, rest.substr(0, end), now, depth + 1);
            if (reply != "ok")
                return reply;
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        }
        return "ok";
    }
    return "error: unknown command \"" + verb + "\" (help lists them)";
}

} // namespace

std::string sim_control(SimStage& stage, std::string_view line, double now) {
    if (line.size() > 1024)
        return "error: line too long";
    return run_line(stage, line, now, 0);
}

const std::vector<SimScenario>& sim_scenarios() {
    static const std::vector<SimScenario> list = {
        {"cams-off-home", "the cams stand away from their potentiometer zero (Home has work)",
         "cams 0.2 -0.15 0.35 -0.3 0.1"},
        {"reference-lost", "the potentiometer reference is lost: it reads microvolts",
         "fault reference-lost on"},
        {"power-relay-stuck-open", "relay 209 stuck open: the wipers read 0 V, the reference lives",
         "relay 209 stuck-open"},
        {"motor-relay-stuck-open", "relay 203 stuck open: motor 3 stands while its command runs",
         "relay 203 stuck-open"},
        {"controller-silent", "the motion controller answers nothing",
         "fault controller-silent on"},
        {"controller-garbled", "every controller reply is garbled", "fault controller-garbled on"},
        {"controller-late", "every controller reply comes after the read's time-out",
         "fault controller-late on"},
        {"controller-error", "the controller reports a drive fault to TCMDER",
         "fault controller-error on"},
        {"controller-dies-mid-move", "the controller dies a second into the next move",
         "fault controller-dies on"},
        {"spoiled-reply", "the controller's next reply only is garbled", "spoil controller"},
        {"motor-stalls", "motor 3 stops 2.5 revolutions short of its next move", "stall 3 2.5"},
        {"limit-switch", "the controller stops axis 3 after 2.5 revolutions of its next move",
         "limit 3 2.5"},
        {"motor-overshoots", "motor 2 runs 1.5 revolutions past the end of its next move",
         "overshoot 2 1.5"},
        {"motion-never-ends", "axis 1's moves never report their end", "endless 1 on"},
        {"counter-silent", "the gauge counter answers nothing", "fault counter-silent on"},
        {"counter-out-of-hold", "the gauge counter is not in HOLD state",
         "fault counter-out-of-hold on"},
        {"counter-hold-unknown", "the counter reports HOLD state 2", "hold 2"},
        {"noisy-gauges", "5 micrometres of noise on gauge channels 1 and 2",
         "gauge 1 noise 5\ngauge 2 noise 5"},
        {"daq-silent", "the data acquisition unit answers nothing", "fault daq-silent on"},
        {"daq-errors", "two entries wait in the unit's error queue", "errors 2"},
        {"switch-not-done", "the unit's ROUT:DONE? answers 0", "fault switch-not-done on"},
        {"thermocouple-open", "the thermocouple is open: the unit reads +9.9E+37",
         "fault thermocouple-open on"},
    };
    return list;
}

const SimScenario* find_sim_scenario(std::string_view name) {
    for (const SimScenario& s : sim_scenarios())
        if (s.name == name)
            return &s;
    return nullptr;
}
