// The stage kinematics: cam angles from coordinates (inverse solution) and coordinates
// from cam angles (forward solution).
//
// The inverse solution is closed-form in two steps, the V vertices from the coordinates
// and one angle per cam from the vertices, with a reachability and a 90-degree check per
// cam. The forward solution finds the end-1 vertex and the roll by a fixed-point
// iteration, then the end-2 vertex, then the coordinates. Both ask the operator through
// danger_operation_message where a position is unreachable or beyond 90 degrees.
#pragma once

#include "stage/records.hpp"

// The forward solution's roll iteration ends when one pass changes the roll by no more
// than this.
constexpr double ROLL_TOLERANCE = 1e-7;

// The most roll passes the forward solution makes. With the stock geometry two or three
// suffice; a geometry where the fixed point repels (an eccentricity edited far out of
// range) would otherwise iterate for ever. When it is reached the operator is warned and
// the solution goes on with the roll of the last pass.
constexpr int ROLL_MAX_PASSES = 100;

// Inverse solution, step 1: the two V vertices from param.coord.
void cam_move_coord_to_angles(param_structure& param, vertex_coords& vertex);

// Inverse solution, step 2: the cam angles from the vertices, cams in the order 3, 2, 1, 4,
// 5. A refused "Unreachable position. Continue?" ends the routine, leaving that cam's angle
// and the later ones as they were, and returns that cam's number (1..5): the solution is
// incomplete and no cam may be moved to it. 0 when every row was solved.
int cam_move_cam_angles(param_structure& param, cam_angles& angles, const vertex_coords& vertex);

// Forward solution, step 1: the end-1 vertex and the roll by iteration (roll is the
// starting value and receives every pass's result), then the end-2 vertex.
void cam_move_vertex_coord(param_structure& param, const cam_angles& angles, vertex_coords& vertex,
                           double& roll);

// cam_move_vertex_coord with the pass bound given (cam_move_vertex_coord uses
// ROLL_MAX_PASSES); returns the number of roll passes made.
int cam_move_vertex_coord_bounded(param_structure& param, const cam_angles& angles,
                                  vertex_coords& vertex, double& roll, int max_passes);

// Forward solution: writes param.coord from the cam angles.
void cam_move_angles_to_coord(param_structure& param, const cam_angles& angles);
