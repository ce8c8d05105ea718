// The inverse solution: vertices and cam angles from coordinates, the unreachable and
// 90-degree confirmations and how the operator's answers end or continue the solution.
// Expected numbers are the Python reference of kinematics_test_support.hpp.
#include "kinematics_test_support.hpp"

#include "stage/geometry.hpp"

#include <cmath>
#include <limits>

namespace {

constexpr double NEAR = 1e-12;

// The cam where the operator refused to go on (0: none), of the last solve.
int refused_at = -1;

cam_angles solve(param_structure& param, const coordinates& target, cam_angles angles) {
    param.coord = target;
    vertex_coords vertex{};
    cam_move_coord_to_angles(param, vertex);
    refused_at = cam_move_cam_angles(param, angles, vertex);
    return angles;
}

cam_angles sentinels() {
    return {SENTINEL, SENTINEL, SENTINEL, SENTINEL, SENTINEL};
}

void expect_angles(const cam_angles& got, const cam_angles& want, double tolerance) {
    for (int k = 0; k < CAM_COUNT; ++k)
        EXPECT_NEAR(got[k], want[k], tolerance) << "cam " << k + 1;
}

} // namespace

using InverseSolution = KinematicsTest;

TEST_F(InverseSolution, VerticesFollowAllFiveCoordinates) {
    // "vertices G": the end points move apart by yaw and pitch, end 1 turns with the roll.
    param.coord = {0.0003, -0.0002, 0.0004, 0.00015, -0.00025};
    vertex_coords vertex{};
    cam_move_coord_to_angles(param, vertex);
    EXPECT_NEAR(vertex[0], 0.0006278656743567146, NEAR);
    EXPECT_NEAR(vertex[1], -0.00013612737524298923, NEAR);
    EXPECT_NEAR(vertex[2], 0.0001892985490520671, NEAR);
    EXPECT_NEAR(vertex[3], -0.1035099751911803, NEAR);
}

TEST_F(InverseSolution, ReachableTargetsGiveAnglesWithoutMessage) {
    // "inverse zero": the stock record's coordinates.
    const cam_angles zero = solve(param, {0, 0, 0, 0, 0}, sentinels());
    EXPECT_NEAR(zero[0], 0.00036372574146268776, NEAR);
    EXPECT_NEAR(zero[1], 0.00036128790126602786, NEAR);
    EXPECT_LT(std::fabs(zero[2]), 1e-13);
    EXPECT_NEAR(zero[3], 0.0003859111442914347, NEAR);
    EXPECT_NEAR(zero[4], 0.000386944373644918, NEAR);

    // "inverse X=0.001": the largest X the panel accepts, every cam far round.
    const cam_angles x = solve(param, {0.001, 0, 0, 0, 0}, sentinels());
    expect_angles(
        x, {-1.2659612760923236, 1.247601659940444, 0.0, -0.9969667061510651, 1.0025585978812483},
        NEAR);
    EXPECT_LT(std::fabs(x[2]), 1e-13);

    // "inverse G": all five coordinates at once.
    expect_angles(solve(param, {0.0003, -0.0002, 0.0004, 0.00015, -0.00025}, sentinels()),
                  {-1.0313552673269486, 0.30909968790538295, -0.5962982089052897,
                   -0.10838536562480157, -0.007396994373975554},
                  NEAR);
    EXPECT_TRUE(op.popups().empty());
    EXPECT_EQ(refused_at, 0);
}

TEST_F(InverseSolution, RefusedUnreachableCamLeavesEveryAngle) {
    // "inverse Y=0.001 refused": the first row, cam 3, has s = -1.3495. No also stops the
    // program.
    op.answer_generic(2);
    const cam_angles angles = solve(param, {0, 0.001, 0, 0, 0}, sentinels());
    EXPECT_EQ(danger_texts(), std::vector<std::string>{"Unreachable position. Continue?"});
    expect_angles(angles, sentinels(), 0.0);
    EXPECT_EQ(refused_at, 3);
    EXPECT_TRUE(op.quit_requested());
}

