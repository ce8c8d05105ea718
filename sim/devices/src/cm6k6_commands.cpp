// The controller's command set as a table: each word with the handler that reads its
// fields, acts on the axes and the model, and replies. Adding a command is one entry.
#include "platform/text.hpp"
#include "serial_line.hpp"
#include "sim/cm6k6_sim.hpp"

#include <cctype>
#include <cmath>
#include <optional>

namespace {

using Numbers = std::array<std::optional<double>, kSimAxes>;
using Bits = std::array<std::optional<char>, kSimAxes>;

std::optional<double> whole_number(std::string_view text) {
    std::size_t used = 0;
    const auto value = parse_double_prefix(text, &used);
    if (!value || used != text.size() || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

// Per-axis numbers: "1D2.5" (axis given), "@D2.5" (every axis) or "D1,,2.5" (by field,
// an empty field leaves its axis alone).
std::optional<Numbers> numbers(std::string_view args, int axis, bool all) {
    Numbers out{};
    if (axis != 0 || all) {
        const auto v = whole_number(args);
        if (!v)
            return std::nullopt;
        for (int a = 0; a < kSimAxes; ++a)
            if (all || a == axis - 1)
                out[a] = v;
        return out;
    }
    int field = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = args.find(',', start);
        const std::string_view part = args.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (field >= kSimAxes)
            return std::nullopt;
        if (!part.empty()) {
            const auto v = whole_number(part);
            if (!v)
                return std::nullopt;
            out[field] = v;
        }
        ++field;
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return out;
}

// Per-axis bits '0', '1' or 'X' (leave alone): "DRIVE110000", "K0,1,0,0,0,0", "1MA0".
std::optional<Bits> bits(std::string_view args, int axis, bool all) {
    Bits out{};
    std::string flat;
    for (const char c : args)
        if (c != ',')
            flat += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char c : flat)
        if (c != '0' && c != '1' && c != 'X')
            return std::nullopt;
    if (axis != 0 || all) {
        if (flat.size() != 1)
            return std::nullopt;
        for (int a = 0; a < kSimAxes; ++a)
            if (all || a == axis - 1)
                out[a] = flat[0];
        return out;
    }
    if (flat.size() > kSimAxes)
        return std::nullopt;
    for (std::size_t a = 0; a < flat.size(); ++a)
        if (flat[a] != 'X')
            out[a] = flat[a];
    return out;
}

// Which axes a GO or kill names: all of them when it names none.
std::array<bool, kSimAxes> selected(const Bits& b, bool empty) {
    std::array<bool, kSimAxes> axes{};
    for (int a = 0; a < kSimAxes; ++a)
        axes[a] = empty || b[a] == '1';
    return axes;
}

} // namespace

std::string Cm6k6Sim::position_text(int axis, double time, bool encoder) const {
    const AxisSettings& s = axes_[axis - 1];
    const double revs = encoder ? model_.motor_revs(axis, time) + s.encoder_offset
                                : model_.commanded_revs(axis, time) + s.offset;
    if (encoder)
        return strfmt("%+lld", std::llround(revs * static_cast<double>(s.encoder_res)));
    const long long steps = std::llround(revs * static_cast<double>(s.drive_res));
    if (!scaling_)
        return strfmt("%+lld", steps);
    return strfmt("%+.5f", static_cast<double>(steps) / s.scale_distance);
}

bool Cm6k6Sim::go(const std::array<bool, kSimAxes>& axes, double time) {
    bool ok = true;
    std::array<std::optional<MotionProfile>, kSimAxes> started{};
    for (int axis = 1; axis <= kSimAxes; ++axis) {
        AxisSettings& s = axes_[axis - 1];
        if (!axes[axis - 1])
            continue;
        if (s.following && s.master >= 1 && s.master <= kSimAxes && s.master != axis &&
            axes[s.master - 1])
            continue; // moves with its master, below
        if (model_.moving(axis, time)) {
            ok = false; // already moving
            continue;
        }
        const double per_step = 1.0 / static_cast<double>(s.drive_res);
        const double velocity = s.velocity * (scaling_ ? s.scale_velocity * per_step : 1.0);
        const double accel = s.acceleration * (scaling_ ? s.scale_accel * per_step : 1.0);
        const double decel = (s.deceleration > 0.0 ? s.deceleration : s.acceleration) *
                             (scaling_ ? s.scale_accel * per_step : 1.0);
        if (!(velocity > 0.0 && accel > 0.0 && decel > 0.0)) {
            ok = false;
            continue;
        }
        MotionProfile p;
        p.start_time = time;
        p.start_position = model_.commanded_revs(axis, time);
        p.velocity = velocity;
        p.acceleration = accel;
        p.deceleration = decel;
        if (s.continuous) {
            p.continuous = s.distance < 0.0 ? -1 : 1;
        } else {
            const double units =
                s.absolute ? s.distance - (p.start_position + s.offset) / revs_per_unit(axis)
                           : s.distance;
            p.distance = units * revs_per_unit(axis);
            // A limit switch met on the way: the controller stops the axis there.
            double& limit = faults_.limit_revs[axis - 1];
            if (limit > 0.0) {
                if (std::fabs(p.distance) > limit)
                    p.distance = std::copysign(limit, p.distance);
                limit = 0.0;
            }
        }
        model_.start_motion(axis, p, time);
        started[axis - 1] = p;
    }
    for (int axis = 1; axis <= kSimAxes; ++axis) {
        const AxisSettings& s = axes_[axis - 1];
        if (!axes[axis - 1] || !s.following || s.master < 1 || s.master > kSimAxes ||
            s.master == axis || !started[s.master - 1])
            continue;
        const double ratio = s.master_sign * s.follow_num / s.follow_den;
        if (ratio == 0.0)
            continue;
        MotionProfile p = *started[s.master - 1];
        p.start_position = model_.commanded_revs(axis, time);
        p.distance *= ratio;
        p.velocity *= std::fabs(ratio);
        p.acceleration *= std::fabs(ratio);
        p.deceleration *= std::fabs(ratio);
        p.continuous *= ratio < 0.0 ? -1 : 1;
        model_.start_motion(axis, p, time);
        started[axis - 1] = p;
    }
    if (!continue_while_moving_) {
        std::array<char, kSimAxes> pattern{};
        for (int a = 0; a < kSimAxes; ++a)
            pattern[a] = started[a] ? '0' : 'X';
        hold_ = pattern;
    }
    if (faults_.dies_after_go >= 0.0 && std::isfinite(faults_.dies_after_go)) {
        dies_at_ = time + faults_.dies_after_go;
        faults_.dies_after_go = -1.0;
    }
    return ok;
}

void Cm6k6Sim::kill(const std::array<bool, kSimAxes>& axes, double time) {
    for (int axis = 1; axis <= kSimAxes; ++axis)
        if (axes[axis - 1])
            model_.stop_motion(axis, time);
    // A kill also ends the commands waiting in the buffer.
    queue_.clear();
    hold_.reset();
}

namespace {

// Words that take per-axis bits and only store them (or nothing).
constexpr std::string_view kBitWords[] = {"MA",     "MC",     "FOLEN", "AXSDEF", "DRFEN",  "ENCCNT",
                                          "LIMLVL", "HOMEDG", "HOMDF", "HOMBAC", "HOMEBAC"};
// Words that take per-axis numbers.
constexpr std::string_view kNumberWords[] = {"D",      "A",     "AA",    "AD",   "ADA",  "V",
                                             "PSET",   "DRES",  "ERES",  "SCLD", "SCLV", "SCLA",
                                             "SCLMAS", "FOLRN", "FOLRD", "LS",   "LH",   "LHAD",
                                             "LHADA",  "HOMA",  "HOMAD", "HOMV", "HOMVF"};
// Words that take one switch digit and no axis.
constexpr std::string_view kSwitchWords[] = {"ECHO", "SCALE", "COMEXC", "PORT", "E"};

} // namespace

const std::vector<Cm6k6Sim::Command>& Cm6k6Sim::commands() {
    static const std::vector<Command> table = [] {
        std::vector<Command> t = {
            {"RESET",
             [](Cm6k6Sim& sim, const Call& c, double time) {
                 if (!c.args.empty() || c.per_axis())
                     return false;
                 sim.reset(time);
                 return true;
             }},
            {"K",
             [](Cm6k6Sim& sim, const Call& c, double time) {
                 const auto b = bits(c.args, c.axis, c.all);
                 if (!b)
                     return false;
                 sim.kill(selected(*b, c.args.empty() && !c.per_axis()), time);
                 return true;
             }},
            {"GO",
             [](Cm6k6Sim& sim, const Call& c, double time) {
                 const auto b = bits(c.args, c.axis, c.all);
                 if (!b)
                     return false;
                 return sim.go(selected(*b, c.args.empty() && !c.per_axis()), time);
             }},
            {"DRIVE",
             [](Cm6k6Sim& sim, const Call& c, double time) {
                 const auto b = bits(c.args, c.axis, c.all);
                 if (!b)
                     return false;
                 for (int a = 0; a < kSimAxes; ++a)
                     if ((*b)[a])
                         sim.model_.set_drive(a + 1, (*b)[a] == '1', time);
                 return true;
             }},
            {"TPC",
             [](Cm6k6Sim& sim, const Call& c, double time) {
                 if (!c.args.empty() || c.all)
                     return false;
                 const bool encoder = c.word == "TPE";
                 if (c.axis != 0) {
                     sim.reply(time, strfmt("*%d%s%s", c.axis, c.word.c_str(),
                                            sim.position_text(c.axis, time, encoder).c_str()));
                     return true;
                 }
                 std::string text = "*" + c.word;
                 for (int a = 1; a <= kSimAxes; ++a)
                     text += (a > 1 ? "," : "") + sim.position_text(a, time, encoder);
                 sim.reply(time, text);
                 return true;
             }},
            {"TCMDER",
             [](Cm6k6Sim& sim, const Call& c, double time) {
                 if (!c.args.empty() || c.per_axis())
                     return false;
                 if (sim.faults_.error_status)
                     sim.reply(time, "*" + sim.faults_.error_text);
                 else if (!sim.error_.empty())
                     sim.reply(time, "*" + sim.error_);
                 else
                     sim.reply(time, "*NO ERRORS");
                 sim.error_.clear();
                 return true;
             }},
            {"WRITE",
             [](Cm6k6Sim& sim, const Call& c, double time) {
                 if (c.per_axis() || c.args.size() < 2 || c.args.front() != '"' ||
                     c.args.back() != '"')
                     return false;
                 sim.reply(time, std::string(c.args.substr(1, c.args.size() - 2)));
                 return true;
             }},
            {"WAIT",
             [](Cm6k6Sim& sim, const Call& c, double) {
                 // WAIT(MOV=b......): hold the buffer until the axes marked 0 have stopped.
                 constexpr std::string_view head = "(MOV=B";
                 const std::string_view args = c.args;
                 if (c.per_axis() || args.size() != head.size() + kSimAxes + 1 ||
                     args.back() != ')')
                     return false;
                 for (std::size_t k = 0; k < head.size(); ++k)
                     if (std::toupper(static_cast<unsigned char>(args[k])) != head[k])
                         return false;
                 std::array<char, kSimAxes> pattern{};
                 for (int a = 0; a < kSimAxes; ++a) {
                     const char ch = static_cast<char>(
                         std::toupper(static_cast<unsigned char>(args[head.size() + a])));
                     if (ch != '0' && ch != '1' && ch != 'X')
                         return false;
                     pattern[a] = ch == '1' ? 'X' : ch; // waiting for a start is not simulated
                 }
                 sim.hold_ = pattern;
                 return true;
             }},
            {"FOLMAS",
             [](Cm6k6Sim& sim, const Call& c, double) {
                 // <axis>FOLMAS[+|-]<master><source>, e.g. 2FOLMAS+11; FOLMAS0 for none.
                 if (c.axis == 0)
                     return false;
                 std::string_view rest = c.args;
                 int sign = 1;
                 if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
                     sign = rest[0] == '-' ? -1 : 1;
                     rest.remove_prefix(1);
                 }
                 AxisSettings& s = sim.axes_[c.axis - 1];
                 if (rest == "0") {
                     s.master = 0;
                     return true;
                 }
                 if (rest.size() != 2 || rest[0] < '1' || rest[0] > '0' + kSimAxes ||
                     rest[1] < '1' || rest[1] > '9')
                     return false;
                 s.master = rest[0] - '0';
                 s.master_sign = sign;
                 return true;
             }},
            {"STARTP",
             [](Cm6k6Sim&, const Call& c, double) { return !c.per_axis() && !c.args.empty(); }},
        };
        t.push_back({"S", t[1].handler});   // stop: as a kill, here
        t.push_back({"TPE", t[4].handler}); // the encoder: the same reply, its own counter
        for (const auto word : kBitWords)
            t.push_back({word, [](Cm6k6Sim& sim, const Call& c, double) {
                             if ((c.word == "HOMEBAC" || c.word == "HOMBAC") && c.args.empty())
                                 return true; // back-up to home enabled
                             const auto b = bits(c.args, c.axis, c.all);
                             if (!b)
                                 return false;
                             for (int a = 0; a < kSimAxes; ++a) {
                                 if (!(*b)[a])
                                     continue;
                                 const bool on = (*b)[a] == '1';
                                 if (c.word == "MA")
                                     sim.axes_[a].absolute = on;
                                 else if (c.word == "MC")
                                     sim.axes_[a].continuous = on;
                                 else if (c.word == "FOLEN")
                                     sim.axes_[a].following = on;
                             }
                             return true;
                         }});
        for (const auto word : kSwitchWords)
            t.push_back({word, [](Cm6k6Sim& sim, const Call& c, double) {
                             if (c.per_axis() || c.args.size() != 1 || c.args[0] < '0' ||
                                 c.args[0] > '3')
                                 return false;
                             const bool on = c.args[0] != '0';
                             if (c.word == "ECHO")
                                 sim.line_->set_echo(on);
                             else if (c.word == "SCALE")
                                 sim.scaling_ = on;
                             else if (c.word == "COMEXC")
                                 sim.continue_while_moving_ = on;
                             return true;
                         }});
        for (const auto word : kNumberWords)
            t.push_back({word, [](Cm6k6Sim& sim, const Call& c, double time) {
                             return sim.set_numbers(c, time);
                         }});
        return t;
    }();
    return table;
}

