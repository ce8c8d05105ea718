// The potentiometer and gauge readings.
#include "stage/readings.hpp"

#include "app/shell/shared_state.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "platform/clock.hpp"

#include <cmath>
#include <limits>

namespace {

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

// The HP34970 output that powers the potentiometers while they are read, and the voltage
// channel that carries their reference.
constexpr int POT_POWER_OUTPUT = 9;
constexpr int POT_REFERENCE_CHANNEL = 10;
// The potentiometers settle this long after their power comes on.
constexpr double POT_SETTLE_SECONDS = 1.0;

} // namespace

double cam_move_read_cam_angles(param_structure& param, instrument_addresses addresses, int cam) {
    if (cam < 1 || cam > CAM_COUNT)
        return NOT_A_NUMBER;
    int& id = shared_device_ids().hp34970;
    if (id < 1)
        hp34970_init(addresses.hp_gpib_board_addr, addresses.hp_gpib_dev_addr, &id);
    // The driver has already told the operator why it could not open the unit; asking it
    // to read from a unit it does not hold would only add a stop message per channel.
    if (id < 1)
        return NOT_A_NUMBER;

    hp34970_switch_on_off(id, POT_POWER_OUTPUT, 1);
    Delay(POT_SETTLE_SECONDS);
    double v = NOT_A_NUMBER;
    double v_ref = NOT_A_NUMBER;
    hp34970_get_chan_volt(id, cam, &v);
    hp34970_get_chan_volt(id, POT_REFERENCE_CHANNEL, &v_ref);

    const auto k = static_cast<std::size_t>(cam - 1);
    const double theta =
        param.pot_sign[k] * (v / v_ref - 0.5) * param.pot_scale[k] - param.pot_offset[k];
    hp34970_switch_on_off(id, POT_POWER_OUTPUT, 0);
    // A reference of 0 V gives an infinite ratio: no angle was measured.
    return std::isfinite(theta) ? theta : NOT_A_NUMBER;
}

double cam_move_read_gage(instrument_addresses addresses, int gage) {
    int& id = shared_device_ids().ev16p;
    if (id <= 0)
        ev16p_init(addresses.ev_com_port, addresses.ev_dev_addr, &id);
    if (id <= 0)
        return NOT_A_NUMBER;
    return ev16p_read(id, gage);
}
