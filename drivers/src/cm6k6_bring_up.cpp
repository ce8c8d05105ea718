// CM6K6 bring-up (plain, and with a motion profile on one axis) and shutdown.
#include "cm6k6_state.hpp"
#include "drivers/cm6k6.hpp"
#include "drivers/protocol/cm6k6_protocol.hpp"
#include "drivers/wait_profile.hpp"
#include "platform/clock.hpp"
#include "platform/operator_thread.hpp"
#include "platform/serial.hpp"
#include "platform/text.hpp"

#include <cmath>
#include <functional>

namespace {

// A Stop during the bring-up refuses every command after it: the controller is not
// configured as sent, so it gets no id (the next operation brings it up again), and the
// operation ends without a word about the controller, which did nothing wrong.
bool stopped(int dev_ID) {
    if (!platform_stop_requested())
        return false;
    cm6k6_close_dev(dev_ID);
    return true;
}

// Opens the port and the slot and configures the controller. `profile` runs after
// continuous command execution is on and before the drives go off. False when the
// operator stopped the bring-up at a pop-up; otherwise *id holds the slot.
bool bring_up(int com_port, int address, double lhad, const std::function<void(int)>& profile,
              int* id) {
    if (com_port < 1 || com_port > 32)
        if (cm6k6_error_handling(com_port, "RS232_COM_PORT") == 1)
            return false;
    if (address < 0 || address > 99)
        if (cm6k6_error_handling(address, "RS232_DEV_ADDR") == 1)
            return false;
    Cm6k6State& s = cm6k6_state();
    s.com_port = com_port;
    if (const int r = OpenComConfig(com_port, "", 9600, 0, 8, 1, 512, 512); r != 0)
        if (cm6k6_error_handling(r, "OpenCom", cm6k6_port_details()) == 1)
            return false;
    if (const int r = FlushInQ(com_port); r != 0)
        if (cm6k6_error_handling(r, "FlushInQ") == 1)
            return false;
    if (const int r = FlushOutQ(com_port); r != 0)
        if (cm6k6_error_handling(r, "FlushOutQ") == 1)
            return false;
    const int dev_ID = cm6k6_open_dev(address);
    if (dev_ID < 1)
        if (cm6k6_error_handling(dev_ID, "RS232.Device was not opened") == 1)
            return false;

    cm6k6_out(dev_ID, "!RESET");
    {
        // The operator's Stop ends the reset's wait: the bring-up goes no further.
        const StopInterruptible reset;
        profile_wait(DesignedWait::controller_reset);
    }
    if (stopped(dev_ID))
        return false;
    cm6k6_forget_motion();
    for (const char* command : {"PORT1", "E1", "ECHO0", "STARTP CLR", "AXSDEF000000",
                                "LS0,0,0,0,0,0", "LH0,0,0,0,0,0", "LIMLVL0"})
        cm6k6_out(dev_ID, command);
    cm6k6_outf(dev_ID, "@LHAD%f", lhad);
    cm6k6_out(dev_ID, "DRFEN000000");
    cm6k6_out(dev_ID, "ENCCNT111111");
    cm6k6_out(dev_ID, "SCALE1");
    for (const char* name : {"DRES", "SCLD", "SCLV", "SCLA"})
        cm6k6_out(dev_ID, cm6k6_resolution_command(name, kCm6k6StepsPerRev).c_str());
    for (const char* name : {"ERES", "SCLMAS"})
        cm6k6_out(dev_ID, cm6k6_resolution_command(name, kCm6k6EncoderCountsPerRev).c_str());
    for (const char* command :
         {"FOLRN1,1,1,1,1,1", "FOLRD1,1,1,1,1,1", "DRIVE111111", "PSET000000", "COMEXC1"})
        cm6k6_out(dev_ID, command);
    if (profile)
        profile(dev_ID);
    cm6k6_out(dev_ID, "DRIVE000000");
    if (stopped(dev_ID))
        return false;
    *id = dev_ID;
    return true;
}

} // namespace

void cm6k6_init(int /*panel*/, int com_port, int address, int* dev_ID) {
    int id = 0;
    if (!bring_up(com_port, address, 1.0, nullptr, &id))
        return;
    // A controller that does not answer its status query, or reports an error after the
    // configuration, is not configured as sent: handing out its id would have bring-up
    // log it as initialised and the first move wait on a controller that never answers.
    if (cm6k6_read_error_status(id) != 0) {
        cm6k6_close_dev(id);
        return;
    }
    *dev_ID = id;
}

int cm6k6_cam_init(int /*panel*/, int com_port, int address, int* dev_ID, short axis, double vel,
                   double acc) {
    // A profile that is not a number must not reach the controller.
    if (!std::isfinite(vel)) {
        cm6k6_error_handling(0, cm6k6_not_finite_text("vel", vel).c_str());
        return -1;
    }
    if (!std::isfinite(acc)) {
        cm6k6_error_handling(0, cm6k6_not_finite_text("acc", acc).c_str());
        return -1;
    }
    const int a = axis;
    const auto profile = [a, vel, acc](int id) {
        cm6k6_outf(id, "%dMA0", a);
        cm6k6_outf(id, "%dMC0", a);
        cm6k6_outf(id, "%dA%f", a, acc);
        cm6k6_outf(id, "%dAA%f", a, acc / 2.0);
        cm6k6_outf(id, "%dAD%f", a, acc);
        cm6k6_outf(id, "%dADA%f", a, acc / 2.0);
        cm6k6_outf(id, "%dV%f", a, vel);
        if (a >= 1 && a <= kCm6k6Axes) {
            cm6k6_state().velocity[static_cast<unsigned>(a)] = vel;
            cm6k6_state().acceleration[static_cast<unsigned>(a)] = acc;
        }
    };
    int id = 0;
    if (!bring_up(com_port, address, 10.0, profile, &id))
        return -1;
    // As cm6k6_init: a controller whose status could not be read clean gets no id.
    if (cm6k6_read_error_status(id) != 0) {
        cm6k6_close_dev(id);
        return -1;
    }
    *dev_ID = id;
    return 0;
}

void cm6k6_exit(int dev_ID) {
    if (!DeviceTable::in_range(dev_ID)) {
        cm6k6_error(strfmt("dev_ID = %i, out of range", dev_ID).c_str());
        return;
    }
    if (cm6k6_check_dev_open(dev_ID) == 1) {
        cm6k6_out(dev_ID, "DRIVE000000");
        cm6k6_close_dev(dev_ID);
    }
}