TEST_F(InverseSolution, AcceptedUnreachableCamStoresNotANumberAndWarns) {
    // "inverse Y=0.001 go on, stop at 2nd": Yes keeps s = -1.3495, so cam 3 gets NaN and
    // its 90-degree warning (numbered 1, no blank after the point). Cams 2 and 1 follow;
    // Reset at cam 4's unreachable confirmation leaves cams 4 and 5 alone.
    op.answer_generic(1);
    op.answer_generic(1);
    op.answer_generic(3);
    const cam_angles angles = solve(param, {0, 0.001, 0, 0, 0}, sentinels());
    EXPECT_EQ(danger_texts(), (std::vector<std::string>{"Unreachable position. Continue?",
                                                        "Angle Teta1 > 90.Continue?",
                                                        "Unreachable position. Continue?"}));
    EXPECT_NEAR(angles[0], 1.2683941925943802, NEAR);
    EXPECT_NEAR(angles[1], 1.2476014414611045, NEAR);
    EXPECT_TRUE(std::isnan(angles[2]));
    EXPECT_EQ(angles[3], SENTINEL);
    EXPECT_EQ(refused_at, 4); // the solution is incomplete: the caller moves nothing
    EXPECT_EQ(angles[4], SENTINEL);
    EXPECT_FALSE(op.quit_requested());
}

TEST_F(InverseSolution, RightAngleIsTheLastAngleWithoutWarning) {
    // With eccentricities of 1e20 every s vanishes, so each angle is +-Roll exactly
    // ("inverse e=1e20 Roll=RA" and "... Roll=next(RA)").
    param.cam_eccentricity = {1e20, 1e20, 1e20, 1e20, 1e20};
    expect_angles(solve(param, {0, 0, RIGHT_ANGLE, 0, 0}, sentinels()),
                  {RIGHT_ANGLE, -RIGHT_ANGLE, RIGHT_ANGLE, RIGHT_ANGLE, -RIGHT_ANGLE}, 0.0);
    EXPECT_TRUE(op.popups().empty());

    // One step beyond: all five warnings, numbered in the order of computation. The answer
    // is not used: Reset to each, and every cam is still solved.
    for (int k = 0; k < CAM_COUNT; ++k)
        op.answer_generic(3);
    const double beyond = std::nextafter(RIGHT_ANGLE, 2.0);
    expect_angles(solve(param, {0, 0, beyond, 0, 0}, sentinels()),
                  {beyond, -beyond, beyond, beyond, -beyond}, 0.0);
    EXPECT_EQ(danger_texts(), (std::vector<std::string>{
                                  "Angle Teta1 > 90.Continue?", "Angle Teta2 > 90. Continue?",
                                  "Angle Teta3 > 90. Continue?", "Angle Teta4 > 90. Continue?",
                                  "Angle Teta5 > 90. Continue?"}));
}

TEST_F(InverseSolution, ZeroEccentricityIsUnreachable) {
    // "inverse e2=0": cam 3 is solved first, then cam 2's s is infinite.
    param.cam_eccentricity[1] = 0.0;
    op.answer_generic(3);
    const cam_angles angles = solve(param, {0, 0, 0, 0, 0}, sentinels());
    EXPECT_EQ(danger_texts(), std::vector<std::string>{"Unreachable position. Continue?"});
    EXPECT_LT(std::fabs(angles[2]), 1e-13);
    EXPECT_EQ(angles[0], SENTINEL);
    EXPECT_EQ(angles[1], SENTINEL);
    EXPECT_EQ(angles[3], SENTINEL);
    EXPECT_EQ(angles[4], SENTINEL);
}

TEST_F(InverseSolution, NotANumberTargetCountsAsUnreachable) {
    // A NaN fails |s| <= 1; Reset ends the solution before any angle is written.
    op.answer_generic(3);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    expect_angles(solve(param, {nan, 0, 0, 0, 0}, sentinels()), sentinels(), 0.0);
    EXPECT_EQ(danger_texts(), std::vector<std::string>{"Unreachable position. Continue?"});
}
