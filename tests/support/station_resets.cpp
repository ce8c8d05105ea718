#include "station_resets.hpp"

#include "drivers/cm6k6.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"

void reset_driver_tables() {
    hp34970_reset();
    cm6k6_reset();
    ev16p_reset();
}
