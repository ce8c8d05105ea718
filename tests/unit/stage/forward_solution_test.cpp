// The forward solution: coordinates from cam angles, the roll iteration and its bound, the
// over-range warning, the division messages and what comes out after them, and the round
// trip through the inverse solution. Expected numbers are the Python reference of
// kinematics_test_support.hpp.
#include "kinematics_test_support.hpp"

#include "stage/geometry.hpp"

#include <cmath>
#include <limits>

namespace {

constexpr double NEAR = 1e-12;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
const std::string OUT_OF_RANGE = "Angle out of range (>90 Degrees). Continue?";

void expect_coords(const coordinates& got, const coordinates& want, double tolerance) {
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(got[i], want[i], tolerance) << "coordinate " << i;
}

cam_angles inverse_of(param_structure& param, const coordinates& target) {
    param.coord = target;
    vertex_coords vertex{};
    cam_angles angles{};
    cam_move_coord_to_angles(param, vertex);
    cam_move_cam_angles(param, angles, vertex);
    return angles;
}

} // namespace

using ForwardSolution = KinematicsTest;

TEST_F(ForwardSolution, ZeroAnglesGiveCoordinatesNearZeroInTwoPasses) {
    // "vertex zero" and "forward zero".
    vertex_coords vertex{};
    double roll = 0.0;
    EXPECT_EQ(cam_move_vertex_coord_bounded(param, {0, 0, 0, 0, 0}, vertex, roll, ROLL_MAX_PASSES),
              2);
    EXPECT_NEAR(vertex[0], -5.365189132169803e-08, NEAR);
    EXPECT_NEAR(vertex[1], 0.00015261883590176814, NEAR);
    EXPECT_NEAR(vertex[2], -3.889608447324142e-07, NEAR);
    EXPECT_NEAR(vertex[3], -0.10345437193251045, NEAR);
    EXPECT_NEAR(roll, -1.2033254391806817e-06, NEAR);

    cam_move_angles_to_coord(param, {0, 0, 0, 0, 0});
    expect_coords(param.coord,
                  {1.0535923526422035e-07, -2.940394838585325e-07, -1.2033254391806817e-06,
                   -8.113940483002317e-08, -1.0974534021090438e-07},
                  NEAR);
    for (double c : param.coord)
        EXPECT_LT(std::fabs(c), 2e-6);
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(ForwardSolution, InverseAnglesLeadBackToTheTarget) {
    // "forward inverse X=0.001": the reference returns X within 4.4e-17 and the others
    // within 3.5e-16.
    cam_move_angles_to_coord(param, inverse_of(param, {0.001, 0, 0, 0, 0}));
    expect_coords(param.coord, {0.001, 0, 0, 0, 0}, 1e-15);

    // "forward inverse Roll=0.001": three passes; the slope stands for the roll, so the
    // roll comes back 5.7e-10 high and the others within 6.2e-11.
    const cam_angles roll_angles = inverse_of(param, {0, 0, 0.001, 0, 0});
    vertex_coords vertex{};
    double roll = 0.0;
    EXPECT_EQ(cam_move_vertex_coord_bounded(param, roll_angles, vertex, roll, ROLL_MAX_PASSES), 3);
    cam_move_angles_to_coord(param, roll_angles);
    EXPECT_NEAR(param.coord[COORD_ROLL], 0.001000000574769133, NEAR);
    EXPECT_NEAR(param.coord[COORD_ROLL], 0.001, 1e-9);
    expect_coords({param.coord[0], param.coord[1], 0, param.coord[3], param.coord[4]},
                  {0, 0, 0, 0, 0}, 1e-10);

    // "forward inverse G": all five coordinates, back within 7.4e-11.
    const coordinates g{0.0003, -0.0002, 0.0004, 0.00015, -0.00025};
    cam_move_angles_to_coord(param, inverse_of(param, g));
    expect_coords(param.coord,
                  {0.00029999992940026396, -0.00020000000485551062, 0.00040000005182568845,
                   0.00015000000506905709, -0.0002499999264554387},
                  NEAR);
    expect_coords(param.coord, g, 2e-10);
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(ForwardSolution, OverRangeAngleIsWarnedByBothRoutines) {
    // Exactly RIGHT_ANGLE counts ("forward th1=RA"); the answer is not used, so Reset
    // still gives the coordinates.
    op.answer_generic(3);
    op.answer_generic(3);
    cam_move_angles_to_coord(param, {RIGHT_ANGLE, 0, 0, 0, 0});
    EXPECT_EQ(danger_texts(), (std::vector<std::string>{OUT_OF_RANGE, OUT_OF_RANGE}));
    expect_coords(param.coord,
                  {-0.0004077410998839351, 0.0001482561521476411, 0.0016558916238099176,
                   -0.0001543056874714224, 0.0004247261497524759},
                  NEAR);

    // "forward th3=-1.6", answered Yes.
    op.clear_records();
    op.answer_generic(1);
    op.answer_generic(1);
    cam_move_angles_to_coord(param, {0, 0, -1.6, 0, 0});
    EXPECT_EQ(danger_texts(), (std::vector<std::string>{OUT_OF_RANGE, OUT_OF_RANGE}));
    expect_coords(param.coord,
                  {-0.00020398813343806637, -0.00015989087655705891, 0.002331905095747602,
                   0.00016719208762539826, 0.0002124777618210454},
                  NEAR);
}

TEST_F(ForwardSolution, SingleMotorTestsOnlyTheFirstAngle) {
    param.motors_per_move = 1;
    // "forward mpm=1 th5=2.0": cam 5 is beyond 90 degrees but not in play: no warning, yet
    // it still moves the end-2 vertex.
    cam_move_angles_to_coord(param, {0, 0, 0, 0, 2.0});
    EXPECT_TRUE(op.popups().empty());
    expect_coords(param.coord,
                  {0.00026993894848247393, 0.00021821235139229955, -1.2033254391806817e-06,
                   0.00022753134606209595, 0.00028096896335463807},
                  NEAR);

    // "forward mpm=1 th1=-1.6": the first angle is tested, by both routines.
    op.answer_generic(1);
    op.answer_generic(1);
    cam_move_angles_to_coord(param, {-1.6, 0, 0, 0, 0});
    EXPECT_EQ(danger_texts(), (std::vector<std::string>{OUT_OF_RANGE, OUT_OF_RANGE}));
    expect_coords(param.coord,
                  {0.00040708458828283363, -0.0001493042722923027, -0.0016572954473274874,
                   0.00015566066995469953, -0.0004240422634700219},
                  NEAR);
}

TEST_F(ForwardSolution, SolutionStoppedAtADivisionGivesNoCoordinates) {
    // "forward e2=e1 e3=0.3175": equal eccentricities put the end-1 vertex exactly at
    // x = 0, where the roll cam's centre now is. The solution stops before the roll and
    // end 2 are known; coordinates built on the missing vertex (Y = 0.0517, Pitch = 0.0539
    // with it taken as 0) would show a stage far from where it is, so none is given.
    param.cam_eccentricity[1] = param.cam_eccentricity[0];
    param.cam_eccentricity[2] = ROLL_CAM_X;
    op.answer_generic(1);
    cam_move_angles_to_coord(param, {0, 0, 0, 0, 0});
    EXPECT_EQ(danger_texts(),
              std::vector<std::string>{" Division by 0; Coordinate difference. Continue?"});
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(std::isnan(param.coord[i])) << "coordinate " << i;

    // An end-1 angle that was not measured is no division by zero: nothing is asked, and
    // no coordinate comes out, the roll included.
    op.clear_records();
    fill_param_structure(param, addresses, 0);
    cam_move_angles_to_coord(param, {NaN, 0, 0, 0, 0});
    EXPECT_TRUE(op.popups().empty());
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(std::isnan(param.coord[i])) << "coordinate " << i;
}

TEST_F(ForwardSolution, EndTwoAngleThatIsNotFiniteLeavesOnlyTheRoll) {
    // Cam 4 enters only the end-2 vertex: the roll is still known, the coordinates that
    // need end 2 are not. The cosine of an infinite angle is a negative NaN, which printf
    // would show as "-nan"; no coordinate is left one. (Infinity is beyond 90 degrees:
    // warned twice, answered Yes.)
    op.answer_generic(1);
    op.answer_generic(1);
    cam_move_angles_to_coord(param, {0, 0, 0, std::numeric_limits<double>::infinity(), 0});
    EXPECT_EQ(danger_texts(), (std::vector<std::string>{OUT_OF_RANGE, OUT_OF_RANGE}));
    EXPECT_NEAR(param.coord[COORD_ROLL], -1.2033254391806817e-06, NEAR);
    for (int i : {COORD_X, COORD_Y, COORD_PITCH, COORD_YAW}) {
        EXPECT_TRUE(std::isnan(param.coord[i])) << "coordinate " << i;
        EXPECT_FALSE(std::signbit(param.coord[i])) << "coordinate " << i;
    }
}

TEST_F(ForwardSolution, TangentSumThatIsNotANumberStopsAtOnce) {
    // "vertex roll=nan": the first pass's tangent sum; the vertex is left as it was.
    vertex_coords vertex{SENTINEL, SENTINEL, SENTINEL, SENTINEL};
    double roll = NaN;
    op.answer_generic(1);
    EXPECT_EQ(cam_move_vertex_coord_bounded(param, {0, 0, 0, 0, 0}, vertex, roll, ROLL_MAX_PASSES),
              0);
    EXPECT_EQ(danger_texts(), std::vector<std::string>{" Division by 0; tangent sum. Continue?"});
    for (double v : vertex)
        EXPECT_EQ(v, SENTINEL);
    EXPECT_TRUE(std::isnan(roll));

    // "vertex e3=inf": an infinite roll-cam eccentricity makes the first roll NaN, which
    // ends the iteration; the end-2 tangent sum reports it and end 2 is not computed.
    op.clear_records();
    op.answer_generic(3);
    param.cam_eccentricity[2] = std::numeric_limits<double>::infinity();
    roll = 0.0;
    cam_move_vertex_coord(param, {0, 0, 0, 0, 0}, vertex, roll);
    EXPECT_EQ(danger_texts(), std::vector<std::string>{" Division by 0; tangent sum. Continue?"});
    EXPECT_NEAR(vertex[0], 0.0, NEAR);
    EXPECT_NEAR(vertex[1], 0.00015261884005981705, NEAR);
    EXPECT_EQ(vertex[2], SENTINEL);
    EXPECT_EQ(vertex[3], SENTINEL);
    EXPECT_TRUE(std::isnan(roll));
}

TEST_F(ForwardSolution, RollThatDoesNotSettleIsCutAtThePassBound) {
    // "forward e3=0.3173": this roll cam puts the fixed point past its stable range and
    // the roll swings between -0.001017 and -0.002043 for ever. After ROLL_MAX_PASSES
    // (100) passes the operator is warned once and the last roll is used, whatever the
    // answer; with a bound of 101 the other value of the swing comes out.
    param.cam_eccentricity[2] = 0.3173;
    op.answer_generic(3);
    cam_move_angles_to_coord(param, {0, 0, 0, 0, 0});
    EXPECT_EQ(danger_texts(),
              std::vector<std::string>{" Roll iteration does not converge. Continue?"});
    expect_coords(param.coord,
                  {6.625513799182043e-05, 6.955831849685123e-05, -0.001017419781834208,
                   -7.264740614103564e-05, -6.901212848584417e-05},
                  1e-9);

    op.clear_records();
    op.answer_generic(1);
    vertex_coords vertex{};
    double roll = 0.0;
    EXPECT_EQ(cam_move_vertex_coord_bounded(param, {0, 0, 0, 0, 0}, vertex, roll, 101), 101);
    EXPECT_NEAR(roll, -0.0020429371248890504, 1e-9);
    EXPECT_EQ(danger_texts(),
              std::vector<std::string>{" Roll iteration does not converge. Continue?"});
}
