// The coordinate box exchange without instruments: the range check and its single-precision
// limits, a typed value that cannot be read, and what the box shows of a present state.
// Reading the present state from the instruments is tested on the simulated stage.
#include "app/shell/panel_ids.hpp"
#include "kinematics_test_support.hpp"
#include "stage/coordinate_exchange.hpp"

#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
const std::string kOutOfRange = "Value out of Range\nInput a new one.";

class CoordinateExchange : public KinematicsTest {
protected:
    void SetUp() override {
        KinematicsTest::SetUp();
        panel = load(MAIN_PANEL);
        main_panel_handle() = panel;
    }

    // The range warning was shown once, with the focus put on `control` after it.
    void expect_warning_on(int control) {
        ASSERT_EQ(op.popups().size(), 1u);
        EXPECT_EQ(op.popups()[0].kind, PopupKind::Message);
        EXPECT_EQ(op.popups()[0].title, "Warning");
        EXPECT_EQ(op.popups()[0].message, kOutOfRange);
        ASSERT_FALSE(op.focus_log().empty());
        EXPECT_EQ(op.focus_log().back().panel, panel);
        EXPECT_EQ(op.focus_log().back().control, control);
    }

    // The slots of the box that were written, in order.
    std::vector<int> written_controls() const {
        std::vector<int> ids;
        for (const auto& record : op.value_log())
            ids.push_back(record.control);
        return ids;
    }

    int panel = 0;
};

} // namespace

TEST_F(CoordinateExchange, RangeCheckTakesTheLimitItselfAndRefusesBeyondIt) {
    EXPECT_EQ(cam_move_check_input(panel, MAIN_TARGET_X, -0.001, 0.001), 0);
    EXPECT_EQ(cam_move_check_input(panel, MAIN_TARGET_X, 0.0, 0.001), 0);
    EXPECT_TRUE(op.popups().empty());

    op.answer_message();
    EXPECT_EQ(cam_move_check_input(panel, MAIN_TARGET_Y, -0.0011, 0.001), 1);
    expect_warning_on(MAIN_TARGET_Y);
}

TEST_F(CoordinateExchange, ValueThatIsNotANumberIsOutOfRange) {
    op.answer_message();
    EXPECT_EQ(cam_move_check_input(panel, MAIN_TARGET_ROLL, NaN, 1.5707963705), 1);
    expect_warning_on(MAIN_TARGET_ROLL);
}

TEST_F(CoordinateExchange, TypedValuesAreCheckedAgainstSinglePrecisionLimits) {
    // 0.001 in single precision is 0.0010000000474974513, pi/2 is 1.5707963705062866.
    double value = 0.0;
    op.type_value(panel, MAIN_TARGET_X, 0.00100000004);
    EXPECT_EQ(cam_move_read_from_GUI(panel, MAIN_TARGET_X, value, XY_INPUT_LIMIT), 0);
    EXPECT_EQ(value, 0.00100000004);
    op.type_value(panel, MAIN_TARGET_PITCH, -1.57079637);
    EXPECT_EQ(cam_move_read_from_GUI(panel, MAIN_TARGET_PITCH, value, ANGLE_INPUT_LIMIT), 0);
    EXPECT_TRUE(op.popups().empty());

    op.type_value(panel, MAIN_TARGET_X, 0.0010000001);
    op.answer_message();
    EXPECT_EQ(cam_move_read_from_GUI(panel, MAIN_TARGET_X, value, XY_INPUT_LIMIT), 1);
    EXPECT_EQ(value, 0.0010000001);
    expect_warning_on(MAIN_TARGET_X);
}

