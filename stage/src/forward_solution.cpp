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

// Where the face through `right` (slope t2) meets the face through `left` (slope -t1):
// the V vertex. d is t1 + t2, checked by the caller.
point faces_meet(point left, point right, double t1, double t2, double d) {
    const double x = ((left.y - right.y) + t1 * left.x + t2 * right.x) / d;
    return {x, left.y + (left.x - x) * t1};
}

// A divisor that is zero or not a number stops the solution.
bool unusable_divisor(double d) {
    return d == 0.0 || std::isnan(d);
}

} // namespace

int cam_move_vertex_coord_bounded(param_structure& param, const cam_angles& angles,
                                  vertex_coords& vertex, double& roll, int max_passes) {
    warn_angles_out_of_range(param, angles);
    const auto& e = param.cam_eccentricity;

    // End-1 cam circle centres; they do not depend on the roll.
    const point cam3{e[2] * std::cos(angles[2]) - ROLL_CAM_X, e[2] * std::sin(angles[2])};
    const point cam2{-V1_HALF_SPAN - e[1] * std::cos(angles[1] + V1_FACE_ANGLE),
                     e[1] * std::sin(angles[1] + V1_FACE_ANGLE)};
    const point cam1{V1_HALF_SPAN + e[0] * std::cos(angles[0] + V1_FACE_ANGLE),
                     e[0] * std::sin(angles[0] + V1_FACE_ANGLE)};

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
        const double t1 = std::tan(V1_FACE_ANGLE - t);
        const double t2 = std::tan(t + V1_FACE_ANGLE);
        const double d = t1 + t2;
        if (unusable_divisor(d)) {
            danger_operation_message(TANGENT_SUM_MESSAGE);
            return passes;
        }
        // Where cams 2 and 1 touch their faces, whose normals turn with the roll.
        const point p2{cam2.x + CAM_RADIUS * std::cos(t + V1_FACE_ANGLE),
                       cam2.y + CAM_RADIUS * std::sin(t + V1_FACE_ANGLE)};
        const point p1{cam1.x - CAM_RADIUS * std::cos(V1_FACE_ANGLE - t),
                       cam1.y + CAM_RADIUS * std::sin(V1_FACE_ANGLE - t)};
        const point v1 = faces_meet(p2, p1, t1, t2, d);
        vertex[0] = v1.x;
        vertex[1] = v1.y;

        const double den = vertex[0] - cam3.x;
        if (unusable_divisor(den)) {
            danger_operation_message(COORD_DIFFERENCE_MESSAGE);
            return passes;
        }
        // The slope from the roll cam to the lowered vertex stands for the roll angle.
        const double t_new = (vertex[1] - END1_LIFT + END1_OFFSET_Y - cam3.y) / den;
        err = std::fabs(roll - t_new);
        roll = t_new;
        t = t_new;
        ++passes;
    }

    const point cam5{-V2_HALF_SPAN - e[4] * std::cos(angles[4] + V2_FACE_ANGLE),
                     e[4] * std::sin(angles[4] + V2_FACE_ANGLE)};
    const point cam4{V2_HALF_SPAN + e[3] * std::cos(angles[3] + V2_FACE_ANGLE),
                     e[3] * std::sin(angles[3] + V2_FACE_ANGLE)};
    const double t1 = std::tan(V2_FACE_ANGLE - t);
    const double t2 = std::tan(t + V2_FACE_ANGLE);
    const double d = t1 + t2;
    if (unusable_divisor(d)) {
        danger_operation_message(TANGENT_SUM_MESSAGE);
        return passes;
    }
    const point p5{cam5.x + CAM_RADIUS * std::cos(t + V2_NORMAL_ANGLE),
                   cam5.y + CAM_RADIUS * std::sin(t + V2_NORMAL_ANGLE)};
    const point p4{cam4.x - CAM_RADIUS * std::cos(V2_NORMAL_ANGLE - t),
                   cam4.y + CAM_RADIUS * std::sin(V2_NORMAL_ANGLE - t)};
    const point v2 = faces_meet(p5, p4, t1, t2, d);
    vertex[2] = v2.x;
    vertex[3] = v2.y;
    return passes;
}

void cam_move_vertex_coord(param_structure& param, const cam_angles& angles, vertex_coords& vertex,
                           double& roll) {
    cam_move_vertex_coord_bounded(param, angles, vertex, roll, ROLL_MAX_PASSES);
}

void cam_move_angles_to_coord(param_structure& param, const cam_angles& angles) {
    warn_angles_out_of_range(param, angles);
    double a = 0.0;
    // After a division message the vertex is only partly computed; what was not reached
    // stays 0.0, so the coordinates below come from defined values (and show NaN wherever
    // a NaN caused the message).
    vertex_coords vertex{};
    cam_move_vertex_coord(param, angles, vertex, a);

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
}
