// The two kinematic solutions for a reachable target, X = 0.0005 and the rest 0, with the
// default stage record: the inverse solution (vertices, then cam angles) and the forward
// solution from the angles the inverse solution gives.
#include "stage/kinematics.hpp"
#include "stage/records.hpp"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr coordinates TARGET{0.0005, 0.0, 0.0, 0.0, 0.0};

param_structure default_record() {
    param_structure param{};
    instrument_addresses addresses{};
    fill_param_structure(param, addresses, 0);
    param.coord = TARGET;
    return param;
}

cam_angles inverse_solution(param_structure& param) {
    vertex_coords vertex{};
    cam_angles angles{};
    cam_move_coord_to_angles(param, vertex);
    cam_move_cam_angles(param, angles, vertex);
    return angles;
}

// The forward solution of the inverse solution's angles must give the target back; a
// target that needed the operator's confirmation would not be measured.
bool round_trip_reaches_target() {
    param_structure param = default_record();
    const cam_angles angles = inverse_solution(param);
    cam_move_angles_to_coord(param, angles);
    return std::fabs(param.coord[COORD_X] - TARGET[COORD_X]) < 1e-6;
}

void BM_InverseSolution(benchmark::State& state) {
    if (!round_trip_reaches_target()) {
        state.SkipWithError("the round trip does not reach the target");
        return;
    }
    param_structure param = default_record();
    for (auto _ : state) {
        param.coord = TARGET;
        cam_angles angles = inverse_solution(param);
        benchmark::DoNotOptimize(angles);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InverseSolution);

void BM_ForwardSolution(benchmark::State& state) {
    if (!round_trip_reaches_target()) {
        state.SkipWithError("the round trip does not reach the target");
        return;
    }
    param_structure param = default_record();
    const cam_angles angles = inverse_solution(param);
    for (auto _ : state) {
        cam_move_angles_to_coord(param, angles);
        benchmark::DoNotOptimize(param.coord);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ForwardSolution);

} // namespace
