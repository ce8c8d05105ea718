// The unit's SCPI command set as a table: each header pattern (long and short forms, in
// the manual's notation) with the handler that acts on the settings, the relays and the
// error queue and answers. Adding a command is one entry; a header no entry names is
// "Undefined header".
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

bool any_bool(Hp34970Sim::Channel&, const std::string& v) {
    return scpi_boolean(v).has_value();
}

bool set_nplc(Hp34970Sim::Channel& ch, const std::string& v) {
    const std::string u = scpi_upper(v);
    const auto n = u == "MIN"   ? std::optional<double>(0.02)
                   : u == "MAX" ? std::optional<double>(200.0)
                                : number(v);
    if (!n || *n < 0.02 || *n > 200.0)
        return false;
    ch.nplc = *n;
    return true;
}

} // namespace

double Hp34970Sim::error(int code, std::string_view text) {
    push_error(code, text);
    return kCommandSeconds;
}

std::optional<std::vector<int>> Hp34970Sim::measure_list(std::string_view text) {
    auto list = scpi_channel_list(text);
    if (!list || list->empty())
        return std::nullopt;
    for (const int ch : *list)
        if (!measurement_channel(ch))
            return std::nullopt;
    return list;
}

template <typename Set> double Hp34970Sim::setting(const ScpiCommand& c, Set set) {
    const auto& p = c.params;
    if (p.size() < 2 || p[0].empty() || p[1].empty())
        return error(-109, "Missing parameter");
    if (p.size() > 2)
        return error(-108, "Parameter not allowed");
    const auto list = measure_list(p[1]);
    if (!list)
        return error(-221, "Settings conflict");
    for (const int ch : *list)
        if (!set(channels_[ch], p[0]))
            return error(-224, "Illegal parameter value");
    return kCommandSeconds;
}

double Hp34970Sim::relays(const ScpiCommand& c, bool open, bool query, double time) {
    if (c.params.empty() || c.params[0].empty())
        return error(-109, "Missing parameter");
    const auto list = c.params.size() == 1 ? scpi_channel_list(c.params[0]) : std::nullopt;
    if (!list || list->empty())
        return error(-221, "Settings conflict");
    for (const int ch : *list)
        if (!measurement_channel(ch) && !actuator_channel(ch))
            return error(-221, "Settings conflict");
    if (query) {
        std::string text;
        for (const int ch : *list) {
            const bool closed = actuator_channel(ch) ? model_.relay_closed(ch) : closed_[ch];
            text += (text.empty() ? "" : ",") + std::string((closed != open) ? "1" : "0");
        }
        reply(time + kCommandSeconds, text);
        return kCommandSeconds;
    }
    // An actuator relay's contacts move when its operation ends; its bounce (the stage's
    // relay settling) follows, so ROUT:DONE? does not prove a contact has settled.
    for (const int ch : *list) {
        if (actuator_channel(ch))
            model_.set_relay(ch, !open, time + kRelaySeconds);
        else
            closed_[ch] = !open;
    }
    return kRelaySeconds;
}

