// The unit's SCPI command set: what each header does to the settings, the relays and the
// error queue, and what it answers.
#include "platform/text.hpp"
#include "scpi_text.hpp"
#include "sim/hp34970_sim.hpp"

#include <cmath>
#include <optional>

namespace {

constexpr double kCommandSeconds = 0.001;
constexpr double kResetSeconds = 0.2;
constexpr double kRelaySeconds = 0.015;

bool measurement_channel(int c) {
    return c >= 101 && c <= 120;
}
bool actuator_channel(int c) {
    return c >= 201 && c <= 220;
}

std::optional<double> number(std::string_view text) {
    std::size_t used = 0;
    const auto v = parse_double_prefix(text, &used);
    if (!v || used != text.size() || !std::isfinite(*v))
        return std::nullopt;
    return v;
}

} // namespace

double Hp34970Sim::execute(const std::string& command, double time) {
    const ScpiCommand c = scpi_split(command);
    const std::string& h = c.header;
    const auto& p = c.params;
    auto is = [&h](std::string_view pattern) { return scpi_header_matches(h, pattern); };
    auto error = [this](int code, std::string_view text) {
        push_error(code, text);
        return kCommandSeconds;
    };
    // The channel list that ends a setting, all in slot 1.
    auto measure_list = [&]() -> std::optional<std::vector<int>> {
        if (p.empty())
            return std::nullopt;
        auto list = scpi_channel_list(p.back());
        if (!list)
            return std::nullopt;
        for (const int ch : *list)
            if (!measurement_channel(ch))
                return std::nullopt;
        return list;
    };
    // "<setting>, <list>": applies `set` to each channel when the value is understood.
    auto setting = [&](auto set) -> double {
        if (p.size() != 2)
            return error(p.size() < 2 ? -109 : -108,
                         p.size() < 2 ? "Missing parameter" : "Parameter not allowed");
        const auto list = measure_list();
        if (!list)
            return error(-224, "Illegal parameter value");
        for (const int ch : *list)
            if (!set(channels_[ch], p[0]))
                return error(-224, "Illegal parameter value");
        return kCommandSeconds;
    };
    auto any_bool = [](Hp34970Sim::Channel&, const std::string& v) {
        return scpi_boolean(v).has_value();
    };
    auto set_nplc = [](Hp34970Sim::Channel& ch, const std::string& v) {
        const std::string u = scpi_upper(v);
        const auto n = u == "MIN"   ? std::optional<double>(0.02)
                       : u == "MAX" ? std::optional<double>(200.0)
                                    : number(v);
        if (!n || *n < 0.02 || *n > 200.0)
            return false;
        ch.nplc = *n;
        return true;
    };
    // A query of one channel's setting: "<query> <list>" with a single channel.
    auto one_channel = [&]() -> std::optional<int> {
        if (p.size() != 1)
            return std::nullopt;
        const auto list = scpi_channel_list(p[0]);
        if (!list || list->size() != 1 || !measurement_channel(list->front()))
            return std::nullopt;
        return list->front();
    };

    if (is("*IDN?")) {
        reply(time + kCommandSeconds, kHp34970Identity);
        return kCommandSeconds;
    }
    if (is("*RST") || is("SYSTem:PRESet")) {
        reset_settings(time);
        return kResetSeconds;
    }
    if (is("*CLS")) {
        errors_.clear();
        return kCommandSeconds;
    }
    if (is("*OPC?")) {
        reply(time + kCommandSeconds, "1");
        return kCommandSeconds;
    }
    if (is("SYSTem:ERRor[:NEXT]?")) {
        if (errors_.empty()) {
            reply(time + kCommandSeconds, "+0,\"No error\"");
        } else {
            const auto [code, text] = errors_.front();
            errors_.pop_front();
            reply(time + kCommandSeconds, strfmt("%+d,\"%s\"", code, text.c_str()));
        }
        return kCommandSeconds;
    }
    if (is("SYSTem:CPON")) {
        const std::string which = p.size() == 1 ? scpi_upper(p[0]) : "";
        if (which != "ALL" && which != "100" && which != "200" && which != "300")
            return error(-224, "Illegal parameter value");
        if (which == "ALL" || which == "200")
            for (int ch = 201; ch <= 220; ++ch)
                model_.set_relay(ch, false, time);
        if (which == "ALL" || which == "100")
            for (auto& [ch, config] : channels_)
                config = Channel{};
        return kResetSeconds;
    }
    if (is("ROUTe:SCAN")) {
        const auto list = measure_list();
        if (p.size() != 1 || !list)
            return error(-224, "Illegal parameter value");
        scan_ = *list;
        return kCommandSeconds;
    }
    if (is("ROUTe:SCAN?")) {
        std::string text = "(@";
        for (std::size_t i = 0; i < scan_.size(); ++i)
            text += (i ? "," : "") + std::to_string(scan_[i]);
        reply(time + kCommandSeconds, text + ")");
        return kCommandSeconds;
    }
    if (is("[SENSe:]FUNCtion")) {
        return setting([](Channel& ch, const std::string& v) {
            const auto f = scpi_quoted(v);
            if (!f)
                return false;
            if (scpi_header_matches(*f, "VOLTage[:DC]"))
                ch.function = 'v';
            else if (scpi_header_matches(*f, "RESistance"))
                ch.function = 'r';
            else if (scpi_header_matches(*f, "FRESistance"))
                ch.function = '4';
            else if (scpi_header_matches(*f, "TEMPerature"))
                ch.function = 't';
            else
                return false;
            return true;
        });
    }
    if (is("[SENSe:]FUNCtion:TEMPerature")) {
        return setting([](Channel& ch, const std::string& v) {
            ch.function = 't';
            return v.empty();
        });
    }
    if (is("[SENSe:]VOLTage[:DC]:RANGe:AUTO") || is("[SENSe:]RESistance:RANGe:AUTO") ||
        is("[SENSe:]FRESistance:RANGe:AUTO") || is("INPut:IMPedance:AUTO") ||
        is("[SENSe:]RESistance:OCOMpensated") || is("[SENSe:]FRESistance:OCOMpensated") ||
        is("CALCulate:SCALe:STATe") || is("ROUTe:CHANnel:DELay:AUTO") ||
        is("[SENSe:]TEMPerature:TRANsducer:TCouple:CHECk")) {
        return setting(any_bool);
    }
    if (is("[SENSe:]ZERO:AUTO")) {
        return setting([](Channel& ch, const std::string& v) {
            const std::string u = scpi_upper(v);
            const auto b = scpi_boolean(v);
            if (u == "ONCE") {
                ch.autozero = false;
                return true;
            }
            if (!b)
                return false;
            ch.autozero = *b;
            return true;
        });
    }
    if (is("[SENSe:]VOLTage[:DC]:NPLCycles") || is("[SENSe:]RESistance:NPLCycles") ||
        is("[SENSe:]FRESistance:NPLCycles") || is("[SENSe:]TEMPerature:NPLCycles") ||
        is("[SENSe:]TEMPerature:NPLS")) {
        return setting(set_nplc);
    }
    if (is("UNIT:TEMPerature")) {
        return setting([](Channel& ch, const std::string& v) {
            const std::string u = scpi_upper(v);
            if (u.empty())
                return true; // no unit named: the unit stays
            if (u != "C" && u != "F" && u != "K")
                return false;
            ch.temp_unit = u[0];
            return true;
        });
    }
    if (is("[SENSe:]TEMPerature:TRANsducer:TYPE")) {
        return setting([](Channel& ch, const std::string& v) {
            const std::string u = scpi_upper(v);
            if (u != "TC" && u != "RTD" && u != "FRTD" && u != "THER" && u != "DEF")
                return false;
            ch.transducer = u == "DEF" ? "TC" : u;
            return true;
        });
    }
    if (is("[SENSe:]TEMPerature:TRANsducer:TCouple:TYPE")) {
        return setting([](Channel& ch, const std::string& v) {
            const std::string u = scpi_upper(v);
            if (u.size() != 1 || std::string_view("BEJKNRST").find(u[0]) == std::string::npos)
                return false;
            ch.tc_type = u;
            return true;
        });
    }
    if (is("[SENSe:]TEMPerature:TRANsducer:TCouple:RJUNction:TYPE")) {
        return setting([](Channel&, const std::string& v) {
            const std::string u = scpi_upper(v);
            return u == "INT" || u == "EXT" || u == "FIX" || u == "INTERNAL" || u == "EXTERNAL" ||
                   u == "FIXED";
        });
    }
    if (is("[SENSe:]TEMPerature:TRANsducer:RTD:TYPE") ||
        is("[SENSe:]TEMPerature:TRANsducer:FRTD:TYPE")) {
        return setting([](Channel& ch, const std::string& v) {
            const auto n = number(v);
            if (!n || (*n != 85.0 && *n != 91.0))
                return false;
            ch.rtd_type = static_cast<int>(*n);
            return true;
        });
    }
    if (is("[SENSe:]TEMPerature:TRANsducer:RTD:RESistance[:REFerence]") ||
        is("[SENSe:]TEMPerature:TRANsducer:FRTD:RESistance[:REFerence]")) {
        return setting([](Channel& ch, const std::string& v) {
            const auto n = number(v);
            if (!n || *n < 49.0 || *n > 2100.0)
                return false;
            ch.rtd_reference = *n;
            return true;
        });
    }
    if (is("[SENSe:]TEMPerature:TRANsducer:THERmistor:TYPE")) {
        return setting([](Channel& ch, const std::string& v) {
            const auto n = number(v);
            if (!n || (*n != 2252.0 && *n != 5000.0 && *n != 10000.0))
                return false;
            ch.thermistor_type = static_cast<int>(*n);
            return true;
        });
    }
    if (is("[SENSe:]TEMPerature:TRANsducer:TYPE?") ||
        is("[SENSe:]TEMPerature:TRANsducer:TCouple:TYPE?") ||
        is("[SENSe:]TEMPerature:TRANsducer:RTD:TYPE?") ||
        is("[SENSe:]TEMPerature:TRANsducer:FRTD:TYPE?") ||
        is("[SENSe:]TEMPerature:TRANsducer:RTD:RESistance[:REFerence]?") ||
        is("[SENSe:]TEMPerature:TRANsducer:FRTD:RESistance[:REFerence]?") ||
        is("[SENSe:]TEMPerature:TRANsducer:THERmistor:TYPE?") || is("UNIT:TEMPerature?")) {
        const auto ch = one_channel();
        if (!ch)
            return error(-224, "Illegal parameter value");
        const Channel& config = channels_[*ch];
        std::string text;
        if (is("[SENSe:]TEMPerature:TRANsducer:TYPE?"))
            text = config.transducer;
        else if (is("[SENSe:]TEMPerature:TRANsducer:TCouple:TYPE?"))
            text = config.tc_type;
        else if (is("UNIT:TEMPerature?"))
            text = std::string(1, config.temp_unit);
        else if (is("[SENSe:]TEMPerature:TRANsducer:THERmistor:TYPE?"))
            text = strfmt("%+d", config.thermistor_type);
        else if (is("[SENSe:]TEMPerature:TRANsducer:RTD:RESistance[:REFerence]?") ||
                 is("[SENSe:]TEMPerature:TRANsducer:FRTD:RESistance[:REFerence]?"))
            text = strfmt("%+.8E", config.rtd_reference);
        else
            text = strfmt("%+d", config.rtd_type);
        reply(time + kCommandSeconds, text);
        return kCommandSeconds;
    }
    if (is("TRIGger:SOURce")) {
        const std::string u = p.size() == 1 ? scpi_upper(p[0]) : "";
        if (u != "IMM" && u != "IMMEDIATE" && u != "BUS" && u != "EXT" && u != "EXTERNAL" &&
            u != "TIM" && u != "TIMER" && u != "ALAR1" && u != "ALAR2" && u != "ALAR3" &&
            u != "ALAR4")
            return error(-224, "Illegal parameter value");
        return kCommandSeconds;
    }
    if (is("TRIGger:COUNt")) {
        const auto n = p.size() == 1 ? number(p[0]) : std::nullopt;
        if (!n || *n < 1.0 || *n > 50000.0 || *n != std::floor(*n))
            return error(-222, "Data out of range");
        trigger_count_ = static_cast<int>(*n);
        return kCommandSeconds;
    }
    if (is("FORMat:READing:ALARm") || is("FORMat:READing:CHANnel") || is("FORMat:READing:TIME") ||
        is("FORMat:READing:UNIT")) {
        const auto b = p.size() == 1 ? scpi_boolean(p[0]) : std::nullopt;
        if (!b)
            return error(-224, "Illegal parameter value");
        (is("FORMat:READing:ALARm")     ? format_alarm_
         : is("FORMat:READing:CHANnel") ? format_channel_
         : is("FORMat:READing:TIME")    ? format_time_
                                        : format_unit_) = *b;
        return kCommandSeconds;
    }
    if (is("READ?")) {
        if (!p.empty())
            return error(-108, "Parameter not allowed");
        return read_scan(time);
    }
    if (is("ROUTe:OPEN") || is("ROUTe:CLOSe") || is("ROUTe:OPEN?") || is("ROUTe:CLOSe?")) {
        const auto list = p.size() == 1 ? scpi_channel_list(p[0]) : std::nullopt;
        if (!list)
            return error(-224, "Illegal parameter value");
        for (const int ch : *list)
            if (!measurement_channel(ch) && !actuator_channel(ch))
                return error(-224, "Illegal parameter value");
        const bool query = h.back() == '?';
        const bool open = is("ROUTe:OPEN") || is("ROUTe:OPEN?");
        if (query) {
            std::string text;
            for (const int ch : *list) {
                const bool closed = actuator_channel(ch) ? model_.relay_closed(ch) : closed_[ch];
                text += (text.empty() ? "" : ",") + std::string((closed != open) ? "1" : "0");
            }
            reply(time + kCommandSeconds, text);
            return kCommandSeconds;
        }
        for (const int ch : *list) {
            if (actuator_channel(ch))
                model_.set_relay(ch, !open, time);
            else
                closed_[ch] = !open;
        }
        return kRelaySeconds;
    }
    if (is("ROUTe:DONE?")) {
        reply(time + kCommandSeconds, "1");
        return kCommandSeconds;
    }
    return error(-113, "Undefined header");
}