bool Cm6k6Sim::set_numbers(const Call& c, double time) {
    const auto n = numbers(c.args, c.axis, c.all);
    if (!n)
        return false;
    const std::string& word = c.word;
    for (int a = 0; a < kSimAxes; ++a) {
        if (!(*n)[a])
            continue;
        const double v = *(*n)[a];
        AxisSettings& s = axes_[a];
        const bool positive = v > 0.0;
        // The controller's own limits: distances and positions within +/-1e9 units,
        // speeds to 1e4 and accelerations to 1e6 units per second (squared).
        const bool speed = word == "V" || word == "HOMV" || word == "HOMVF";
        const bool accel = word == "A" || word == "AD" || word == "AA" || word == "ADA" ||
                           word == "LHAD" || word == "LHADA" || word == "HOMA" || word == "HOMAD";
        if (std::fabs(v) > (speed ? 1e4 : accel ? 1e6 : 1e9))
            return false;
        if (word == "D") {
            s.distance = v;
        } else if (word == "A" || word == "AD" || word == "AA" || word == "ADA" || word == "V") {
            if (v < 0.0)
                return false;
            if (word == "A")
                s.acceleration = v;
            else if (word == "AD")
                s.deceleration = v;
            else if (word == "AA")
                s.s_accel = v;
            else if (word == "ADA")
                s.s_decel = v;
            else
                s.velocity = v;
        } else if (word == "PSET") {
            if (model_.moving(a + 1, time))
                return false;
            s.offset = v * revs_per_unit(a + 1) - model_.commanded_revs(a + 1, time);
            s.encoder_offset = v * revs_per_unit(a + 1) - model_.motor_revs(a + 1, time);
        } else if (word == "DRES" || word == "ERES") {
            if (!positive || v != std::floor(v) || v > 1e7)
                return false;
            (word == "DRES" ? s.drive_res : s.encoder_res) = static_cast<long>(v);
        } else if (word == "SCLD" || word == "SCLV" || word == "SCLA" || word == "SCLMAS") {
            if (!positive)
                return false;
            (word == "SCLD"   ? s.scale_distance
             : word == "SCLV" ? s.scale_velocity
             : word == "SCLA" ? s.scale_accel
                              : s.scale_master) = v;
        } else if (word == "FOLRN") {
            s.follow_num = v;
        } else if (word == "FOLRD") {
            if (!positive)
                return false;
            s.follow_den = v;
        } else if (word == "LS" || word == "LH") {
            if (v < 0.0 || v > 3.0)
                return false;
        } else if (!positive) {
            return false; // decelerations, homing speeds
        }
    }
    return true;
}

bool Cm6k6Sim::execute(std::string_view command, double time) {
    Call c;
    std::size_t i = 0;
    if (command.size() > 1 && std::isdigit(static_cast<unsigned char>(command[0])) &&
        std::isalpha(static_cast<unsigned char>(command[1]))) {
        c.axis = command[0] - '0';
        if (c.axis < 1 || c.axis > kSimAxes)
            return false;
        i = 1;
    } else if (!command.empty() && command[0] == '@') {
        c.all = true;
        i = 1;
    }
    while (i < command.size() && std::isalpha(static_cast<unsigned char>(command[i])))
        c.word += static_cast<char>(std::toupper(static_cast<unsigned char>(command[i++])));
    c.args = command.substr(i);
    for (const Command& entry : commands())
        if (entry.word == c.word)
            return entry.handler(*this, c, time);
    return false;
}
