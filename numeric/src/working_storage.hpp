// Working arrays for one call of a numerical routine, obtained without letting an
// allocation failure escape as an exception.
#pragma once

#include <cstddef>
#include <vector>

namespace numeric_detail {

// Resizes v to count zeroed doubles. Returns false, with v left empty, when the storage
// cannot be obtained (exhausted memory or a count beyond what a vector can hold).
inline bool obtain(std::vector<double>& v, std::size_t count) noexcept {
    try {
        v.assign(count, 0.0);
        return true;
    } catch (...) {
        std::vector<double>().swap(v);
        return false;
    }
}

} // namespace numeric_detail
