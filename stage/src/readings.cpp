#include "stage/readings.hpp"

#include <limits>

double cam_move_read_cam_angles(param_structure& /*param*/, instrument_addresses /*addresses*/,
                                int /*cam*/) {
    return std::numeric_limits<double>::quiet_NaN();
}

double cam_move_read_gage(instrument_addresses /*addresses*/, int /*gage*/) {
    return std::numeric_limits<double>::quiet_NaN();
}
