// Values between controls and the program's variables: a real read into an integer is
// rounded and refused when it has no integer of that size; an integer keeps its low bits;
// a real written to a real field reads back exactly, not finite included, and the field
// shows it rounded to its decimals.
#include "app/shell/panel_ids.hpp"
#include "platform_fixture.hpp"

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class ControlConversionsTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        main = load(MAIN_PANEL);
        param = load(PARAM_PANEL, main);
    }

    // The real `value` in target X, read into an Int; the status, and the variable,
    // which holds `untouched` when the read is refused.
    template <typename Int> std::pair<int, long long> real_as(double value, Int untouched = 77) {
        EXPECT_EQ(SetCtrlVal(main, MAIN_TARGET_X, value), 0);
        Int out = untouched;
        const int status = GetCtrlVal(main, MAIN_TARGET_X, &out);
        return {status, static_cast<long long>(out)};
    }

    int main = 0, param = 0;
};

using Result = std::pair<int, long long>;

} // namespace

TEST_F(ControlConversionsTest, RealIntoIntIsRoundedWithinRange) {
    EXPECT_EQ(real_as<int>(2.5), Result(0, 3));
    EXPECT_EQ(real_as<int>(-2.5), Result(0, -3));
    EXPECT_EQ(real_as<int>(2147483647.49), Result(0, 2147483647));
    EXPECT_EQ(real_as<int>(-2147483648.49), Result(0, -2147483647LL - 1));
    EXPECT_EQ(real_as<int>(2147483647.5), Result(UIEValueNotRepresentable, 77));
    EXPECT_EQ(real_as<int>(-2147483648.5), Result(UIEValueNotRepresentable, 77));
    for (const double no_int : {kNaN, kInf, -kInf, 1e300})
        EXPECT_EQ(real_as<int>(no_int), Result(UIEValueNotRepresentable, 77)) << no_int;
}

TEST_F(ControlConversionsTest, RealIntoSixteenBitsIsRoundedWithinRange) {
    EXPECT_EQ(real_as<unsigned short>(65535.4), Result(0, 65535));
    EXPECT_EQ(real_as<unsigned short>(-0.4), Result(0, 0));
    EXPECT_EQ(real_as<unsigned short>(65535.5), Result(UIEValueNotRepresentable, 77));
    EXPECT_EQ(real_as<unsigned short>(-0.5), Result(UIEValueNotRepresentable, 77));
    EXPECT_EQ(real_as<unsigned short>(kNaN), Result(UIEValueNotRepresentable, 77));
    EXPECT_EQ(real_as<short>(-32768.4), Result(0, -32768));
    EXPECT_EQ(real_as<short>(32767.5), Result(UIEValueNotRepresentable, 77));
}

TEST_F(ControlConversionsTest, IntegerIntoANarrowerVariableKeepsItsLowBits) {
    SetCtrlVal(param, PARAM_CM_PORT, 65537);
    unsigned short u = 0;
    ASSERT_EQ(GetCtrlVal(param, PARAM_CM_PORT, &u), 0);
    EXPECT_EQ(u, 1);
    SetCtrlVal(param, PARAM_CM_PORT, 40000);
    short s = 0;
    ASSERT_EQ(GetCtrlVal(param, PARAM_CM_PORT, &s), 0);
    EXPECT_EQ(s, -25536);
    SetCtrlVal(param, PARAM_CM_PORT, -1);
    ASSERT_EQ(GetCtrlVal(param, PARAM_CM_PORT, &u), 0);
    EXPECT_EQ(u, 65535);
    op.type_value(param, PARAM_CM_PORT, 5000000000LL);
    int i = 0;
    ASSERT_EQ(GetCtrlVal(param, PARAM_CM_PORT, &i), 0);
    EXPECT_EQ(i, 705032704); // 5000000000 - 2^32
}

TEST_F(ControlConversionsTest, IntegerFieldRefusesARealWithoutAnInteger) {
    SetCtrlVal(param, PARAM_HP_ADDR, 9);
    for (const double no_int : {kNaN, kInf, -kInf, 1e19}) {
        EXPECT_EQ(SetCtrlVal(param, PARAM_HP_ADDR, no_int), UIEValueNotRepresentable) << no_int;
        EXPECT_EQ(op.value_int(param, PARAM_HP_ADDR), 9) << no_int;
    }
    EXPECT_EQ(SetCtrlVal(param, PARAM_HP_ADDR, -8.5), 0);
    EXPECT_EQ(op.value_int(param, PARAM_HP_ADDR), -9);
}

TEST_F(ControlConversionsTest, FlagAttributeGivenAsReal) {
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_TARGET_Y, ATTR_DIMMED, 1.0), 0);
    EXPECT_TRUE(op.dimmed(main, MAIN_TARGET_Y));
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_TARGET_Y, ATTR_DIMMED, 0.4), 0);
    EXPECT_FALSE(op.dimmed(main, MAIN_TARGET_Y));
    for (const double no_int : {kNaN, -kInf, 3e9}) {
        EXPECT_EQ(SetCtrlAttribute(main, MAIN_TARGET_Y, ATTR_DIMMED, no_int),
                  UIEValueNotRepresentable)
            << no_int;
        EXPECT_FALSE(op.dimmed(main, MAIN_TARGET_Y));
    }
    // The value attribute takes the real as a value.
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_TARGET_Y, ATTR_CTRL_VAL, 0.25), 0);
    EXPECT_EQ(op.value_double(main, MAIN_TARGET_Y), 0.25);
}

TEST_F(ControlConversionsTest, RealFieldHoldsTheProgramsValueExactly) {
    double back = 0.0;
    ASSERT_EQ(SetCtrlVal(main, MAIN_TARGET_X, 0.00012345), 0);
    ASSERT_EQ(GetCtrlVal(main, MAIN_TARGET_X, &back), 0);
    EXPECT_EQ(back, 0.00012345);
    // Shown with the field's 7 decimals.
    EXPECT_EQ(op.shown_text(main, MAIN_TARGET_X), "0.0001234");
    SetCtrlVal(main, MAIN_CAM_ANGLE_3, -57.295779513);
    EXPECT_EQ(op.shown_text(main, MAIN_CAM_ANGLE_3), "-57.2958");
    SetCtrlVal(main, MAIN_GAGE_2, 0.0015004);
    EXPECT_EQ(op.shown_text(main, MAIN_GAGE_2), "0.001500");
}

TEST_F(ControlConversionsTest, RealFieldShowsAValueThatIsNotFinite) {
    SetCtrlVal(main, MAIN_PRESENT_ROLL, 0.5);
    const struct {
        double value;
        const char* shown;
    } cases[] = {{kNaN, "NaN"}, {-kNaN, "NaN"}, {kInf, "inf"}, {-kInf, "-inf"}};
    for (const auto& c : cases) {
        ASSERT_EQ(SetCtrlVal(main, MAIN_PRESENT_ROLL, c.value), 0) << c.shown;
        EXPECT_EQ(op.shown_text(main, MAIN_PRESENT_ROLL), c.shown);
        double back = 0.0;
        ASSERT_EQ(GetCtrlVal(main, MAIN_PRESENT_ROLL, &back), 0);
        if (std::isnan(c.value))
            EXPECT_TRUE(std::isnan(back));
        else
            EXPECT_EQ(back, c.value);
    }
    EXPECT_EQ(numeric_field_text(-0.00000004, 7), "-0.0000000");
    EXPECT_EQ(numeric_field_text(2.0, 3), "2.000");
}
