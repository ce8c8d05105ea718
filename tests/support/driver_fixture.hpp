// Fixture for driver tests: the platform fixture, plus the controller on COM2, the gauge
// counter on COM5 and the data acquisition unit at GPIB 1/9, each a scripted instrument
// on an in-process link, and the three drivers' tables emptied before and after each test.
// A write the script did not expect, or a scripted step never reached, fails the test.
#pragma once

#include "drivers/cm6k6.hpp"
#include "drivers/delay.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"
#include "platform/link/link_backends.hpp"
#include "platform_fixture.hpp"
#include "scripted_instrument.hpp"

#include <string>
#include <vector>

// The controller's configuration commands at bring-up, in order, after which it is asked
// for its error status four times.
extern const std::vector<std::string> kControllerConfiguration;

class DriverTest : public PlatformTest {
protected:
    static constexpr int kControllerPort = 2;
    static constexpr int kCounterPort = 5;
    static constexpr int kBoard = 1;
    static constexpr int kDaqAddress = 9;

    void SetUp() override;
    void TearDown() override;

    // Scripts and runs the controller's bring-up on COM2 (address 1), then forgets its
    // traffic, the pop-ups and the console text, and returns the id.
    int bring_up_controller();
    // Opens the counter on COM5 (address 11) with a clean HOLD check; returns the id.
    int bring_up_counter();
    // Opens the unit at GPIB 1/9; returns the id.
    int bring_up_daq();

    // The operator presses ENTER at the next console stop messages.
    void press_enter(int times = 1);
    // The console text printed since the last call, then forgotten.
    std::string take_console();
    // The messages of the confirm pop-ups so far.
    std::vector<std::string> confirm_texts() const;

    LinkSerialBackend serial;
    LinkGpibBackend gpib;
    ScriptedInstrument controller{"\r\n", "\r"};
    ScriptedInstrument counter{"\r\n", "\r"};
    ScriptedInstrument daq{"\n", "\n"};
};

// The text of the confirm pop-up for a what-text and code, as the drivers word it.
std::string confirm_text(const std::string& what, int code);
// A console stop message of the controller or the unit, prompt included.
std::string cm6k6_stop_text(const std::string& text);
std::string hp34970_stop_text(const std::string& text);