TEST_F(CoordinateExchange, ControlThatCannotBeReadIsReportedAndRefused) {
    double value = 0.0;
    op.answer_confirm(true);
    op.answer_message();
    EXPECT_EQ(cam_move_read_from_GUI(panel, 999, value, XY_INPUT_LIMIT), 1);
    ASSERT_EQ(op.popups().size(), 2u);
    EXPECT_EQ(op.popups()[0].title, "ERROR");
    EXPECT_EQ(op.popups()[0].message, "Error in GetCtrVal 999. Check error code # -13. Continue?");
    EXPECT_EQ(op.popups()[1].message, kOutOfRange);
    // Nothing was read, so nothing plausible is handed back.
    EXPECT_TRUE(std::isnan(value));
}

TEST_F(CoordinateExchange, PresentStateShowsCoordinatesAndDegreesFromTheZero) {
    // All cams at angle 0: the coordinates of the stock geometry (independent reference of
    // the kinematics tests), the cam angles 0 degrees.
    param.cam_angle = {0, 0, 0, 0, 0};
    cam_move_set_coordinates(panel, coord_ctrls, param);
    const double present[5] = {1.0535923526422035e-07, -2.940394838585325e-07,
                               -1.2033254391806817e-06, -8.113940483002317e-08,
                               -1.0974534021090438e-07};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(op.value_double(panel, coord_ctrls[5 + i]), present[i], 1e-12) << i;
        EXPECT_EQ(op.value_double(panel, coord_ctrls[10 + i]), 0.0) << i;
    }
    // With gage_count 0 the gauge slots are not touched, nor are the targets.
    std::vector<int> expected;
    for (int i = 0; i < 5; ++i) {
        expected.push_back(coord_ctrls[5 + i]);
        expected.push_back(coord_ctrls[10 + i]);
    }
    EXPECT_EQ(written_controls(), expected);

    // Angles equal to their offsets show 0.0; 0.1 rad from the zero shows 5.7295779513.
    op.clear_records();
    param.pot_offset = {0.2, -0.3, 0.05, 0.0, 0.0};
    param.cam_angle = {0.2, -0.3, 0.05, 0.1, 0.0};
    cam_move_set_coordinates(panel, coord_ctrls, param);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(op.value_double(panel, coord_ctrls[10 + i]), 0.0) << i;
    EXPECT_DOUBLE_EQ(op.value_double(panel, MAIN_CAM_ANGLE_4), 5.7295779513);
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(CoordinateExchange, FourGaugesAreShownInTheirSlots) {
    param.cam_angle = {0, 0, 0, 0, 0};
    param.gage_count = 4;
    param.gage_value = {0.001, -0.002, 0.003, 0.0045};
    cam_move_set_coordinates(panel, coord_ctrls, param);
    EXPECT_EQ(op.value_double(panel, MAIN_GAGE_1), 0.001);
    EXPECT_EQ(op.value_double(panel, MAIN_GAGE_2), -0.002);
    EXPECT_EQ(op.value_double(panel, MAIN_GAGE_3), 0.003);
    EXPECT_EQ(op.value_double(panel, MAIN_GAGE_4), 0.0045);
    for (const auto& record : op.value_log())
        EXPECT_NE(record.control, MAIN_GAGE_5);
}

TEST_F(CoordinateExchange, FailedReadingIsShownAsNotANumberNotAsTheOldValue) {
    // Stale values from an earlier reading.
    for (int i = 5; i < 15; ++i)
        op.type_value(panel, coord_ctrls[i], 0.5);
    param.cam_angle = {0, NaN, 0, 0, 0};
    // A cam that was not measured is no division by zero: nothing is asked.
    cam_move_set_coordinates(panel, coord_ctrls, param);
    for (int i = 5; i < 10; ++i)
        EXPECT_TRUE(std::isnan(op.value_double(panel, coord_ctrls[i]))) << "slot " << i;
    EXPECT_TRUE(std::isnan(op.value_double(panel, MAIN_CAM_ANGLE_2)));
    EXPECT_EQ(op.value_double(panel, MAIN_CAM_ANGLE_1), 0.0);
    EXPECT_TRUE(op.popups().empty());
}
