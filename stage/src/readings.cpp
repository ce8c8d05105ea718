// The potentiometer and gauge readings.
#include "stage/readings.hpp"

#include "app/shell/shared_state.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "drivers/wait_profile.hpp"

#include <cmath>
#include <limits>

namespace {

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

// The HP34970 output that powers the potentiometers while they are read, and the voltage
// channel that carries their reference.
constexpr int POT_POWER_OUTPUT = 9;
constexpr int POT_REFERENCE_CHANNEL = 10;
// The reference is the potentiometers' supply (10 V on the bench). The calibration turns
// the voltage ratio into an angle at about 6.2 rad per unit of ratio, so below 1 V the
// meter's microvolts of noise alone would move an angle by a measurable amount, and a lost
// supply (microvolts) would give angles of millions of radians: such a reference is no
// reading.
constexpr double MIN_REFERENCE_VOLTS = 1.0;
// A wiper reads between the ends of its potentiometer: a ratio outside 0..1 (with this
// margin for the meter) is no position of the cam.
constexpr double RATIO_MARGIN = 0.01;

bool plausible_ratio(double v, double v_ref) {
    if (!(v_ref >= MIN_REFERENCE_VOLTS))
        return false;
    const double ratio = v / v_ref;
    return ratio >= -RATIO_MARGIN && ratio <= 1.0 + RATIO_MARGIN;
}

} // namespace

double cam_move_read_cam_angles(param_structure& param, instrument_addresses addresses, int cam) {
    if (cam < 1 || cam > CAM_COUNT)
        return NOT_A_NUMBER;
    int& id = shared_device_ids().hp34970;
    if (id < 1 && !program_ending())
        hp34970_init(addresses.hp_gpib_board_addr, addresses.hp_gpib_dev_addr, &id);
    // The driver has already told the operator why it could not open the unit; asking it
    // to read from a unit it does not hold would only add a stop message per channel.
    if (id < 1)
        return NOT_A_NUMBER;

    hp34970_switch_on_off(id, POT_POWER_OUTPUT, 1);
    // The potentiometers settle after their power comes on (the fast waits keep it).
    profile_wait(DesignedWait::pot_settle);
    double v = NOT_A_NUMBER;
    double v_ref = NOT_A_NUMBER;
    hp34970_get_chan_volt(id, cam, &v);
    hp34970_get_chan_volt(id, POT_REFERENCE_CHANNEL, &v_ref);

    const auto k = static_cast<std::size_t>(cam - 1);
    const double theta =
        param.pot_sign[k] * (v / v_ref - 0.5) * param.pot_scale[k] - param.pot_offset[k];
    hp34970_switch_on_off(id, POT_POWER_OUTPUT, 0);
    return plausible_ratio(v, v_ref) && std::isfinite(theta) ? theta : NOT_A_NUMBER;
}

double cam_move_read_gage(instrument_addresses addresses, int gage) {
    int& id = shared_device_ids().ev16p;
    if (id <= 0 && !program_ending())
        ev16p_init(addresses.ev_com_port, addresses.ev_dev_addr, &id);
    if (id <= 0)
        return NOT_A_NUMBER;
    return ev16p_read(id, gage);
}
