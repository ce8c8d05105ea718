// The instruments' command texts and reply parsers on their own: patterns, fields,
// bounded parses, and the checks that must not pass on garbage.
#include "drivers/protocol/bounded_number.hpp"
#include "drivers/protocol/cm6k6_protocol.hpp"
#include "drivers/protocol/ev16p_protocol.hpp"
#include "drivers/protocol/hp34970_protocol.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Cm6k6Protocol, PositionReplyIsReadAfterFiveCharactersOrNotAtAll) {
    EXPECT_EQ(cm6k6_parse_position("*2TPC+1.5000"), 1.5);
    EXPECT_EQ(cm6k6_parse_position("*2TPC-0.25"), -0.25);
    EXPECT_FALSE(cm6k6_parse_position("*2TP"));
    EXPECT_FALSE(cm6k6_parse_position("*2TPC"));
    EXPECT_FALSE(cm6k6_parse_position("*2TPCnan"));
    EXPECT_FALSE(cm6k6_parse_position("*2TPC+1e999"));
    // Only twenty characters after the prefix are read.
    EXPECT_EQ(cm6k6_parse_position("*2TPC+1.0000000000000000000009"), 1.0);
    EXPECT_EQ(cm6k6_parse_home_count("*6TPC+12"), 12);
    EXPECT_FALSE(cm6k6_parse_home_count("*6TPC+99999999999"));
}

TEST(Cm6k6Protocol, RepliesThatMeanNoErrorAndMotionDone) {
    EXPECT_TRUE(cm6k6_is_no_errors("*NO ERRORS"));
    EXPECT_FALSE(cm6k6_is_no_errors("*NO ERRORS "));
    EXPECT_FALSE(cm6k6_is_no_errors("NO ERRORS"));
    EXPECT_TRUE(cm6k6_is_motion_done("YES"));
    EXPECT_FALSE(cm6k6_is_motion_done("WRITE\"YES\""));
    EXPECT_FALSE(cm6k6_is_motion_done(""));
}

TEST(Cm6k6Protocol, TravelChecksRefuseWhatTheyCannotCompute) {
    EXPECT_EQ(cm6k6_travel_error(-1.5, 3.25, 1.75), 0);
    EXPECT_EQ(cm6k6_travel_error(2.0, 0.0, 0.5), 1);
    EXPECT_EQ(cm6k6_travel_error(2.0, 0.0, 2.9), 0); // -0.9 truncates to 0
    EXPECT_FALSE(cm6k6_travel_error(1.0, kNaN, 1.0));
    EXPECT_FALSE(cm6k6_travel_error(1.0, 0.0, 3e9));
    EXPECT_EQ(cm6k6_fine_travel_error(1.5, 0.0, 1.25), 25000);
    EXPECT_FALSE(cm6k6_fine_travel_error(1e5, 0.0, 0.0)); // 1e10 counts
    EXPECT_EQ(cm6k6_absolute_error(-3.0, -1.9), 2);
    EXPECT_FALSE(cm6k6_absolute_error(1.0, kInf));
}

TEST(BoundedNumber, ConversionsToIntAreDefined) {
    EXPECT_EQ(truncate_to_int(-2.9), -2);
    EXPECT_EQ(truncate_to_int(2147483647.5), INT_MAX);
    EXPECT_FALSE(truncate_to_int(2147483648.0));
    EXPECT_FALSE(truncate_to_int(-2147483648.0)); // INT_MIN is kept as "not computable"
    EXPECT_EQ(saturate_to_int(1e300), INT_MAX);
    EXPECT_EQ(saturate_to_int(-1e300), INT_MIN);
    EXPECT_EQ(saturate_to_int(kNaN), 0);
    EXPECT_EQ(parse_int_field(" +42abc"), 42);
    EXPECT_FALSE(parse_int_field("4294967296"));
    EXPECT_FALSE(parse_int_field("--1"));
}

