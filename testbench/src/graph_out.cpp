// Plotting of one measured point on the test panel's graph.
#include "testbench/test_run.hpp"

#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "bench_limits.hpp"
#include "platform/panels.hpp"
#include "platform/text.hpp"
#include "stage/geometry.hpp"

#include <cmath>

namespace {

constexpr int kXMargin = 10;
constexpr double kYMargin = 0.1;
constexpr int kMeasuredColour = 0xFF0000; // red

} // namespace

void cam_graph_out(int panel, double position, int point) {
    int& x_limit = graph_x_limit();
    if (point > x_limit) {
        x_limit = point + kXMargin;
        const int status =
            SetAxisRange(panel, TEST_GRAPH, VAL_MANUAL, 0.0, x_limit, VAL_NO_CHANGE, 0.0, 0.0);
        if (status < 0)
            cam_move_error_handling(status, " Problem changing X limit");
    }

    const double value = GAGE_SCALE * position;
    double& y_limit = graph_y_limit();
    if (std::fabs(value) >= y_limit) {
        y_limit = std::fabs(value) + kYMargin;
        const int status =
            SetAxisRange(panel, TEST_GRAPH, VAL_NO_CHANGE, 0.0, 0.0, VAL_MANUAL, -y_limit, y_limit);
        if (status < 0)
            cam_move_error_handling(status, " Problem changing Y limit");
    }

    // A failed reading has no place on the graph; its line in the log shows it.
    if (std::isfinite(value)) {
        const int plot =
            PlotPoint(panel, TEST_GRAPH, point, value, VAL_SOLID_CIRCLE, kMeasuredColour);
        if (plot <= 0)
            cam_move_error_handling(plot, " Problem plotting the graph");
    }

    const std::string status = strfmt("Motion in Progress. Point # %i", point);
    update_status_line(panel, TEST_STATUS, status.c_str());
}
