// The HP34970 data acquisition and switch unit (GPIB) driver.
//
// Only the shutdown exists so far: the instrument's bring-up, commands and device table
// arrive with the driver itself. Until then no HP34970 is ever opened.
#pragma once

// Closes the instrument held in device slot dev_ID.
void hp34970_exit(int dev_ID);
