// The test panel's graph: plot handles, one marker per point style, axis limits held as
// set, and deleting all plots at once.
#include "qt_fixture.hpp"

#include "app/shell/panel_ids.hpp"

#include <QChartView>
#include <QScatterSeries>

class GraphTest : public QtPanelTest {
protected:
    void SetUp() override {
        QtPanelTest::SetUp();
        panel = load(TEST_PANEL);
        DisplayPanel(panel);
    }
    QtPanelBackend::GraphState state() {
        QtPanelBackend::GraphState s{};
        EXPECT_TRUE(panels.graph_state(panel, TEST_GRAPH, s));
        return s;
    }
    int panel = 0;
};

TEST_F(GraphTest, StartsWithTheTestPanelsLimits) {
    const auto s = state();
    EXPECT_EQ(s.x_min, 0.0);
    EXPECT_EQ(s.x_max, 120.0);
    EXPECT_EQ(s.y_min, -1.0);
    EXPECT_EQ(s.y_max, 1.0);
    EXPECT_EQ(s.plot_count, 0);
}

TEST_F(GraphTest, PointsAndFittedCurveHaveDistinctMarkers) {
    const int first = PlotPoint(panel, TEST_GRAPH, 0.0, 0.4, VAL_SOLID_CIRCLE, 0xFF0000);
    const int second = PlotPoint(panel, TEST_GRAPH, 6.0, 0.7, VAL_SOLID_CIRCLE, 0xFF0000);
    const int curve = PlotPoint(panel, TEST_GRAPH, 1.0, 0.5, VAL_SOLID_SQUARE, 0x000080);
    EXPECT_GT(first, 0);
    EXPECT_GT(second, 0);
    EXPECT_GT(curve, 0);
    EXPECT_NE(first, second);
    EXPECT_NE(second, curve);
    EXPECT_EQ(state().plot_count, 3);
    EXPECT_EQ(state().series_count, 2);

    auto* view = qobject_cast<QChartView*>(panels.control_widget(panel, TEST_GRAPH));
    ASSERT_NE(view, nullptr);
    int circles = 0, squares = 0;
    for (QAbstractSeries* s : view->chart()->series()) {
        auto* series = qobject_cast<QScatterSeries*>(s);
        ASSERT_NE(series, nullptr);
        if (series->markerShape() == QScatterSeries::MarkerShapeCircle) {
            ++circles;
            EXPECT_EQ(series->color(), QColor(0xFF, 0x00, 0x00));
            EXPECT_EQ(series->count(), 2);
        } else if (series->markerShape() == QScatterSeries::MarkerShapeRectangle) {
            ++squares;
            EXPECT_EQ(series->color(), QColor(0x00, 0x00, 0x80));
            EXPECT_EQ(series->count(), 1);
        }
    }
    EXPECT_EQ(circles, 1);
    EXPECT_EQ(squares, 1);
}

TEST_F(GraphTest, AxisLimitsHeldAsSet) {
    // X widened as for point 121, Y left alone; then Y widened as for 1.5, X left alone.
    ASSERT_EQ(SetAxisRange(panel, TEST_GRAPH, VAL_MANUAL, 0.0, 131.0, VAL_NO_CHANGE, 0.0, 0.0), 0);
    auto s = state();
    EXPECT_EQ(s.x_min, 0.0);
    EXPECT_EQ(s.x_max, 131.0);
    EXPECT_EQ(s.y_min, -1.0);
    EXPECT_EQ(s.y_max, 1.0);
    ASSERT_EQ(SetAxisRange(panel, TEST_GRAPH, VAL_NO_CHANGE, 0.0, 0.0, VAL_MANUAL, -1.6, 1.6), 0);
    s = state();
    EXPECT_EQ(s.x_max, 131.0);
    EXPECT_EQ(s.y_min, -1.6);
    EXPECT_EQ(s.y_max, 1.6);
    // Plotting beyond the limits does not move them.
    PlotPoint(panel, TEST_GRAPH, 500.0, 40.0, VAL_SOLID_CIRCLE, 0xFF0000);
    EXPECT_EQ(state().x_max, 131.0);
    EXPECT_EQ(state().y_max, 1.6);
}

TEST_F(GraphTest, BadRangeChangesNothing) {
    EXPECT_LT(SetAxisRange(panel, TEST_GRAPH, VAL_MANUAL, 5.0, 5.0, VAL_MANUAL, -2.0, 2.0), 0);
    EXPECT_LT(SetAxisRange(panel, TEST_GRAPH, VAL_MANUAL, 0.0, 10.0, VAL_MANUAL, 3.0, -3.0), 0);
    const auto s = state();
    EXPECT_EQ(s.x_max, 120.0);
    EXPECT_EQ(s.y_max, 1.0);
}

TEST_F(GraphTest, DeleteAllPlotsAtOnceKeepsLimits) {
    SetAxisRange(panel, TEST_GRAPH, VAL_MANUAL, 0.0, 131.0, VAL_MANUAL, -1.6, 1.6);
    for (int i = 0; i < 5; ++i)
        PlotPoint(panel, TEST_GRAPH, i, 0.1 * i, VAL_SOLID_CIRCLE, 0xFF0000);
    PlotPoint(panel, TEST_GRAPH, 0.0, 0.0, VAL_SOLID_SQUARE, 0x000080);
    ASSERT_EQ(DeleteGraphPlot(panel, TEST_GRAPH, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW), 0);
    auto s = state();
    EXPECT_EQ(s.plot_count, 0);
    EXPECT_EQ(s.series_count, 0);
    EXPECT_EQ(s.x_max, 131.0);
    EXPECT_EQ(s.y_max, 1.6);
    // Plotting starts again after a clear.
    EXPECT_GT(PlotPoint(panel, TEST_GRAPH, 1.0, 0.2, VAL_SOLID_CIRCLE, 0xFF0000), 0);
    EXPECT_EQ(state().plot_count, 1);
}

TEST_F(GraphTest, PlotOnAnythingButAGraphFails) {
    EXPECT_LE(PlotPoint(panel, TEST_POSITION, 0.0, 0.0, VAL_SOLID_CIRCLE, 0xFF0000), 0);
    EXPECT_LE(PlotPoint(panel, 9999, 0.0, 0.0, VAL_SOLID_CIRCLE, 0xFF0000), 0);
    EXPECT_LE(PlotPoint(panel + 1, TEST_GRAPH, 0.0, 0.0, VAL_SOLID_CIRCLE, 0xFF0000), 0);
    EXPECT_LT(DeleteGraphPlot(panel, TEST_STATUS, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW), 0);
}
