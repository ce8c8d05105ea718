#include "gpib_place.hpp"

void GpibPlace::place(int from_board, int from_address, std::optional<std::pair<int, int>> to) {
    const std::lock_guard lock(mutex_);
    from_ = {from_board, from_address};
    to_ = to;
}

std::pair<int, int> GpibPlace::placed(int board, int address) const {
    const std::lock_guard lock(mutex_);
    if (to_ && from_ == std::pair{board, address})
        return *to_;
    return {board, address};
}

int GpibPlace::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    const auto [to_board, to_address] = placed(board, pad);
    return inner_.ibdev(to_board, to_address, sad, tmo, eot, eos);
}

std::string GpibPlace::describe_unit(int board, int address) const {
    const auto [to_board, to_address] = placed(board, address);
    return inner_.describe_unit(to_board, to_address);
}
