#include "stage_system_drivers.hpp"

#include "app/shell/shared_state.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"

void stage_system_reset_drivers() {
    cm6k6_reset();
    ev16p_reset();
    hp34970_reset();
}

bool stage_system_open_instruments(int panel) {
    device_ids& ids = shared_device_ids();
    const instrument_addresses& a = shared_addresses();
    hp34970_init(a.hp_gpib_board_addr, a.hp_gpib_dev_addr, &ids.hp34970);
    cm6k6_init(panel, a.cm_com_port, a.cm_dev_addr, &ids.cm6k6);
    return ids.hp34970 > 0 && ids.cm6k6 > 0;
}
