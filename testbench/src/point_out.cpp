// One measured point of a test run: readings, log line, plot and temperature column.
#include "testbench/test_run.hpp"

#include "bench_limits.hpp"
#include "bench_support.hpp"
#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/text.hpp"
#include "stage/geometry.hpp"
#include "testbench/cam_measure.hpp"

#include <string>

namespace {

constexpr int kTemperatureMark = 4;

// The bench's two gauges: cams 1 to 3 sit at the first end of the stage, 4 and 5 at the
// second.
int point_gage_channel(const param_structure& record) {
    return record.test_axis < 4 ? 1 : 2;
}

} // namespace

void cam_test_out(instrument_addresses address, param_structure record, int file, int point) {
    const double angle = cam_test_get_angle(record, address);
    const double position = cam_test_get_position(address, point_gage_channel(record), 1);
    const double degrees = DEGREES_PER_RADIAN * angle;

    // No temperature is read here: the column is a placeholder that the people reading the
    // log expect on every fifth line. It goes out with its line in one write, so a disk
    // that refuses the line cannot leave the column glued to the line before.
    int& counter = temperature_column_counter();
    std::string line =
        strfmt(" \n%s %6d %10.7f %9.6f %8.3f", TimeStr().c_str(), point, position, angle, degrees);
    if (counter == kTemperatureMark) {
        line += strfmt("  %4.1f", 0.0);
        counter = -1;
    }
    if (file >= 0)
        bench_log_line(file, line);
    cam_graph_out(bench_readings_panel(), position, point);
    ++counter;
}
