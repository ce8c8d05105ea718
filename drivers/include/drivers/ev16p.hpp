// The EV-16P gauge counter (RS-232) driver.
//
// Only the shutdown exists so far: the instrument's bring-up, commands and device table
// arrive with the driver itself. Until then no EV-16P is ever opened.
#pragma once

// Closes the instrument held in device slot dev_ID.
int ev16p_exit(int dev_ID);