// A query of one channel's temperature setting: "<query> <list>" with a single channel.
double Hp34970Sim::temperature_query(const ScpiCommand& c, double time) {
    if (c.params.size() != 1 || c.params[0].empty())
        return error(-109, "Missing parameter");
    const auto list = measure_list(c.params[0]);
    if (!list || list->size() != 1)
        return error(-221, "Settings conflict");
    const Channel& config = channels_[list->front()];
    const auto is = [&c](std::string_view pattern) {
        return scpi_header_matches(c.header, pattern);
    };
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

const std::vector<Hp34970Sim::Command>& Hp34970Sim::commands() {
    using C = const ScpiCommand&;
    using H = Hp34970Sim;
    static const std::vector<Command> table = [] {
        const Handler boolean_setting = [](H& u, C c, double) { return u.setting(c, any_bool); };
        const Handler nplc_setting = [](H& u, C c, double) { return u.setting(c, set_nplc); };
        const Handler temp_query = [](H& u, C c, double t) { return u.temperature_query(c, t); };
        std::vector<Command> t = {
            {"*IDN?",
             [](H& u, C, double time) {
                 u.reply(time + kCommandSeconds, kHp34970Identity);
                 return kCommandSeconds;
             }},
            {"*RST",
             [](H& u, C, double time) {
                 u.reset_settings(time);
                 return kResetSeconds;
             }},
            {"SYSTem:PRESet",
             [](H& u, C, double time) {
                 u.reset_settings(time);
                 return kResetSeconds;
             }},
            {"*CLS",
             [](H& u, C, double) {
                 u.errors_.clear();
                 return kCommandSeconds;
             }},
            {"*OPC?",
             [](H& u, C, double time) {
                 u.reply(time + kCommandSeconds, "1");
                 return kCommandSeconds;
             }},
            {"SYSTem:ERRor[:NEXT]?",
             [](H& u, C, double time) {
                 if (u.errors_.empty()) {
                     u.reply(time + kCommandSeconds, "+0,\"No error\"");
                 } else {
                     const auto [code, text] = u.errors_.front();
                     u.errors_.pop_front();
                     u.reply(time + kCommandSeconds, strfmt("%+d,\"%s\"", code, text.c_str()));
                 }
                 return kCommandSeconds;
             }},
            {"SYSTem:CPON",
             [](H& u, C c, double time) {
                 if (c.params.empty())
                     return u.error(-109, "Missing parameter");
                 const std::string which = c.params.size() == 1 ? scpi_upper(c.params[0]) : "";
                 if (which != "ALL" && which != "100" && which != "200" && which != "300")
                     return u.error(-224, "Illegal parameter value");
                 if (which == "ALL" || which == "200")
                     for (int ch = 201; ch <= 220; ++ch)
                         u.model_.set_relay(ch, false, time);
                 if (which == "ALL" || which == "100")
                     for (auto& [ch, config] : u.channels_)
                         config = Channel{};
                 return kResetSeconds;
             }},
            {"ROUTe:SCAN",
             [](H& u, C c, double) {
                 if (c.params.empty() || c.params[0].empty())
                     return u.error(-109, "Missing parameter");
                 const auto list = c.params.size() == 1 ? measure_list(c.params[0]) : std::nullopt;
                 if (!list)
                     return u.error(-221, "Settings conflict");
                 u.scan_ = *list;
                 return kCommandSeconds;
             }},
            {"ROUTe:SCAN?",
             [](H& u, C, double time) {
                 std::string text = "(@";
                 for (std::size_t i = 0; i < u.scan_.size(); ++i)
                     text += (i ? "," : "") + std::to_string(u.scan_[i]);
                 u.reply(time + kCommandSeconds, text + ")");
                 return kCommandSeconds;
             }},
            {"[SENSe:]FUNCtion",
             [](H& u, C c, double) {
                 return u.setting(c, [](Channel& ch, const std::string& v) {
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
             }},
            {"[SENSe:]ZERO:AUTO",
             [](H& u, C c, double) {
                 return u.setting(c, [](Channel& ch, const std::string& v) {
                     const auto b = scpi_boolean(v);
                     if (scpi_upper(v) == "ONCE") {
                         ch.autozero = false;
                         return true;
                     }
                     if (!b)
                         return false;
                     ch.autozero = *b;
                     return true;
                 });
             }},
            {"UNIT:TEMPerature",
             [](H& u, C c, double) {
                 return u.setting(c, [](Channel& ch, const std::string& v) {
                     const std::string unit = scpi_upper(v);
                     if (unit != "C" && unit != "F" && unit != "K")
                         return false;
                     ch.temp_unit = unit[0];
                     return true;
                 });
             }},
            {"[SENSe:]TEMPerature:TRANsducer:TYPE",
             [](H& u, C c, double) {
                 return u.setting(c, [](Channel& ch, const std::string& v) {
                     const std::string type = scpi_upper(v);
                     if (type != "TC" && type != "RTD" && type != "FRTD" && type != "THER" &&
                         type != "DEF")
                         return false;
                     ch.transducer = type == "DEF" ? "TC" : type;
                     return true;
                 });
             }},
            {"[SENSe:]TEMPerature:TRANsducer:TCouple:TYPE",
             [](H& u, C c, double) {
                 return u.setting(c, [](Channel& ch, const std::string& v) {
                     const std::string type = scpi_upper(v);
                     if (type.size() != 1 ||
                         std::string_view("BEJKNRST").find(type[0]) == std::string::npos)
                         return false;
                     ch.tc_type = type;
                     return true;
                 });
             }},
            {"[SENSe:]TEMPerature:TRANsducer:TCouple:RJUNction:TYPE",
             [](H& u, C c, double) {
                 return u.setting(c, [](Channel&, const std::string& v) {
                     const std::string type = scpi_upper(v);
                     return type == "INT" || type == "EXT" || type == "FIX" || type == "INTERNAL" ||
                            type == "EXTERNAL" || type == "FIXED";
                 });
             }},
            {"[SENSe:]TEMPerature:TRANsducer:THERmistor:TYPE",
             [](H& u, C c, double) {
                 return u.setting(c, [](Channel& ch, const std::string& v) {
                     const auto n = number(v);
                     if (!n || (*n != 2252.0 && *n != 5000.0 && *n != 10000.0))
                         return false;
                     ch.thermistor_type = static_cast<int>(*n);
                     return true;
                 });
             }},
            {"TRIGger:SOURce",
             [](H& u, C c, double) {
                 if (c.params.empty())
                     return u.error(-109, "Missing parameter");
                 const std::string s = c.params.size() == 1 ? scpi_upper(c.params[0]) : "";
                 if (s != "IMM" && s != "IMMEDIATE" && s != "BUS" && s != "EXT" &&
                     s != "EXTERNAL" && s != "TIM" && s != "TIMER" && s != "ALAR1" &&
                     s != "ALAR2" && s != "ALAR3" && s != "ALAR4")
                     return u.error(-224, "Illegal parameter value");
                 return kCommandSeconds;
             }},
            {"TRIGger:COUNt",
             [](H& u, C c, double) {
                 if (c.params.empty())
                     return u.error(-109, "Missing parameter");
                 const auto n = c.params.size() == 1 ? number(c.params[0]) : std::nullopt;
                 if (!n || *n < 1.0 || *n > 50000.0 || *n != std::floor(*n))
                     return u.error(-222, "Data out of range");
                 u.trigger_count_ = static_cast<int>(*n);
                 return kCommandSeconds;
             }},
            {"READ?",
             [](H& u, C c, double time) {
                 if (!c.params.empty())
                     return u.error(-108, "Parameter not allowed");
                 return u.read_scan(time);
             }},
            {"ROUTe:OPEN", [](H& u, C c, double t) { return u.relays(c, true, false, t); }},
            {"ROUTe:CLOSe", [](H& u, C c, double t) { return u.relays(c, false, false, t); }},
            {"ROUTe:OPEN?", [](H& u, C c, double t) { return u.relays(c, true, true, t); }},
            {"ROUTe:CLOSe?", [](H& u, C c, double t) { return u.relays(c, false, true, t); }},
            {"ROUTe:DONE?",
             [](H& u, C, double time) {
                 u.reply(time + kCommandSeconds, u.faults_.switch_not_done ? "0" : "1");
                 return kCommandSeconds;
             }},
        };
        for (const auto pattern :
             {"[SENSe:]VOLTage[:DC]:RANGe:AUTO", "[SENSe:]RESistance:RANGe:AUTO",
              "[SENSe:]FRESistance:RANGe:AUTO", "INPut:IMPedance:AUTO",
              "[SENSe:]RESistance:OCOMpensated", "[SENSe:]FRESistance:OCOMpensated",
              "CALCulate:SCALe:STATe", "ROUTe:CHANnel:DELay:AUTO",
              "[SENSe:]TEMPerature:TRANsducer:TCouple:CHECk"})
            t.push_back({pattern, boolean_setting});
        for (const auto pattern :
             {"[SENSe:]VOLTage[:DC]:NPLCycles", "[SENSe:]RESistance:NPLCycles",
              "[SENSe:]FRESistance:NPLCycles", "[SENSe:]TEMPerature:NPLCycles"})
            t.push_back({pattern, nplc_setting});
        for (const auto pattern : {"[SENSe:]TEMPerature:TRANsducer:RTD:TYPE",
                                   "[SENSe:]TEMPerature:TRANsducer:FRTD:TYPE"})
            t.push_back({pattern, [](H& u, C c, double) {
                             return u.setting(c, [](Channel& ch, const std::string& v) {
                                 const auto n = number(v);
                                 if (!n || (*n != 85.0 && *n != 91.0))
                                     return false;
                                 ch.rtd_type = static_cast<int>(*n);
                                 return true;
                             });
                         }});
        for (const auto pattern : {"[SENSe:]TEMPerature:TRANsducer:RTD:RESistance[:REFerence]",
                                   "[SENSe:]TEMPerature:TRANsducer:FRTD:RESistance[:REFerence]"})
            t.push_back({pattern, [](H& u, C c, double) {
                             return u.setting(c, [](Channel& ch, const std::string& v) {
                                 const auto n = number(v);
                                 if (!n || *n < 49.0 || *n > 2100.0)
                                     return false;
                                 ch.rtd_reference = *n;
                                 return true;
                             });
                         }});
        for (const auto pattern :
             {"[SENSe:]TEMPerature:TRANsducer:TYPE?",
              "[SENSe:]TEMPerature:TRANsducer:TCouple:TYPE?",
              "[SENSe:]TEMPerature:TRANsducer:RTD:TYPE?",
              "[SENSe:]TEMPerature:TRANsducer:FRTD:TYPE?",
              "[SENSe:]TEMPerature:TRANsducer:RTD:RESistance[:REFerence]?",
              "[SENSe:]TEMPerature:TRANsducer:FRTD:RESistance[:REFerence]?",
              "[SENSe:]TEMPerature:TRANsducer:THERmistor:TYPE?", "UNIT:TEMPerature?"})
            t.push_back({pattern, temp_query});
        for (const auto pattern : {"FORMat:READing:ALARm", "FORMat:READing:CHANnel",
                                   "FORMat:READing:TIME", "FORMat:READing:UNIT"})
            t.push_back({pattern, [](H& u, C c, double) {
                             if (c.params.empty())
                                 return u.error(-109, "Missing parameter");
                             const auto b =
                                 c.params.size() == 1 ? scpi_boolean(c.params[0]) : std::nullopt;
                             if (!b)
                                 return u.error(-224, "Illegal parameter value");
                             const auto is = [&c](std::string_view p) {
                                 return scpi_header_matches(c.header, p);
                             };
                             (is("FORMat:READing:ALARm")     ? u.format_alarm_
                              : is("FORMat:READing:CHANnel") ? u.format_channel_
                              : is("FORMat:READing:TIME")    ? u.format_time_
                                                             : u.format_unit_) = *b;
                             return kCommandSeconds;
                         }});
        return t;
    }();
    return table;
}

double Hp34970Sim::execute(const std::string& command, double time) {
    const ScpiCommand c = scpi_split(command);
    for (const Command& entry : commands())
        if (scpi_header_matches(c.header, entry.pattern))
            return entry.handler(*this, c, time);
    return error(-113, "Undefined header");
}
