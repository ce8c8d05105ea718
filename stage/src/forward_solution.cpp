// The forward solution: from the five cam angles to the two V vertices and the roll, and
// from those to the coordinates. The end-1 vertex and the roll depend on each other (the
// V faces turn with the roll, the roll follows from the vertex height over the roll
// cam), so they are found by a fixed-point iteration; the end-2 vertex follows in one step.
#include "stage/kinematics.hpp"

#include "app/shell/messages.hpp"
#include "stage/geometry.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace {

constexpr const char* OUT_OF_RANGE_MESSAGE = "Angle out of range (>90 Degrees). Continue?";
constexpr const char* TANGENT_SUM_MESSAGE = " Division by 0; tangent sum. Continue?";
constexpr const char* COORD_DIFFERENCE_MESSAGE = " Division by 0; Coordinate difference. Continue?";
constexpr const char* NOT_CONVERGING_MESSAGE = " Roll iteration does not converge. Continue?";

struct point {
    double x, y;
};

// Only the cams in play are checked (the first one on the test bench). The answer is not
// used: No ends the program by itself, and otherwise the computation goes on.
void warn_angles_out_of_range(const param_structure& param, const cam_angles& angles) {
    const std::size_t tested = std::min<std::size_t>(param.motors_per_move, angles.size());
    for (std::size_t k = 0; k < tested; ++k)
        if (std::fabs(angles[k]) >= RIGHT_ANGLE)
            danger_operation_message(OUT_OF_RANGE_MESSAGE);
}

// A divisor that is zero or not a number stops the solution.
bool unusable_divisor(double d) {
    return d == 0.0 || std::isnan(d);
}

// The circle centres of the two cams of a V whose faces rise at face_angle: the left cam
// turns about x = -half_span, the right one about x = +half_span.
struct v_cams {
    point left, right;
};

v_cams v_cam_centres(double half_span, double face_angle, double e_left, double theta_left,
                     double e_right, double theta_right) {
    return {{-half_span - e_left * std::cos(theta_left + face_angle),
             e_left * std::sin(theta_left + face_angle)},
            {half_span + e_right * std::cos(theta_right + face_angle),
             e_right * std::sin(theta_right + face_angle)}};
}

// The vertex of a V at roll t: the faces are inclined at face_angle -/+ t, and each cam
// touches its face where the face normal, inclined at normal_angle and turned by the roll,
// leaves the cam's circle centre. A tangent sum of zero (or not a
// number) is reported and leaves `vertex` as it was.
bool v_vertex(const v_cams& cams, double face_angle, double normal_angle, double t, point& vertex) {
    const double t1 = std::tan(face_angle - t);
    const double t2 = std::tan(t + face_angle);
    const double d = t1 + t2;
    if (unusable_divisor(d)) {
        danger_operation_message(TANGENT_SUM_MESSAGE);
        return false;
    }
    const point left{cams.left.x + CAM_RADIUS * std::cos(t + normal_angle),
                     cams.left.y + CAM_RADIUS * std::sin(t + normal_angle)};
    const point right{cams.right.x - CAM_RADIUS * std::cos(normal_angle - t),
                      cams.right.y + CAM_RADIUS * std::sin(normal_angle - t)};
    // The face through `right` has slope t2, the face through `left` slope -t1.
    vertex.x = ((left.y - right.y) + t1 * left.x + t2 * right.x) / d;
    vertex.y = left.y + (left.x - vertex.x) * t1;
    return true;
}

// How far a solution got: the roll passes made, and whether each end's vertex was
// computed (a division message stops the solution where it is).
struct vertex_solution {
    int passes;
    bool end1_done;
    bool end2_done;
};

