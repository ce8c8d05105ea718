// The test panel's graph: where measured points land, how the axes widen and that they
// only ever widen, what a refresh clears and keeps, and the plotting failures the operator
// meets. Also the work-point model function against hand-computed values.
#include "app/shell/panel_ids.hpp"
#include "testbench/test_run.hpp"
#include "testbench/work_point.hpp"
#include "testbench_fixture.hpp"

#include <array>
#include <cmath>
#include <limits>

namespace {

class GraphTest : public TestBenchTest {
protected:
    void SetUp() override {
        TestBenchTest::SetUp();
        panel = load(TEST_PANEL);
    }
    const ScriptedControl& graph() const { return *op.control(panel, TEST_GRAPH); }
    int panel = 0;
};

} // namespace

TEST_F(GraphTest, APointIsPlottedInGaugeUnitsWithItsNumberInTheStatusLine) {
    cam_graph_out(panel, 0.0004, 7);
    ASSERT_EQ(op.plots().size(), 1u);
    const PlotRecord& plot = op.plots()[0];
    EXPECT_EQ(plot.x, 7.0);
    EXPECT_DOUBLE_EQ(plot.y, 0.4);
    EXPECT_EQ(plot.style, VAL_SOLID_CIRCLE);
    EXPECT_EQ(plot.color, 0xFF0000);
    EXPECT_TRUE(op.axis_log().empty()); // inside 0..120 and -1..1
    EXPECT_EQ(op.texts(panel, TEST_STATUS),
              (std::vector<std::string>{"Motion in Progress. Point # 7"}));
    EXPECT_EQ(op.displays(panel), 1);
}

TEST_F(GraphTest, LimitsWidenOnlyOutwardAndSurviveARefresh) {
    cam_graph_out(panel, 0.0, 120); // on the limit: no change
    EXPECT_TRUE(op.axis_log().empty());

    cam_graph_out(panel, 0.0, 121);
    ASSERT_EQ(op.axis_log().size(), 1u);
    EXPECT_EQ(op.axis_log()[0].x_mode, VAL_MANUAL);
    EXPECT_EQ(op.axis_log()[0].x_min, 0.0);
    EXPECT_EQ(op.axis_log()[0].x_max, 131.0);
    EXPECT_EQ(op.axis_log()[0].y_mode, VAL_NO_CHANGE);

    cam_graph_out(panel, 0.0015, 5);
    ASSERT_EQ(op.axis_log().size(), 2u);
    EXPECT_EQ(op.axis_log()[1].x_mode, VAL_NO_CHANGE);
    EXPECT_EQ(op.axis_log()[1].y_mode, VAL_MANUAL);
    EXPECT_DOUBLE_EQ(op.axis_log()[1].y_min, -1.6);
    EXPECT_DOUBLE_EQ(op.axis_log()[1].y_max, 1.6);

    // Smaller values leave both axes alone; a larger negative one widens Y symmetrically.
    cam_graph_out(panel, 0.001, 100);
    cam_graph_out(panel, -0.0012, 131);
    EXPECT_EQ(op.axis_log().size(), 2u);
    cam_graph_out(panel, -0.0017, 3);
    ASSERT_EQ(op.axis_log().size(), 3u);
    EXPECT_DOUBLE_EQ(op.axis_log()[2].y_min, -1.8);
    EXPECT_DOUBLE_EQ(op.axis_log()[2].y_max, 1.8);

    // A refresh shows the first ranges again but keeps the limits: points up to 131 and
    // up to 1.8 do not widen the axes any more.
    op.press(panel, TEST_REFRESH);
    ASSERT_EQ(op.axis_log().size(), 4u);
    EXPECT_EQ(graph().x_max, 120.0);
    EXPECT_EQ(graph().y_min, -1.0);
    EXPECT_EQ(graph().y_max, 1.0);
    EXPECT_EQ(graph().plot_count, 0);
    cam_graph_out(panel, 0.0017, 125);
    EXPECT_EQ(op.axis_log().size(), 4u);
    cam_graph_out(panel, 0.0, 132);
    ASSERT_EQ(op.axis_log().size(), 5u);
    EXPECT_EQ(op.axis_log()[4].x_max, 142.0);
}

TEST_F(GraphTest, AValueOnTheYLimitWidensIt) {
    cam_graph_out(panel, 0.001, 1); // 1.0 reaches the limit of 1.0
    ASSERT_EQ(op.axis_log().size(), 1u);
    EXPECT_DOUBLE_EQ(op.axis_log()[0].y_max, 1.1);
}

TEST_F(GraphTest, AFailedReadingIsNotPlottedButItsPointIsAnnounced) {
    cam_graph_out(panel, std::numeric_limits<double>::quiet_NaN(), 4);
    EXPECT_TRUE(op.plots().empty());
    EXPECT_TRUE(op.axis_log().empty());
    EXPECT_EQ(op.texts(panel, TEST_STATUS).back(), "Motion in Progress. Point # 4");
}

TEST_F(GraphTest, GraphFailuresAreReportedAndThePointGoesOn) {
    op.fail_graph_calls(-12);
    op.answer_confirm(true);
    op.answer_confirm(true);
    op.answer_confirm(true);
    cam_graph_out(panel, 0.002, 200);
    ASSERT_EQ(op.popups().size(), 3u);
    EXPECT_EQ(op.popups()[0].title, "ERROR");
    EXPECT_EQ(op.popups()[0].message,
              "Error in  Problem changing X limit. Check error code # -12. Continue?");
    EXPECT_EQ(op.popups()[1].message,
              "Error in  Problem changing Y limit. Check error code # -12. Continue?");
    EXPECT_EQ(op.popups()[2].message,
              "Error in  Problem plotting the graph. Check error code # -12. Continue?");
    EXPECT_EQ(op.texts(panel, TEST_STATUS).back(), "Motion in Progress. Point # 200");
}

TEST_F(GraphTest, RefreshReportsAFailedDeleteAndHidesTheFitFields) {
    SetCtrlAttribute(panel, TEST_AMPLITUDE, ATTR_VISIBLE, 1);
    SetCtrlAttribute(panel, TEST_PHASE, ATTR_VISIBLE, 1);
    op.fail_graph_calls(-3);
    op.answer_confirm(true);
    op.press(panel, TEST_REFRESH);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].message,
              "Error in  Problem deleting Graph. Check error code # -3. Continue?");
    EXPECT_FALSE(op.visible(panel, TEST_AMPLITUDE));
    EXPECT_FALSE(op.visible(panel, TEST_PHASE));
}

TEST(WorkPointModel, SineOfMotorRevolutionsWithAmplitudeAndPhase) {
    // sin(pi/6) = 0.5 at x = 0.
    const std::array<double, 2> a = {0.001, 0.52359877559829887};
    EXPECT_NEAR(cam_test_model_function(0.0, a.data(), 2), 0.0005, 1e-15);
    // 30 motor revolutions are a quarter cam turn: the crest, to the model's ten decimals.
    const std::array<double, 2> b = {2.0, 0.0};
    EXPECT_NEAR(cam_test_model_function(30.0, b.data(), 2), 2.0, 1e-12);
    // 90 revolutions: three quarters, the trough; the coefficient count is not used.
    EXPECT_NEAR(cam_test_model_function(90.0, b.data(), 0), -2.0, 1e-12);
    // 0.0523598775 * 45 + 0.25 = 2.6061939875; sin of it = 0.5101835288
    const std::array<double, 2> c = {-0.0003, 0.25};
    EXPECT_NEAR(cam_test_model_function(45.0, c.data(), 7), -0.0003 * 0.5101835288, 1e-12);
}
