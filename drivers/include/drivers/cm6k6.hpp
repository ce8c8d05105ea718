// The CM6K6 six-axis motion controller (RS-232) driver.
//
// Only the shutdown exists so far: the instrument's bring-up, commands and device table
// arrive with the driver itself. Until then no CM6K6 is ever opened.
#pragma once

// Closes the instrument held in device slot dev_ID.
void cm6k6_exit(int dev_ID);
