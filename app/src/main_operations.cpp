#include "app/main_operations.hpp"

#include "app/bring_up.hpp"
#include "app/motion_data_file.hpp"
#include "app/shell/messages.hpp"
#include "app/shell/operator_stop.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "drivers/ev16p.hpp"
#include "platform/platform.hpp"
#include "stage/geometry.hpp"
#include "stage/motion.hpp"
#include "stage/readings.hpp"

#include <cmath>
#include <limits>

namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();
// The one gauge the counter's zeroing acts on.
constexpr int kZeroedGauge = 1;

int slot(int index) {
    return coord_ctrls[static_cast<std::size_t>(index)];
}

// The cam a potentiometer button stands for, or 0.
int pot_button_cam(int control) {
    switch (control) {
    case MAIN_READ_POT_5:
        return 5;
    case MAIN_READ_POT_4:
        return 4;
    case MAIN_READ_POT_3:
        return 3;
    case MAIN_READ_POT_2:
        return 2;
    default:
        return 0;
    }
}

// The panel's gauge (1-5) a read or zero button stands for, or 0.
int gauge_button(int control) {
    if (control >= MAIN_READ_GAGE_1 && control <= MAIN_READ_GAGE_5)
        return control - MAIN_READ_GAGE_1 + 1;
    if (control >= MAIN_ZERO_GAGE_1 && control <= MAIN_ZERO_GAGE_5)
        return control - MAIN_ZERO_GAGE_1 + 1;
    return 0;
}

// Gauges 1-4 of the panel are the EV-16P gauges of the record's list; gauge 5 is EV-16P
// gauge 5.
int ev16p_gauge(const param_structure& param, int k) {
    return k <= GAGE_SLOTS ? param.gage_list[static_cast<std::size_t>(k - 1)] : 5;
}

// Reads where the stage is, shows it and logs it: the end of a Move, or of a stopped one.
void read_final_coordinates(int panel, param_structure& param,
                            const instrument_addresses& addresses) {
    cam_move_get_coordinates(panel, param, addresses, coord_ctrls);
    cam_move_set_coordinates(panel, coord_ctrls, param);
    // A "Danger Operation" No while reading has closed the instruments and ends the program.
    if (!program_ending())
        cam_move_log_motion_data("Final device coordinates", param);
}

} // namespace

int move_motor(int panel, int /*control*/, int event, void* /*callbackData*/, int /*eventData1*/,
               int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    const stoppable_operation stoppable(panel, MAIN_STOP);
    param_structure& param = shared_param();
    const instrument_addresses addresses = shared_addresses();
    update_status_line(panel, MAIN_STATUS, "Motors are in motion");
    int absolute = 0;
    GetCtrlVal(panel, MAIN_MOVE_MODE, &absolute);
    const int moved = cam_move_go(panel, addresses, param, coord_ctrls, log_path(), absolute);
    // A "Danger Operation" No has closed the instruments and ends the program.
    if (moved == 1)
        return 0;
    // A refused Move: nothing moved, and the status line keeps the refusal and its reason.
    if (moved == MOVE_REFUSED) {
        read_final_coordinates(panel, param, addresses);
        return 0;
    }
    const bool stopped = operation_stopped();
    if (stopped)
        report_operator_stop(panel, MAIN_STATUS);
    else
        update_status_line(panel, MAIN_STATUS, "Reading position");
    read_final_coordinates(panel, param, addresses);
    if (!stopped && !program_ending())
        update_status_line(panel, MAIN_STATUS,
                           moved == 0 ? "Done" : "Not all cams are in position");
    return 0;
}

int cam_go_zero(int panel, param_structure& param, instrument_addresses addresses) {
    motor_move move{};
    for (int cam = 1; cam <= param.motors_per_move && cam <= CAM_COUNT; ++cam) {
        const double angle = cam_move_read_cam_angles(param, addresses, cam);
        // A failed reading gives a move that is not a number: move_cam_motor leaves that cam
        // where it is, tells the operator which one and reports the move as not done.
        move[static_cast<std::size_t>(cam - 1)] =
            MOTOR_REVS_PER_CAM_REV * (-angle) / PI_VALUE / 2.0;
    }
    // Only a Home whose every cam the controller confirmed is logged as one, and not one
    // the operator stopped.
    if (move_cam_motor(panel, param, move, 1) != 0 || operation_stopped())
        return -1;
    write_to_log(motion_log_path(),
                 strfmt("%s * Cams moved to zero position\n", TimeStr().c_str()));
    return 0;
}

