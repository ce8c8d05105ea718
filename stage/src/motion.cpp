// The Move sequence and the motor moves.
#include "stage/motion.hpp"

#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/hp34970.hpp"
#include "platform/files.hpp"
#include "platform/operator_thread.hpp"
#include "platform/panels.hpp"
#include "platform/text.hpp"
#include "stage/geometry.hpp"
#include "stage/kinematics.hpp"
#include "stage/readings.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

const std::array<int, 2 * CAM_COUNT> motor_lamps = {
    MAIN_SWITCH_LED_1, MAIN_SWITCH_LED_2, MAIN_SWITCH_LED_3, MAIN_SWITCH_LED_4, MAIN_SWITCH_LED_5,
    MAIN_MOVE_LED_1,   MAIN_MOVE_LED_2,   MAIN_MOVE_LED_3,   MAIN_MOVE_LED_4,   MAIN_MOVE_LED_5,
};

namespace {

constexpr const char* LOG_OPEN_FAILED = "Unable to open log file";
constexpr const char* ANGLE_BEYOND_RIGHT = "Angle > 90. Continue?";
constexpr const char* TOO_MANY_REVOLUTIONS = " Too many motor revolutions. Continue?";
constexpr const char* NOT_MOVED_TITLE = "Cams not moved";
constexpr const char* REFUSED_TITLE = "Move refused";

// Motor revolutions that turn a cam by delta radians, before the motor's sign.
double motor_revolutions(double delta) {
    return MOTOR_REVS_PER_CAM_REV * delta / PI_VALUE / 2.0;
}

std::size_t cams_in_play(const param_structure& param) {
    return std::min<std::size_t>(param.motors_per_move, CAM_COUNT);
}

// An instrument may be used only while the driver holds it open: after a No at an "ERROR"
// confirmation its connection is closed, though its port stays open, and bytes written
// there would reach the instrument behind the operator's back.
bool switch_unit_open() {
    const int id = shared_device_ids().hp34970;
    return id >= 1 && id <= 10 && hp34970_check_dev_open(id) == 1;
}
bool controller_open() {
    const int id = shared_device_ids().cm6k6;
    return id >= 1 && id <= 10 && cm6k6_check_dev_open(id) == 1;
}

// Says why no motor is moved when an instrument the move needs is closed; false then.
bool instruments_ready() {
    if (!controller_open()) {
        MessagePopup(REFUSED_TITLE, "The CM6K6 is not open: no motor is moved.");
        return false;
    }
    if (!switch_unit_open()) {
        MessagePopup(REFUSED_TITLE, "The HP34970 is not open: no motor is moved.");
        return false;
    }
    return true;
}

// The operator's data file, held open for one move when logging to a file was chosen. The
// move's coordinate entries go there as well as to the run log, framed alike.
class data_file {
public:
    data_file(std::string_view path, bool wanted) : path_(path) {
        if (wanted)
            handle_ = OpenFile(path, VAL_WRITE_ONLY, VAL_APPEND, VAL_ASCII);
        failed_ = wanted && handle_ < 0;
    }
    ~data_file() {
        if (handle_ >= 0)
            CloseFile(handle_);
    }
    data_file(const data_file&) = delete;
    data_file& operator=(const data_file&) = delete;

    bool failed() const { return failed_; }

