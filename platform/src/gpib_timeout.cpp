#include "platform/gpib_timeout.hpp"

double gpib_timeout_seconds(int code) {
    static constexpr double kSeconds[] = {0.0,  10e-6, 30e-6, 100e-6, 300e-6, 1e-3,
                                          3e-3, 10e-3, 30e-3, 100e-3, 300e-3, 1.0,
                                          3.0,  10.0,  30.0,  100.0,  300.0,  1000.0};
    if (code == 0)
        return kGpibNoTimeout;
    if (code < 0 || code > 17)
        return 0.0;
    return kSeconds[code];
}
