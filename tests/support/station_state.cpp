#include "station_state.hpp"

#include "app/parameters_panel.hpp"
#include "app/shell/run_log.hpp"
#include "app/shell/shared_state.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"

void reset_station_state() {
    shared_state_reset();
    parameters_panel_reset();
    run_log_reset();
    hp34970_reset();
    cm6k6_reset();
    ev16p_reset();
}