int go_home(int panel, int /*control*/, int event, void* /*callbackData*/, int /*eventData1*/,
            int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    const stoppable_operation stoppable(panel, MAIN_STOP);
    param_structure& param = shared_param();
    const instrument_addresses addresses = shared_addresses();
    update_status_line(panel, MAIN_STATUS, "Setting all cams in Home position");
    const int homed = cam_go_zero(panel, param, addresses);
    if (operation_stopped()) {
        report_operator_stop(panel, MAIN_STATUS);
        read_final_coordinates(panel, param, addresses);
        return 0;
    }
    cam_move_get_coordinates(panel, param, addresses, coord_ctrls);
    cam_move_set_coordinates(panel, coord_ctrls, param);
    // A "Danger Operation" No has closed the instruments and ends the program.
    if (program_ending())
        return 0;
    for (int i = 0; i < 5; ++i)
        cam_move_GUI_out(panel, slot(i), 0.0);
    // The status line does not claim a Home that did not happen.
    update_status_line(panel, MAIN_STATUS,
                       homed == 0 ? "All cams are in Home position"
                                  : "Not all cams are in Home position");
    return 0;
}

int cam_move_gage_zero(instrument_addresses addresses, int gage) {
    int& id = shared_device_ids().ev16p;
    if (id <= 0 && !program_ending())
        ev16p_init(addresses.ev_com_port, addresses.ev_dev_addr, &id);
    // The driver has told the operator why; a zeroing that did not happen is not logged.
    if (id <= 0 || ev16p_zero(id, gage) < 0)
        return -1;
    // The counter zeroes its channel 1 whatever gauge is named: the entry says so when
    // another gauge was asked for.
    if (gage == kZeroedGauge)
        write_to_log(motion_log_path(), strfmt("%s * All gages set to zero\n", TimeStr().c_str()));
    else
        write_to_log(motion_log_path(), strfmt("%s * Gage 1 set to zero; gage %i is not zeroed\n",
                                               TimeStr().c_str(), gage));
    return 0;
}

int zero_readings(int panel, int /*control*/, int event, void* /*callbackData*/, int /*eventData1*/,
                  int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    if (danger_operation_message("All gages will be set to ZERO.Continue?") != 0)
        return 0;
    const instrument_addresses addresses = shared_addresses();
    update_status_line(panel, MAIN_STATUS, "Zeroing gages");
    for (int gage = 1; gage <= 1; ++gage) {
        // The driver has said why a zeroing failed; the counter is not asked again.
        if (cam_move_gage_zero(addresses, gage) != 0) {
            update_status_line(panel, MAIN_STATUS, "Gages are not set to zero");
            return 0;
        }
        cam_move_GUI_out(panel, slot(14 + gage), cam_move_read_gage(addresses, gage) / GAGE_SCALE);
    }
    update_status_line(panel, MAIN_STATUS, "All gages are set to zero");
    return 0;
}

int read_pot(int panel, int control, int event, void* /*callbackData*/, int /*eventData1*/,
             int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    const int cam = pot_button_cam(control);
    if (cam == 0) {
        MessagePopup("Reading Error", "Error in pot number");
        return 0;
    }
    const param_structure& param = shared_param();
    const double angle = cam_move_read_cam_angles(shared_param(), shared_addresses(), cam);
    const auto i = static_cast<std::size_t>(cam - 1);
    cam_move_GUI_out(panel, slot(9 + cam),
                     DEGREES_PER_RADIAN * (param.pot_sign[i] * angle + param.pot_offset[i]));
    DisplayPanel(panel);
    return 0;
}

int read_gage(int panel, int control, int event, void* /*callbackData*/, int /*eventData1*/,
              int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    const int k =
        control >= MAIN_READ_GAGE_1 && control <= MAIN_READ_GAGE_5 ? gauge_button(control) : 0;
    if (k == 0) {
        MessagePopup("Reading Error", "Error in gage number");
        return 0;
    }
    const double reading = cam_move_read_gage(shared_addresses(), ev16p_gauge(shared_param(), k));
    cam_move_GUI_out(panel, slot(14 + k), reading / GAGE_SCALE);
    DisplayPanel(panel);
    return 0;
}

int zero_gage(int panel, int control, int event, void* /*callbackData*/, int /*eventData1*/,
              int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    const int k =
        control >= MAIN_ZERO_GAGE_1 && control <= MAIN_ZERO_GAGE_5 ? gauge_button(control) : 0;
    if (k == 0) {
        MessagePopup("Reading Error", "Error in gage number");
        return 0;
    }
    param_structure& param = shared_param();
    const int gage = ev16p_gauge(param, k);
    const int status = cam_move_gage_zero(shared_addresses(), gage);
    // Only the counter's channel 1 is zeroed: that gauge reads 0.0 once acknowledged, any
    // other gauge is shown as it reads now. A zeroing that failed leaves the stored reading
    // as it was and shows the gauge as unknown.
    double shown = kNotANumber;
    if (status == 0)
        shown =
            gage == kZeroedGauge ? 0.0 : cam_move_read_gage(shared_addresses(), gage) / GAGE_SCALE;
    if (status == 0 && gage >= 1 && gage <= GAGE_SLOTS)
        param.gage_value[static_cast<std::size_t>(gage - 1)] = shown;
    cam_move_GUI_out(panel, slot(14 + k), shown);
    DisplayPanel(panel);
    return 0;
}

int read_data(int panel, int /*control*/, int event, void* /*callbackData*/, int /*eventData1*/,
              int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    cam_move_read_motion_data(panel, shared_param(), coord_ctrls);
    return 0;
}
