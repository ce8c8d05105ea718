// The work-point search: scan one cam revolution, fit a sine, move to its zero crossing.
#include "testbench/work_point.hpp"

#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "bench_support.hpp"
#include "numeric/fit.hpp"
#include "platform/operator_thread.hpp"
#include "platform/panels.hpp"
#include "platform/text.hpp"
#include "stage/geometry.hpp"
#include "testbench/cam_measure.hpp"
#include "testbench/test_run.hpp"

#include <array>
#include <cmath>
#include <limits>

namespace {

// 2 pi / 120 to ten decimals: one motor revolution in radians of cam angle.
constexpr double kModelOmega = 0.0523598775;
// One decimal more, for the plotted curve and the zero crossing.
constexpr double kOmega = 0.05235987755;

constexpr int kSamples = 20;                // readings fitted: one revolution
constexpr int kScanStep = 120 / kSamples;   // motor revolutions between readings
constexpr double kFirstAmplitude = 0.00075; // about a cam's eccentricity
constexpr double kFirstPhase = 0.0;
constexpr int kCurvePoints = 120;
constexpr int kCurveColour = 0x000080; // dark blue
constexpr double kHalfTurn = 60.0;     // motor revolutions

// Reads the gauge and the angle (both shown), plots the reading at its motor position.
double scan_reading(param_structure& record, const instrument_addresses& address, double position) {
    const double y = cam_test_get_position(address, record.gage_channel, 1);
    cam_test_get_angle(record, address); // shown for the operator, not used
    cam_graph_out(bench_readings_panel(), y, static_cast<int>(position));
    return y;
}

void plot_fitted_curve(int panel, const std::array<double, 2>& coef) {
    for (int i = 0; i < kCurvePoints; ++i) {
        const double v = std::sin(kOmega * i + coef[1]) * (GAGE_SCALE * coef[0]);
        const int plot = PlotPoint(panel, TEST_GRAPH, i, v, VAL_SOLID_SQUARE, kCurveColour);
        if (plot <= 0)
            cam_move_error_handling(plot, " Problem plotting the graph");
    }
}

void tell_no_work_point(int panel, const char* why) {
    update_status_line(panel, TEST_STATUS, "No work point");
    MessagePopup("Work point", why);
}

} // namespace

double cam_test_model_function(double x, const double* coef, int /*ncoef*/) {
    return coef[0] * std::sin(kModelOmega * x + coef[1]);
}

double cam_test_find_work_point(param_structure record, instrument_addresses address) {
    const int panel = bench_readings_panel();
    if (bench_cam(record) == 0) {
        // No potentiometer and no motor table for it: a scan would only fail at each step.
        const std::string why = strfmt("cam = %i, out of range", record.test_axis);
        tell_no_work_point(panel, why.c_str());
        return std::numeric_limits<double>::quiet_NaN();
    }
    std::array<double, 2> coef = {kFirstAmplitude, kFirstPhase};
    std::array<double, kSamples + 1> x{};
    std::array<double, kSamples + 1> y{};
    std::array<double, kSamples> z{};

    x[0] = 0.0;
    for (int i = 0; i < kSamples; ++i) {
        y[i] = scan_reading(record, address, x[i]);
        x[i + 1] = x[i] + kScanStep;
        move_bench_cam(panel, record, kScanStep);
        if (platform_stop_requested())
            return std::numeric_limits<double>::quiet_NaN(); // the points so far stay shown
    }
    // One turn after the first reading: the same cam angle, plotted only.
    y[kSamples] = scan_reading(record, address, x[kSamples]);

    for (double reading : y) {
        if (!std::isfinite(reading)) {
            tell_no_work_point(panel, "A gauge reading of the scan failed. The cam is not "
                                      "moved to a work point.");
            return std::numeric_limits<double>::quiet_NaN();
        }
    }

    double mse = 0.0;
    const int status = NonLinearFit(x.data(), y.data(), z.data(), kSamples, cam_test_model_function,
                                    coef.data(), 2, &mse);
    if (status != 0) {
        const std::string why = strfmt("The sine fit of the scan failed (status %d). The cam "
                                       "is not moved to a work point.",
                                       status);
        tell_no_work_point(panel, why.c_str());
        return std::numeric_limits<double>::quiet_NaN();
    }

    plot_fitted_curve(panel, coef);
    SetCtrlVal(panel, TEST_AMPLITUDE, coef[0]);
    SetCtrlVal(panel, TEST_PHASE, coef[1]);
    SetCtrlAttribute(panel, TEST_AMPLITUDE, ATTR_VISIBLE, 1);
    SetCtrlAttribute(panel, TEST_PHASE, ATTR_VISIBLE, 1);

    // The zero crossing where the sine falls (w x + phase = pi) when the first step went
    // down, else where it rises (w x + phase = 0); either may lie outside one turn.
    if (y[0] > y[1])
        return kHalfTurn - coef[1] / kOmega;
    return -coef[1] / kOmega;
}
