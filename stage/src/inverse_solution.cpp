// The inverse solution: from the target coordinates to the two V vertices, and from the
// vertices to one angle per cam. Closed-form; the operator is asked before going on with
// a cam that cannot reach its face or an angle beyond 90 degrees.
#include "stage/kinematics.hpp"

#include "app/shell/messages.hpp"
#include "stage/geometry.hpp"

#include <cmath>

namespace {

constexpr const char* UNREACHABLE_MESSAGE = "Unreachable position. Continue?";

// How a cam's angle follows from the arc sine of its contact condition: the cams whose
// face falls with the roll (3, 1, 4) turn against it, the others (2, 5) with it.
enum class angle_form { roll_minus_asin, asin_minus_roll };

// One row of the solution. s is the sine of the cam's contact condition; a value that is
// not a number counts as out of range, hence the negated tests. Returns false when the
// operator refused to go on with an unreachable cam: the angle is then left as it was.
bool solve_cam(double s, angle_form form, double roll, double& angle, const char* beyond_text) {
    if (!(std::fabs(s) <= 1.0) && danger_operation_message(UNREACHABLE_MESSAGE) != 0)
        return false;
    angle = form == angle_form::roll_minus_asin ? roll - std::asin(s) : std::asin(s) - roll;
    // A warning only: the next cam is solved whatever the answer.
    if (!(std::fabs(angle) <= RIGHT_ANGLE))
        danger_operation_message(beyond_text);
    return true;
}

} // namespace

void cam_move_coord_to_angles(param_structure& param, vertex_coords& vertex) {
    const double x = param.coord[COORD_X];
    const double y = param.coord[COORD_Y];
    const double roll = param.coord[COORD_ROLL];
    const double pitch = param.coord[COORD_PITCH];
    const double yaw = param.coord[COORD_YAW];

    const double x_a = x - HALF_BODY_LENGTH * std::sin(yaw);
    const double y_a = y - HALF_BODY_LENGTH * std::sin(pitch);
    const double x_b = x + HALF_BODY_LENGTH * std::sin(yaw);
    const double y_b = y + HALF_BODY_LENGTH * std::sin(pitch);

    // The end-1 reference point turns with the roll on an arm of length rho at angle phi
    // about the end-1 vertex; these undo the forward solution's end-1 formula.
    const double rho = std::sqrt(END1_OFFSET_X * END1_OFFSET_X + END1_OFFSET_Y * END1_OFFSET_Y);
    const double phi = std::atan(END1_OFFSET_Y / END1_OFFSET_X);

    vertex[0] = x_a + rho * std::cos(phi - roll) - END1_OFFSET_X;
    vertex[1] = y_a + END1_LIFT - rho * std::sin(phi - roll);
    vertex[2] = x_b + END2_OFFSET_Y * std::sin(roll);
    vertex[3] = y_b - END2_OFFSET_Y * std::cos(roll) + END2_LIFT;
}

int cam_move_cam_angles(param_structure& param, cam_angles& angles, const vertex_coords& vertex) {
    const double r = param.coord[COORD_ROLL];
    const double vx1 = vertex[0], vy1 = vertex[1], vx2 = vertex[2], vy2 = vertex[3];
    const auto& e = param.cam_eccentricity;
    using enum angle_form;

    // The messages are numbered in the order of computation, not by cam: the first is
    // about cam 3. Its text has no blank after the point, as the operators know it.
    // Each s is evaluated only when its row is reached, after the operator went on.
    if (!solve_cam(
            ((vx1 + ROLL_CAM_X) * std::sin(r) - vy1 * std::cos(r) + END1_LIFT - END1_OFFSET_Y) /
                e[2],
            roll_minus_asin, r, angles[2], "Angle Teta1 > 90.Continue?"))
        return 3;
    if (!solve_cam(((vx1 + V1_HALF_SPAN) * std::sin(V1_FACE_ANGLE - r) +
                    vy1 * std::cos(V1_FACE_ANGLE - r) - CAM_RADIUS) /
                       e[1],
                   asin_minus_roll, r, angles[1], "Angle Teta2 > 90. Continue?"))
        return 2;
    if (!solve_cam(((vx1 - V1_HALF_SPAN) * std::sin(r + V1_FACE_ANGLE) -
                    vy1 * std::cos(r + V1_FACE_ANGLE) + CAM_RADIUS) /
                       e[0],
                   roll_minus_asin, r, angles[0], "Angle Teta3 > 90. Continue?"))
        return 1;
    if (!solve_cam(((vx2 - V2_HALF_SPAN) * std::sin(r + V2_FACE_ANGLE) -
                    vy2 * std::cos(r + V2_FACE_ANGLE) + CAM_RADIUS) /
                       e[3],
                   roll_minus_asin, r, angles[3], "Angle Teta4 > 90. Continue?"))
        return 4;
    if (!solve_cam(((vx2 + V2_HALF_SPAN) * std::sin(V2_FACE_ANGLE - r) +
                    vy2 * std::cos(V2_FACE_ANGLE - r) - CAM_RADIUS) /
                       e[4],
                   asin_minus_roll, r, angles[4], "Angle Teta5 > 90. Continue?"))
        return 5;
    return 0;
}
