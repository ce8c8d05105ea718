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
#include <numbers>
#include <vector>

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
constexpr double kTurn = 120.0;        // motor revolutions of one cam turn
// A cam's gauge follows its eccentric, so a fit worth moving to has an amplitude near the
// cam's eccentricity; one below this share of it comes from a flat scan (the wrong gauge
// channel, a gauge not touching the cam) and its phase means nothing.
constexpr double kFlatScanShare = 0.1;

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

// The fit the search uses; a test puts another in its place.
WorkPointFit g_fit = NonLinearFit;

const char* fit_failure_reason(int status) {
    switch (status) {
    case NUMERIC_NOT_POSITIVE_DEFINITE:
        return "the readings do not determine a sine (the fit's equations became singular)";
    case NUMERIC_NO_STORAGE:
        return "the fit could not obtain its working memory";
    case NUMERIC_BAD_COUNT:
    case NUMERIC_TOO_FEW_SAMPLES:
        return "too few readings to fit";
    default:
        return "the fit reported an unknown error";
    }
}

} // namespace

double cam_test_model_function(double x, const double* coef, int /*ncoef*/) {
    return coef[0] * std::sin(kModelOmega * x + coef[1]);
}

void work_point_use_fit(WorkPointFit fit) {
    g_fit = fit != nullptr ? fit : NonLinearFit;
}

int cam_test_fit_scan(const double* x, const double* y, int n, double* coef) {
    // The readings are lengths of a few tenths of a millimetre, so their sums of squares lie
    // far below the fit's absolute end test and it would stop well short of the sine. It is
    // given the readings scaled to a largest magnitude of 1, where that end test is fine
    // against the sums, and the amplitude is scaled back.
    double scale = 0.0;
    for (int i = 0; i < n; ++i)
        scale = std::fmax(scale, std::fabs(y[i]));
    if (!(scale > 0.0) || !std::isfinite(scale))
        scale = 1.0;
    std::vector<double> scaled(static_cast<std::size_t>(n > 0 ? n : 0));
    for (int i = 0; i < n; ++i)
        scaled[static_cast<std::size_t>(i)] = y[i] / scale;
    std::vector<double> z(scaled.size());
    std::array<double, 2> c = {kFirstAmplitude / scale, kFirstPhase};
    double mse = 0.0;
    const int status =
        g_fit(x, scaled.data(), z.data(), n, cam_test_model_function, c.data(), 2, &mse);
    if (status != 0)
        return status;
    // The same sine with a positive amplitude and its phase within (-pi, pi], so that the
    // phase says where the sine rises through zero.
    double amplitude = c[0] * scale;
    double phase = c[1];
    if (amplitude < 0.0) {
        amplitude = -amplitude;
        phase += std::numbers::pi;
    }
    phase = std::remainder(phase, 2.0 * std::numbers::pi);
    if (phase <= -std::numbers::pi)
        phase += 2.0 * std::numbers::pi;
    coef[0] = amplitude;
    coef[1] = phase;
    return 0;
}

double cam_test_work_point(double phase, bool falling) {
    // The sine rises through zero where w x + phase = 0 and falls where it is pi; of the
    // crossings one turn apart, the one nearest the cam.
    const double crossing = falling ? kHalfTurn - phase / kOmega : -phase / kOmega;
    return std::remainder(crossing, kTurn);
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

    x[0] = 0.0;
    for (int i = 0; i < kSamples; ++i) {
        y[i] = scan_reading(record, address, x[i]);
        x[i + 1] = x[i] + kScanStep;
        const int moved = move_bench_cam(panel, record, kScanStep);
        if (platform_stop_requested())
            return std::numeric_limits<double>::quiet_NaN(); // the points so far stay shown
        if (moved != 0) {
            tell_no_work_point(panel, "A move of the scan failed. The cam is not moved to a "
                                      "work point.");
            return std::numeric_limits<double>::quiet_NaN();
        }
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

    const int status = cam_test_fit_scan(x.data(), y.data(), kSamples, coef.data());
    if (status != 0) {
        // No amplitude or phase is a result: the fields of an earlier search are hidden.
        SetCtrlAttribute(panel, TEST_AMPLITUDE, ATTR_VISIBLE, 0);
        SetCtrlAttribute(panel, TEST_PHASE, ATTR_VISIBLE, 0);
        const char* reason = fit_failure_reason(status);
        update_status_line(
            panel, TEST_STATUS,
            strfmt("No work point: the sine fit failed (status %d)", status).c_str());
        const std::string why = strfmt("The sine fit of the scan failed (status %d): %s. The "
                                       "cam is not moved to a work point.",
                                       status, reason);
        MessagePopup("Work point", why.c_str());
        return std::numeric_limits<double>::quiet_NaN();
    }

    plot_fitted_curve(panel, coef);
    SetCtrlVal(panel, TEST_AMPLITUDE, coef[0]);
    SetCtrlVal(panel, TEST_PHASE, coef[1]);
    SetCtrlAttribute(panel, TEST_AMPLITUDE, ATTR_VISIBLE, 1);
    SetCtrlAttribute(panel, TEST_PHASE, ATTR_VISIBLE, 1);

    const double eccentricity = record.cam_eccentricity[bench_cam(record) - 1];
    if (!(std::fabs(coef[0]) >= kFlatScanShare * eccentricity)) {
        const std::string question =
            strfmt("The fitted amplitude %g is below a tenth of the cam's eccentricity %g: the "
                   "gauge may not follow this cam. Move the cam to this work point?",
                   coef[0], eccentricity);
        if (ConfirmPopup("Work point", question.c_str()) != 1) {
            update_status_line(panel, TEST_STATUS, "No work point");
            return std::numeric_limits<double>::quiet_NaN();
        }
    }

    // The zero crossing where the sine falls when the first step went down, else where it
    // rises: the nearest one, so that the cam turns at most half a turn.
    return cam_test_work_point(coef[1], y[0] > y[1]);
}
