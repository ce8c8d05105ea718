// Shutdown of the three instruments. No driver can open an instrument yet, so there is
// nothing to close; the drivers replace these with their own exits.
#include "drivers/cm6k6.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"

void hp34970_exit(int /*dev_ID*/) {}
void cm6k6_exit(int /*dev_ID*/) {}
int ev16p_exit(int /*dev_ID*/) {
    return 0;
}