TEST(Ev16pProtocol, PresetFieldIsPaddedOrCutToNineCharacters) {
    EXPECT_EQ(ev16p_preset_command(1, 0.0), "CP01, +0000.0000");
    EXPECT_EQ(ev16p_preset_command(1, 12500.0), "CP01, +00012500.");
    EXPECT_FALSE(ev16p_preset_command(1, kInf));
    EXPECT_FALSE(ev16p_preset_command(1, kNaN));
}

TEST(Ev16pProtocol, ReadingAndHoldState) {
    EXPECT_EQ(ev16p_parse_reading("GA01 -12.5"), -12.5);
    EXPECT_EQ(ev16p_parse_reading("GA01+0003.2500"), 3.25); // the sign sits in the prefix
    EXPECT_FALSE(ev16p_parse_reading("GA01"));
    EXPECT_FALSE(ev16p_parse_reading("GA01 ERROR"));
    EXPECT_EQ(ev16p_parse_hold_state("CK010"), 0);
    EXPECT_EQ(ev16p_parse_hold_state("CK011"), 1);
    EXPECT_EQ(ev16p_parse_hold_state("CK019x"), 9);
    EXPECT_FALSE(ev16p_parse_hold_state("CK01"));
    EXPECT_FALSE(ev16p_parse_hold_state("CK01-"));
}

TEST(Hp34970Protocol, ReadingListParsesValueUnitAndChannel) {
    const auto list = hp34970_parse_readings("+1.5E+00 VDC,101,-2.0E-03 OHM,102,end", 2);
    ASSERT_EQ(list.readings.size(), 2u);
    EXPECT_TRUE(list.tail_ok);
    EXPECT_EQ(list.readings[0].value, 1.5);
    EXPECT_EQ(list.readings[0].unit, "VDC");
    EXPECT_EQ(list.readings[1].channel, 102);
    EXPECT_EQ(list.readings[1].value, -0.002);
}

TEST(Hp34970Protocol, ReadingListRejectsShortExtraAndGarbledText) {
    EXPECT_FALSE(hp34970_parse_readings("+1.5E+00 VDC,101,+1.0 VDC,102,end", 1).tail_ok);
    const auto short_list = hp34970_parse_readings("+1.5E+00 VDC,101,end", 2);
    EXPECT_TRUE(short_list.readings[0].parsed);
    EXPECT_FALSE(short_list.readings[1].parsed);
    EXPECT_FALSE(hp34970_parse_readings("+1.5E+00 ,101,end", 1).readings[0].parsed);
    EXPECT_FALSE(hp34970_parse_readings("+1.5E+00 VDC,,end", 1).readings[0].parsed);
    EXPECT_FALSE(hp34970_parse_readings("+1.5E+00 VDC,101", 1).readings[0].parsed);
    EXPECT_FALSE(hp34970_parse_readings("nan VDC,101,end", 1).readings[0].parsed);
    EXPECT_FALSE(hp34970_parse_readings("", 1).tail_ok);
}

TEST(Hp34970Protocol, UnitsAndRepliesAreMatchedExactly) {
    EXPECT_TRUE(hp34970_unit_matches('v', "VDC"));
    EXPECT_TRUE(hp34970_unit_matches('4', "OHM"));
    EXPECT_TRUE(hp34970_unit_matches('t', "C"));
    EXPECT_FALSE(hp34970_unit_matches('t', "F"));
    EXPECT_FALSE(hp34970_unit_matches('v', "VAC"));
    EXPECT_TRUE(hp34970_is_no_error("+0,\"No error\""));
    EXPECT_FALSE(hp34970_is_no_error("+0,\"No error\" "));
    EXPECT_FALSE(hp34970_is_no_error("0,\"No error\""));
    EXPECT_EQ(hp34970_transducer("FRTD"), Hp34970Transducer::Rtd);
    EXPECT_EQ(hp34970_transducer("tc"), Hp34970Transducer::Other);
    EXPECT_EQ(hp34970_parse_int("1"), 1);
    EXPECT_FALSE(hp34970_parse_int("ON"));
}

} // namespace
