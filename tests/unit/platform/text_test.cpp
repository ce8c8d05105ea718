// Number parsing of outside text: bounded, checked, never a non-finite value.
#include "platform/text.hpp"

#include <gtest/gtest.h>

TEST(TextTest, ParsesNumbersWithSignsAndLeadingBlanks) {
    std::size_t used = 0;
    EXPECT_EQ(parse_double_prefix("  -0.5 rest", &used), -0.5);
    EXPECT_EQ(used, 6u);
    EXPECT_EQ(parse_double_prefix("+1.25E+00,VDC"), 1.25);
    EXPECT_EQ(parse_double_prefix("\t\n3"), 3.0);
    EXPECT_EQ(parse_int_prefix("+12,x", &used), 12);
    EXPECT_EQ(used, 3u);
    EXPECT_EQ(parse_int_prefix("-7"), -7);
}

TEST(TextTest, RejectsTextThatIsNotAFiniteNumber) {
    EXPECT_FALSE(parse_double_prefix(""));
    EXPECT_FALSE(parse_double_prefix("abc"));
    EXPECT_FALSE(parse_double_prefix("+-1"));
    EXPECT_FALSE(parse_double_prefix("nan"));
    EXPECT_FALSE(parse_double_prefix("inf"));
    EXPECT_FALSE(parse_double_prefix("1e999"));
    EXPECT_FALSE(parse_int_prefix("99999999999999999999"));
    EXPECT_FALSE(parse_int_prefix("x1"));
}

TEST(TextTest, FormatsTextOfAnyLength) {
    EXPECT_EQ(strfmt("%s * %s * X = %f", "14:03:27", "T", 0.001), "14:03:27 * T * X = 0.001000");
    const std::string long_text(5000, 'a');
    EXPECT_EQ(strfmt("<%s>", long_text.c_str()).size(), 5002u);
}
