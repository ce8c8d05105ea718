// The controller's command set: each command's fields, its effect on the axes and the
// model, and its reply.
#include "platform/text.hpp"
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

bool is_one_of(std::string_view word, std::initializer_list<std::string_view> list) {
    for (const auto w : list)
        if (word == w)
            return true;
    return false;
}

} // namespace

std::string Cm6k6Sim::position_text(int axis, double time, bool encoder) const {
    const AxisSettings& s = axes_[axis - 1];
    const double revs = model_.motor_revs(axis, time) + s.offset;
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
        const AxisSettings& s = axes_[axis - 1];
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

bool Cm6k6Sim::execute(std::string_view command, double time) {
    std::size_t i = 0;
    int axis = 0;
    bool all = false;
    if (command.size() > 1 && std::isdigit(static_cast<unsigned char>(command[0])) &&
        std::isalpha(static_cast<unsigned char>(command[1]))) {
        axis = command[0] - '0';
        if (axis < 1 || axis > kSimAxes)
            return false;
        i = 1;
    } else if (!command.empty() && command[0] == '@') {
        all = true;
        i = 1;
    }
    std::string word;
    while (i < command.size() && std::isalpha(static_cast<unsigned char>(command[i])))
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(command[i++])));
    const std::string_view args = command.substr(i);
    const bool per_axis = axis != 0 || all;

    if (word == "RESET" && args.empty() && !per_axis) {
        reset(time);
        return true;
    }
    if (word == "K" || word == "S") {
        const auto b = bits(args, axis, all);
        if (!b)
            return false;
        kill(selected(*b, args.empty() && !per_axis), time);
        return true;
    }
    if (word == "GO") {
        const auto b = bits(args, axis, all);
        if (!b)
            return false;
        return go(selected(*b, args.empty() && !per_axis), time);
    }
    if (word == "DRIVE") {
        const auto b = bits(args, axis, all);
        if (!b)
            return false;
        for (int a = 0; a < kSimAxes; ++a)
            if ((*b)[a])
                model_.set_drive(a + 1, (*b)[a] == '1', time);
        return true;
    }
    if (is_one_of(word, {"MA", "MC", "FOLEN", "AXSDEF", "DRFEN", "ENCCNT", "LIMLVL", "HOMEDG",
                         "HOMDF", "HOMBAC", "HOMEBAC"})) {
        if ((word == "HOMEBAC" || word == "HOMBAC") && args.empty())
            return true; // back-up to home enabled
        const auto b = bits(args, axis, all);
        if (!b)
            return false;
        for (int a = 0; a < kSimAxes; ++a) {
            if (!(*b)[a])
                continue;
            const bool on = (*b)[a] == '1';
            if (word == "MA")
                axes_[a].absolute = on;
            else if (word == "MC")
                axes_[a].continuous = on;
            else if (word == "FOLEN")
                axes_[a].following = on;
        }
        return true;
    }
    if (word == "TPC" || word == "TPE") {
        if (!args.empty() || all)
            return false;
        const bool encoder = word == "TPE";
        if (axis != 0) {
            reply(time, strfmt("*%d%s%s", axis, word.c_str(),
                               position_text(axis, time, encoder).c_str()));
        } else {
            std::string text = "*" + word;
            for (int a = 1; a <= kSimAxes; ++a)
                text += (a > 1 ? "," : "") + position_text(a, time, encoder);
            reply(time, text);
        }
        return true;
    }
    if (word == "TCMDER" && args.empty() && !per_axis) {
        if (faults_.error_status)
            reply(time, "*" + faults_.error_text);
        else if (!error_.empty())
            reply(time, "*" + error_);
        else
            reply(time, "*NO ERRORS");
        error_.clear();
        return true;
    }
    if (word == "WRITE" && !per_axis) {
        if (args.size() < 2 || args.front() != '"' || args.back() != '"')
            return false;
        reply(time, std::string(args.substr(1, args.size() - 2)));
        return true;
    }
    if (word == "WAIT" && !per_axis) {
        // WAIT(MOV=b......): hold the buffer until the axes marked 0 have stopped.
        constexpr std::string_view head = "(MOV=B";
        if (args.size() != head.size() + kSimAxes + 1 || args.back() != ')')
            return false;
        for (std::size_t k = 0; k < head.size(); ++k)
            if (std::toupper(static_cast<unsigned char>(args[k])) != head[k])
                return false;
        std::array<char, kSimAxes> pattern{};
        for (int a = 0; a < kSimAxes; ++a) {
            const char c =
                static_cast<char>(std::toupper(static_cast<unsigned char>(args[head.size() + a])));
            if (c != '0' && c != '1' && c != 'X')
                return false;
            pattern[a] = c == '1' ? 'X' : c; // waiting for a start is not simulated
        }
        hold_ = pattern;
        return true;
    }
    if (word == "FOLMAS") {
        // <axis>FOLMAS[+|-]<master><source>, e.g. 2FOLMAS+11; FOLMAS0 for none.
        if (axis == 0)
            return false;
        std::string_view rest = args;
        int sign = 1;
        if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
            sign = rest[0] == '-' ? -1 : 1;
            rest.remove_prefix(1);
        }
        if (rest == "0") {
            axes_[axis - 1].master = 0;
            return true;
        }
        if (rest.size() != 2 || rest[0] < '1' || rest[0] > '0' + kSimAxes || rest[1] < '1' ||
            rest[1] > '9')
            return false;
        axes_[axis - 1].master = rest[0] - '0';
        axes_[axis - 1].master_sign = sign;
        return true;
    }
    if (word == "ECHO" || word == "SCALE" || word == "COMEXC" || word == "PORT" || word == "E") {
        if (per_axis || args.size() != 1 || args[0] < '0' || args[0] > '3')
            return false;
        const bool on = args[0] != '0';
        if (word == "ECHO")
            echo_ = on;
        else if (word == "SCALE")
            scaling_ = on;
        else if (word == "COMEXC")
            continue_while_moving_ = on;
        return true;
    }
    if (word == "STARTP")
        return !per_axis && !args.empty();
    if (is_one_of(word, {"D",    "A",    "AA",    "AD",   "ADA",    "V",     "PSET",  "DRES",
                         "ERES", "SCLD", "SCLV",  "SCLA", "SCLMAS", "FOLRN", "FOLRD", "LS",
                         "LH",   "LHAD", "LHADA", "HOMA", "HOMAD",  "HOMV",  "HOMVF"})) {
        const auto n = numbers(args, axis, all);
        if (!n)
            return false;
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
                               word == "LHAD" || word == "LHADA" || word == "HOMA" ||
                               word == "HOMAD";
            if (std::fabs(v) > (speed ? 1e4 : accel ? 1e6 : 1e9))
                return false;
            if (word == "D") {
                s.distance = v;
            } else if (word == "A" || word == "AD" || word == "AA" || word == "ADA" ||
                       word == "V") {
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
                s.offset = v * revs_per_unit(a + 1) - model_.motor_revs(a + 1, time);
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
    return false;
}