    // Writes the coordinates entry to the run log, and to the data file when one is open
    // and is not the run log itself.
    void log(std::string_view title, const param_structure& param) const {
        cam_move_log_motion_data(title, param);
        if (handle_ < 0 || path_ == motion_log_path())
            return;
        const std::string entry = frame_log_entry(log_line());
        if (WriteFile(handle_, entry) != static_cast<long>(entry.size()))
            cam_move_error_handling(1, LOG_OPEN_FAILED);
    }

private:
    std::string path_;
    int handle_ = -1;
    bool failed_ = false;
};

// move_cam_motor, with the report of the cams whose move is not a number left to a caller
// that knows why (tell_not_moved false).
int drive_motors(int panel, param_structure& param, motor_move& move, int show,
                 bool tell_not_moved) {
    const int hp_id = shared_device_ids().hp34970;
    const int cm_id = shared_device_ids().cm6k6;

    if (param.motors_per_move != CAM_COUNT) {
        const int axis = param.test_axis;
        if (axis < 1 || axis > CAM_COUNT) {
            MessagePopup(REFUSED_TITLE, strfmt("There is no cam %i to move.", axis).c_str());
            return -1;
        }
        const double distance = move[0] * param.motor_sign[static_cast<std::size_t>(axis - 1)];
        if (!std::isfinite(distance)) {
            if (tell_not_moved)
                MessagePopup(
                    NOT_MOVED_TITLE,
                    strfmt("Cam %i is not moved: its angle is not a number.", axis).c_str());
            return -1;
        }
        // One cam alone is held to the stage's revolution limit, with the same question.
        if (std::fabs(distance) > MAX_MOTOR_REVS &&
            danger_operation_message(TOO_MANY_REVOLUTIONS) != 0)
            return -1;
        if (!instruments_ready())
            return -1;
        hp34970_switch_on_off(hp_id, axis, 1);
        const int moved = cm6k6_cam_move(panel, motor_lamps[1], cm_id, axis, distance, 0);
        hp34970_switch_on_off(hp_id, axis, 0);
        DisplayPanel(panel);
        return moved == 0 ? 0 : -1;
    }

    if (!instruments_ready())
        return -1;
    // A move that is not a number is sent as no move at all; the cam's relay stays open
    // and its lamp out, so nothing can turn it.
    std::array<bool, CAM_COUNT> moving{};
    std::string not_moved;
    for (std::size_t i = 0; i < CAM_COUNT; ++i) {
        moving[i] = std::isfinite(move[i]);
        if (moving[i]) {
            move[i] *= param.motor_sign[i];
        } else {
            move[i] = 0.0;
            not_moved += strfmt("%sCam %zu is not moved: its angle is not a number.",
                                not_moved.empty() ? "" : "\n", i + 1);
        }
    }
    if (tell_not_moved && !not_moved.empty())
        MessagePopup(NOT_MOVED_TITLE, not_moved.c_str());
    if (std::find(moving.begin(), moving.end(), true) == moving.end())
        return -1; // nothing to send

    for (std::size_t i = 0; i < CAM_COUNT; ++i) {
        if (!moving[i])
            continue;
        if (show != 0)
            SetCtrlVal(panel, motor_lamps[i], 1);
        hp34970_switch_on_off(hp_id, static_cast<int>(i) + 1, 1);
        DisplayPanel(panel);
    }
    const int moved = cm6k6_cam_move_5(panel, motor_lamps.data(), cm_id, move.data());
    for (std::size_t i = 0; i < CAM_COUNT; ++i) {
        if (!moving[i])
            continue;
        hp34970_switch_on_off(hp_id, static_cast<int>(i) + 1, 0);
        if (show != 0)
            SetCtrlVal(panel, motor_lamps[i], 0);
    }
    DisplayPanel(panel);
    return moved == 0 && not_moved.empty() ? 0 : -1;
}

// Ends a Move the operator refused: the status line says so and why. A question cut short
// by the operator's Stop is no refusal: the caller reports the Stop.
int refuse_move(int panel, const std::string& why) {
    if (platform_stop_requested())
        return -1;
    update_status_line(panel, MAIN_STATUS, why.c_str());
    return MOVE_REFUSED;
}

} // namespace

