#include "drivers/protocol/hp34970_protocol.hpp"

#include "drivers/protocol/bounded_number.hpp"
#include "platform/text.hpp"

#include <cmath>

std::string hp34970_channel_list(const int* chans, int count) {
    std::string list = "(@";
    for (int k = 0; k < count; ++k) {
        if (k > 0)
            list += ", ";
        list += strfmt("%d", chans[k]);
    }
    return list + ")";
}

std::string hp34970_single_list(int chan) {
    return strfmt("(@%d)", chan);
}

std::vector<std::string> hp34970_setup_commands(char kind, const std::string& list) {
    const char* l = list.c_str();
    switch (kind) {
    case 'v':
        return {strfmt("SENSE:FUNCTION \"VOLTAGE:DC\", %s", l),
                strfmt("SENSE:VOLTAGE:DC:RANGE:AUTO ON, %s", l),
                strfmt("SENSE:VOLTAGE:DC:NPLC 10, %s", l),
                strfmt("INPUT:IMPEDANCE:AUTO OFF, %s", l), strfmt("SENSE:ZERO:AUTO ON, %s", l)};
    case 'r':
        return {strfmt("SENSE:FUNCTION \"RESISTANCE\", %s", l),
                strfmt("SENSE:RESISTANCE:RANGE:AUTO ON, %s", l),
                strfmt("SENSE:RESISTANCE:NPLC 10, %s", l),
                strfmt("SENSE:RESISTANCE:OCOMPENSATED ON, %s", l)};
    case '4':
        return {strfmt("SENSE:FUNCTION \"FRESISTANCE\", %s", l),
                strfmt("SENSE:FRESISTANCE:RANGE:AUTO ON, %s", l),
                strfmt("SENSE:FRESISTANCE:NPLC 10, %s", l),
                strfmt("SENSE:FRESISTANCE:OCOMPENSATED ON, %s", l)};
    case 't':
        // The standard SCPI spelling a real unit accepts; degrees Celsius, the unit the
        // reading check accepts for a temperature.
        return {strfmt("SENS:FUNC \"TEMP\", %s", l), strfmt("UNIT:TEMP C, %s", l),
                strfmt("SENS:TEMP:NPLC 10, %s", l)};
    default:
        return {};
    }
}

Hp34970Transducer hp34970_transducer(std::string_view reply) {
    if (reply == "TC")
        return Hp34970Transducer::Thermocouple;
    if (reply == "RTD" || reply == "FRTD")
        return Hp34970Transducer::Rtd;
    if (reply == "THER")
        return Hp34970Transducer::Thermistor;
    return Hp34970Transducer::Other;
}

namespace {

std::size_t skip_blanks(std::string_view text, std::size_t at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    return at;
}

// One reading from the front of `rest`; on success `rest` moves past it.
Hp34970Reading parse_one(std::string_view& rest) {
    Hp34970Reading r;
    std::size_t used = 0;
    const auto value = parse_double_prefix(rest, &used);
    if (!value)
        return r;
    std::size_t at = skip_blanks(rest, used);
    const std::size_t comma = rest.find(',', at);
    if (comma == std::string_view::npos || comma == at)
        return r;
    const std::string_view unit = rest.substr(at, comma - at);
    at = comma + 1;
    std::size_t digits = 0;
    const auto chan = parse_int_prefix(rest.substr(at), &digits);
    if (!chan || *chan < 0 || *chan > 99999)
        return r;
    at += digits;
    if (at >= rest.size() || rest[at] != ',' || at + 1 >= rest.size())
        return r;
    r.parsed = true;
    r.value = *value;
    r.unit = std::string(unit);
    r.channel = static_cast<int>(*chan);
    rest = rest.substr(at + 1);
    return r;
}

} // namespace

Hp34970ReadingList hp34970_parse_readings(std::string_view text, int count) {
    Hp34970ReadingList list;
    std::string_view rest = text;
    for (int k = 0; k < count; ++k)
        list.readings.push_back(parse_one(rest));
    list.tail_ok = rest == "end";
    return list;
}

bool hp34970_unit_matches(char kind, std::string_view unit) {
    switch (kind) {
    case 'v':
        return unit == "VDC";
    case 'r':
    case '4':
        return unit == "OHM";
    case 't':
        return unit == "C";
    default:
        return false;
    }
}

bool hp34970_is_overload(double value) {
    return !(std::fabs(value) < kHp34970Overload);
}

bool hp34970_is_no_error(std::string_view reply) {
    return reply == "+0,\"No error\"";
}

std::optional<int> hp34970_parse_int(std::string_view reply) {
    return parse_int_field(reply);
}

std::optional<double> hp34970_parse_number(std::string_view reply) {
    return parse_double_prefix(reply);
}
