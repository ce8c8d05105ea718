#include "stage/coordinate_exchange.hpp"

int cam_move_get_coordinates(int /*panel*/, param_structure& /*param*/,
                             instrument_addresses /*addresses*/,
                             const coordinate_controls& /*ctrls*/) {
    return 0;
}

int cam_move_set_coordinates(int /*panel*/, const coordinate_controls& /*ctrls*/,
                             param_structure& /*param*/) {
    return 0;
}

int cam_move_read_from_GUI(int /*panel*/, int /*control*/, double& /*value*/, float /*limit*/) {
    return 0;
}

int cam_move_check_input(int /*panel*/, int /*control*/, double /*value*/, double /*limit*/) {
    return 0;
}