int cam_move_go(int panel, instrument_addresses addresses, param_structure& param,
                const coordinate_controls& ctrls, std::string_view log_file, int absolute) {
    const std::size_t n = cams_in_play(param);
    const data_file file(log_file, param.log_to_file == 1);
    if (file.failed()) {
        cam_move_error_handling(1, LOG_OPEN_FAILED);
        return program_ending() ? 1 : 0;
    }

    int s = cam_move_get_coordinates(panel, param, addresses, ctrls);
    if (s != 0)
        return 0;

    const coordinates typed = param.coord;
    cam_angles angles = param.cam_angle;
    cam_move_angles_to_coord(param, angles);
    // A No at a question of the forward solution has closed the instruments and ends the
    // program: nothing more is logged or sent.
    if (program_ending())
        return 1;
    file.log("Initial position coordinates", param);

    const coordinates present = param.coord;
    for (std::size_t i = 0; i < n; ++i)
        param.coord[i] = typed[i] + (absolute == 0 ? present[i] : 0.0);

    // A target that is not a number (relative to a present position that could not be
    // worked out) has no cam angles: the operator is not asked about each cam's reach.
    bool target_known = true;
    for (std::size_t i = 0; i < n; ++i)
        target_known = target_known && std::isfinite(param.coord[i]);
    vertex_coords vertex{};
    int unreachable = 0;
    if (target_known) {
        cam_move_coord_to_angles(param, vertex);
        unreachable = cam_move_cam_angles(param, angles, vertex);
    } else {
        angles.fill(std::numeric_limits<double>::quiet_NaN());
    }
    if (program_ending())
        return 1;
    // The operator refused to go on with a cam that cannot reach the target: the solution
    // is incomplete, and moving the cams solved before it would leave the stage neither
    // where it was nor where it was asked to go.
    if (unreachable != 0)
        return refuse_move(panel, strfmt("Move refused: cam %d cannot reach the target "
                                         "(unreachable position)",
                                         unreachable));

    std::string refusal;
    for (std::size_t i = 0; i < n && s == 0; ++i)
        if (std::fabs(angles[i]) > RIGHT_ANGLE) {
            s = danger_operation_message(ANGLE_BEYOND_RIGHT);
            refusal =
                strfmt("Move refused: the target angle of cam %zu is beyond 90 degrees", i + 1);
        }
    // A refused step ends the move before anything is opened or sent.
    if (s != 0)
        return program_ending() ? 1 : refuse_move(panel, refusal);

    // A cam whose present or target angle is not a number has no move: it stays where it
    // is and the operator hears which one and why, while the others go on.
    motor_move move{};
    std::string not_moved;
    for (std::size_t i = 0; i < n; ++i) {
        move[i] = motor_revolutions(angles[i] - param.cam_angle[i]);
        if (std::fabs(move[i]) > MAX_MOTOR_REVS) {
            s = danger_operation_message(TOO_MANY_REVOLUTIONS);
            refusal =
                strfmt("Move refused: cam %zu would turn more than 60 motor revolutions", i + 1);
        }
        if (s != 0)
            return program_ending() ? 1 : refuse_move(panel, refusal);
        if (std::isfinite(move[i]))
            continue;
        const char* which = std::isfinite(param.cam_angle[i]) ? "target" : "present";
        not_moved += strfmt("%sCam %zu is not moved: its %s angle is not a number.",
                            not_moved.empty() ? "" : "\n", i + 1, which);
    }
    if (!not_moved.empty())
        MessagePopup(NOT_MOVED_TITLE, not_moved.c_str());

    // Opened only once every question has been answered: a refused move opens nothing.
    int& cm_id = shared_device_ids().cm6k6;
    if (cm_id < 1)
        cm6k6_init(panel, addresses.cm_com_port, addresses.cm_dev_addr, &cm_id);
    if (platform_stop_requested())
        return -1; // stopped while the controller was brought up: nothing was started

    // The operator has just been told which cams stay and why.
    const int moved = drive_motors(panel, param, move, 1, false);
    if (platform_stop_requested())
        return -1; // the operator stopped it: the caller reports and reads where the cams are

    for (int k = 1; k <= CAM_COUNT; ++k)
        param.cam_angle[static_cast<std::size_t>(k - 1)] =
            cam_move_read_cam_angles(param, addresses, k);
    const cam_angles reached = param.cam_angle;
    cam_move_angles_to_coord(param, reached);
    if (program_ending())
        return 1;
    file.log("Final coordinates", param);
    return moved;
}

int move_cam_motor(int panel, param_structure& param, motor_move& move, int show) {
    return drive_motors(panel, param, move, show, true);
}