vertex_solution solve_vertices(param_structure& param, const cam_angles& angles,
                               vertex_coords& vertex, double& roll, int max_passes) {
    warn_angles_out_of_range(param, angles);
    const auto& e = param.cam_eccentricity;

    // End-1 cam circle centres; they do not depend on the roll.
    const point cam3{e[2] * std::cos(angles[2]) - ROLL_CAM_X, e[2] * std::sin(angles[2])};
    // Cam 2 carries the left face of the end-1 V, cam 1 the right one.
    const v_cams end1 =
        v_cam_centres(V1_HALF_SPAN, V1_FACE_ANGLE, e[1], angles[1], e[0], angles[0]);

    double t = roll;
    double err = 1.0;
    int passes = 0;
    // A pass that yields a NaN roll ends the loop here (the comparison is false); the
    // end-2 tangent sum below then reports it.
    while (err > ROLL_TOLERANCE) {
        if (passes >= max_passes) {
            danger_operation_message(NOT_CONVERGING_MESSAGE);
            break;
        }
        // The end-1 faces rise at 45 degrees, so their normals lie at 45 degrees too.
        point v1{};
        if (!v_vertex(end1, V1_FACE_ANGLE, V1_FACE_ANGLE, t, v1))
            return {passes, false, false};
        vertex[0] = v1.x;
        vertex[1] = v1.y;

        const double den = vertex[0] - cam3.x;
        if (unusable_divisor(den)) {
            danger_operation_message(COORD_DIFFERENCE_MESSAGE);
            return {passes, false, false};
        }
        // The slope from the roll cam to the lowered vertex stands for the roll angle.
        const double t_new = (vertex[1] - END1_LIFT + END1_OFFSET_Y - cam3.y) / den;
        err = std::fabs(roll - t_new);
        roll = t_new;
        t = t_new;
        ++passes;
    }

    // End 2 with the final roll: cam 5 left, cam 4 right; the faces rise at 39 degrees, their
    // normals at 51.
    const v_cams end2 =
        v_cam_centres(V2_HALF_SPAN, V2_FACE_ANGLE, e[4], angles[4], e[3], angles[3]);
    point v2{};
    if (!v_vertex(end2, V2_FACE_ANGLE, V2_NORMAL_ANGLE, t, v2))
        return {passes, true, false};
    vertex[2] = v2.x;
    vertex[3] = v2.y;
    return {passes, true, true};
}

} // namespace

int cam_move_vertex_coord_bounded(param_structure& param, const cam_angles& angles,
                                  vertex_coords& vertex, double& roll, int max_passes) {
    return solve_vertices(param, angles, vertex, roll, max_passes).passes;
}

void cam_move_vertex_coord(param_structure& param, const cam_angles& angles, vertex_coords& vertex,
                           double& roll) {
    cam_move_vertex_coord_bounded(param, angles, vertex, roll, ROLL_MAX_PASSES);
}

void cam_move_angles_to_coord(param_structure& param, const cam_angles& angles) {
    warn_angles_out_of_range(param, angles);
    constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();
    // An end-1 cam angle that was not measured is no division by zero: every coordinate
    // needs end 1, so none can be worked out, and the operator is not asked about it. (An
    // end-2 angle that is not a number reaches no divisor; the roll is still known then.)
    if (!std::isfinite(angles[0]) || !std::isfinite(angles[1]) || !std::isfinite(angles[2])) {
        param.coord.fill(not_a_number);
        return;
    }
    double a = 0.0;
    vertex_coords vertex{};
    const vertex_solution solved = solve_vertices(param, angles, vertex, a, ROLL_MAX_PASSES);
    // After a division message the solution is incomplete: a coordinate it could not reach
    // is not a number, so that it is never shown or logged as where the stage is. The roll
    // is known once the end-1 iteration has finished; every other coordinate needs both
    // ends.
    if (!solved.end1_done) {
        param.coord.fill(not_a_number);
        return;
    }
    if (!solved.end2_done) {
        param.coord.fill(not_a_number);
        param.coord[COORD_ROLL] = a;
        return;
    }

    // The two reference points, turned back by the roll about their vertices.
    const double x1 =
        vertex[0] + END1_OFFSET_X - END1_OFFSET_X * std::cos(a) - END1_OFFSET_Y * std::sin(a);
    const double y1 =
        vertex[1] + END1_OFFSET_Y * std::cos(a) - END1_OFFSET_X * std::sin(a) - END1_LIFT;
    const double x2 = vertex[2] - END2_OFFSET_Y * std::sin(a);
    const double y2 = vertex[3] + END2_OFFSET_Y * std::cos(a) - END2_LIFT;

    param.coord[COORD_X] = (x1 + x2) / 2;
    param.coord[COORD_Y] = (y1 + y2) / 2;
    param.coord[COORD_ROLL] = a;
    param.coord[COORD_PITCH] = std::asin((y2 - y1) / BODY_LENGTH);
    param.coord[COORD_YAW] = std::asin((x2 - x1) / BODY_LENGTH);
    // A NaN made by arithmetic may carry a sign, which printf shows as "-nan"; the log and
    // the panel show every coordinate that could not be worked out alike.
    for (double& c : param.coord)
        if (std::isnan(c))
            c = not_a_number;
}
