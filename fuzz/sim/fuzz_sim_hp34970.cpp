// The simulated hp34970 under arbitrary input.
#include "sim_fuzz_run.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    run_sim_fuzz(data, size, [](SimStage& s) -> LinkPeer& { return s.hp34970(); });
    return 0;
}
