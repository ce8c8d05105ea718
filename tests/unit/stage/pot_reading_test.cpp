// A potentiometer reading against a scripted data acquisition unit: a reference too small
// to be the potentiometers' supply is no reading.
#include "app/shell/shared_state.hpp"
#include "driver_fixture.hpp"
#include "stage/readings.hpp"

#include <cmath>
#include <string>

namespace {

class PotReading : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        shared_state_reset();
        fill_param_structure(param, addresses, 0);
        shared_device_ids().hp34970 = bring_up_daq();
    }
    void TearDown() override {
        shared_state_reset();
        DriverTest::TearDown();
    }
    // The relay of output 9 found `from` and switched.
    void expect_power(const char* from, const char* command) {
        daq.expect("ROUT:OPEN? (@209)", from).expect(command).expect("ROUT:DONE?", "1");
    }
    // One DC-voltage scan of `chan` answered with `reading`.
    void expect_volts(int chan, const std::string& reading) {
        const std::string l = "(@" + std::to_string(chan) + ")";
        for (const std::string& c :
             {"ROUTE:SCAN " + l, "SENSE:FUNCTION \"VOLTAGE:DC\", " + l,
              "SENSE:VOLTAGE:DC:RANGE:AUTO ON, " + l, "SENSE:VOLTAGE:DC:NPLC 10, " + l,
              "INPUT:IMPEDANCE:AUTO OFF, " + l, "SENSE:ZERO:AUTO ON, " + l,
              "CALCULATE:SCALE:STATE OFF, " + l, std::string("TRIGGER:SOURCE IMMEDIATE"),
              std::string("TRIGGER:COUNT 1"), "ROUTE:CHANNEL:DELAY:AUTO ON, " + l,
              std::string("FORMAT:READING:ALARM OFF"), std::string("FORMAT:READING:CHANNEL ON"),
              std::string("FORMAT:READING:TIME OFF"), std::string("FORMAT:READING:UNIT ON")})
            daq.expect(c);
        daq.expect("READ?", reading + " VDC," + std::to_string(chan))
            .expect("SYSTEM:ERROR?", "+0,\"No error\"");
    }
    double read_cam_1(const std::string& v, const std::string& v_ref) {
        expect_power("1", "ROUT:CLOS (@209)");
        expect_volts(101, v);
        expect_volts(110, v_ref);
        expect_power("0", "ROUT:OPEN (@209)");
        return cam_move_read_cam_angles(param, addresses, 1);
    }
    param_structure param{};
    instrument_addresses addresses{};
};

TEST_F(PotReading, AReferenceTooSmallOrAWiperBeyondItIsNoAngle) {
    // 5 V of 10 V: the middle of the track, angle 0.
    EXPECT_NEAR(read_cam_1("+5.0E+00", "+1.0E+01"), 0.0, 1e-12);
    // A lost supply: microvolts on both would give an angle of radians.
    EXPECT_TRUE(std::isnan(read_cam_1("+4.0E-06", "+2.0E-06")));
    // A reference below 1 V.
    EXPECT_TRUE(std::isnan(read_cam_1("+0.4E+00", "+0.8E+00")));
    // A wiper above its reference.
    EXPECT_TRUE(std::isnan(read_cam_1("+1.2E+01", "+1.0E+01")));
}

} // namespace
