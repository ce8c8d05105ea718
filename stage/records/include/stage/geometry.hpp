// The stage geometry and the unit conversions, as built-in literal values.
//
// The body rests at two ends BODY_LENGTH apart. At end 1 cams 1 and 2 carry a V whose faces
// rise at 45 degrees and cam 3 fixes the roll; at end 2 cams 4 and 5 carry a V whose faces
// rise at 39 degrees. The lifts and offsets agree with the V geometry to six decimals, so
// that all cam angles 0 give coordinates within a few millionths of zero; the relations
// are not evaluated at run time.
#pragma once

constexpr double BODY_LENGTH = 1.919986;
constexpr double HALF_BODY_LENGTH = 0.959993;
constexpr double CAM_RADIUS = 0.031;
constexpr double V1_HALF_SPAN = 0.043688;
constexpr double ROLL_CAM_X = 0.3175;
constexpr double V2_HALF_SPAN = 0.177015;
constexpr double END1_OFFSET_X = 0.137135;
constexpr double END1_OFFSET_Y = 0.219696;
constexpr double END1_LIFT = 0.219849;
constexpr double END2_OFFSET_Y = 0.323242;
constexpr double END2_LIFT = 0.219788;
constexpr double V1_FACE_ANGLE = 0.7853982;
constexpr double V2_FACE_ANGLE = 0.6806784;
constexpr double V2_NORMAL_ANGLE = 0.8901179265;
constexpr double RIGHT_ANGLE = 1.5707963265;
constexpr double PI_VALUE = 3.141592653;
constexpr double MOTOR_REVS_PER_CAM_REV = 120.0;
constexpr double MAX_MOTOR_REVS = 60.0;
constexpr double GAGE_SCALE = 1000.0;

// Degrees per radian as the panels show angles.
constexpr double DEGREES_PER_RADIAN = 57.295779513;
