// The simulated data acquisition unit on the in-process GPIB link.
#include "sim_stage_fixture.hpp"
#include "sim_wire.hpp"

#include <cmath>

namespace {

class Hp34970SimTest : public SimStageTest {
protected:
    void SetUp() override {
        SimStageTest::SetUp();
        ud = open_daq();
        ASSERT_GT(ud, 0);
    }
    void scan_volts(const std::string& list) {
        daq_send(ud, "ROUTE:SCAN " + list);
        daq_send(ud, "SENSE:FUNCTION \"VOLTAGE:DC\", " + list);
        daq_send(ud, "SENSE:VOLTAGE:DC:NPLC 10, " + list);
        daq_send(ud, "SENSE:ZERO:AUTO ON, " + list);
        daq_send(ud, "FORMAT:READING:CHANNEL ON");
        daq_send(ud, "FORMAT:READING:UNIT ON");
    }
    int ud = 0;
};

} // namespace

TEST_F(Hp34970SimTest, IdentifiesAndKeepsARealErrorQueue) {
    EXPECT_EQ(daq_query(ud, "*IDN?"), "HEWLETT-PACKARD,34970A,0,13-2-2");
    EXPECT_EQ(daq_query(ud, "SYSTEM:ERROR?"), "+0,\"No error\"");
    daq_send(ud, "FROB:NICATE 3");
    daq_send(ud, "TRIGGER:COUNT 0");
    daq_send(ud, "ROUT:CLOS (@409)");
    daq_send(ud, "ROUT:CLOS");
    daq_send(ud, "TRIG:SOUR NOW");
    daq_send(ud, "SYST:CPON ALL");
    daq_send(ud, "*RST");
    EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "-113,\"Undefined header\"");
    EXPECT_EQ(daq_query(ud, "SYSTEM:ERROR?"), "-222,\"Data out of range\"");
    EXPECT_EQ(daq_query(ud, "SYSTEM:ERROR?"), "-221,\"Settings conflict\"");
    EXPECT_EQ(daq_query(ud, "SYSTEM:ERROR?"), "-109,\"Missing parameter\"");
    EXPECT_EQ(daq_query(ud, "SYSTEM:ERROR?"), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(daq_query(ud, "SYSTEM:ERROR?"), "+0,\"No error\"");
}

// Only the standard headers, in their long or short form and any case: a half-known one is
// "Undefined header" and changes nothing, a setting without its value "Missing parameter".
TEST_F(Hp34970SimTest, AcceptsOnlyTheStandardFormsOfAHeader) {
    const std::string list = "(@111)";
    for (const std::string good :
         {"sens:func \"TEMP\", ", "SENSe:FUNCtion \"TEMPerature\", ", "UNIT:TEMP C, ",
          "unit:temperature c, ", "SENS:TEMP:NPLC 10, ", "sense:temperature:nplcycles 10, "})
        daq_send(ud, good + list);
    EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "+0,\"No error\"");
    daq_send(ud, "SENS:FUNC \"VOLT\", " + list);
    for (const std::string bad : {"SENS:FUNC:TEMP, ", "SENS:TEMP:NPLS 10, ",
                                  "SENSE:FUNCT \"TEMP\", ", "SEN:FUNC \"TEMP\", "})
        daq_send(ud, bad + list);
    daq_send(ud, "UNIT:TEMP, " + list);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "-113,\"Undefined header\"") << i;
    EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "-109,\"Missing parameter\"");
    daq_send(ud, "ROUT:SCAN " + list);
    daq_send(ud, "FORM:READ:UNIT ON");
    EXPECT_EQ(daq_query(ud, "READ?").substr(15), " VDC"); // still a voltage channel
}

TEST_F(Hp34970SimTest, ErrorQueueHoldsTwentyEntries) {
    for (int i = 0; i < 25; ++i)
        daq_send(ud, "BAD");
    EXPECT_EQ(daq_query(ud, "*OPC?"), "1");
    EXPECT_EQ(sim.hp34970().errors_queued(), 20u);
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "-113,\"Undefined header\"");
    EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "-350,\"Queue overflow\"");
}

TEST_F(Hp34970SimTest, UnreadReplyIsInterruptedByTheNextCommand) {
    daq_send(ud, "*IDN?");
    Delay(0.01);
    EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "-410,\"Query INTERRUPTED\"");
}

TEST_F(Hp34970SimTest, SwitchesRelaysAndReportsThem) {
    EXPECT_EQ(daq_query(ud, "ROUT:OPEN? (@209)"), "1");
    daq_send(ud, "ROUT:CLOS (@209)");
    EXPECT_EQ(daq_query(ud, "ROUT:DONE?"), "1");
    EXPECT_TRUE(relay_closed(209));
    EXPECT_EQ(daq_query(ud, "ROUT:OPEN? (@209)"), "0");
    EXPECT_EQ(daq_query(ud, "ROUT:CLOS? (@201:203)"), "0,0,0");
    daq_send(ud, "ROUT:OPEN (@209)");
    EXPECT_EQ(daq_query(ud, "ROUT:DONE?"), "1");
    EXPECT_FALSE(relay_closed(209));
    stick_relay(205, false);
    daq_send(ud, "ROUT:CLOS (@205)");
    EXPECT_EQ(daq_query(ud, "ROUT:OPEN? (@205)"), "1");
}

// Readings come in ascending channel order with value, unit and channel; each takes
// 10 line cycles twice (autozero) plus the channel delay.
TEST_F(Hp34970SimTest, ReadsThePotentiometersInScanOrder) {
    daq_send(ud, "ROUT:CLOS (@209)");
    scan_volts("(@110, 101)");
    EXPECT_EQ(daq_query(ud, "*OPC?"), "1");
    Delay(1.0); // the pots settle
    const double start = now();
    const std::string reply = daq_query(ud, "READ?");
    EXPECT_NEAR(now() - start, 2 * (0.002 + 0.4), 1e-6);
    double v101 = 0, v110 = 0;
    int c1 = 0, c2 = 0;
    char u1[8] = {}, u2[8] = {};
    ASSERT_EQ(std::sscanf(reply.c_str(), "%lf %3s,%d,%lf %3s,%d", &v101, u1, &c1, &v110, u2, &c2),
              6)
        << reply;
    EXPECT_EQ(c1, 101);
    EXPECT_EQ(c2, 110);
    EXPECT_STREQ(u1, "VDC");
    EXPECT_NEAR(v101, 5.0, 3.5e-6); // cam 1 at angle 0: half the reference
    EXPECT_NEAR(v110, 10.0, 3.5e-6);
    EXPECT_EQ(reply.substr(0, 16).size(), 16u);
    EXPECT_EQ(reply[0], '+');
    EXPECT_EQ(reply.substr(11, 4), "E+00");
}

// Read straight after relay 209 closes, a wiper reads its rise as the meter integrates
// it: the contacts make when the relay's operation ends, and channel 101's window is its
// own (after the channel delay, 10 line cycles), not the command's time or the reply's.
TEST_F(Hp34970SimTest, APotentiometerReadTooSoonReadsItsSupplyStillRising) {
    scan_volts("(@101)");
    daq_send(ud, "ROUT:CLOS (@209)");
    const std::string reply = daq_query(ud, "READ?");
    double closed_at = -1.0, read_at = -1.0;
    for (const auto& [time, command] : sim.hp34970().history()) {
        if (command == "ROUT:CLOS (@209)")
            closed_at = time;
        if (command == "READ?")
            read_at = time;
    }
    ASSERT_GE(closed_at, 0.0);
    ASSERT_GT(read_at, closed_at);
    // The mean of the wiper over [read + 2 ms, read + 202 ms], from the stage's own
    // instant values; cam 1 at angle 0 settles at half the reference.
    const int steps = 100000;
    double sum = 0.0;
    for (int i = 0; i < steps; ++i)
        sum += model().pot_volts_exact(1, read_at + 0.002 + 0.2 * (i + 0.5) / steps);
    const double mean = sum / steps;
    EXPECT_LT(mean, 4.8); // plainly unsettled
    EXPECT_GT(mean, 0.0);
    double v = 0.0;
    ASSERT_EQ(std::sscanf(reply.c_str(), "%lf", &v), 1) << reply;
    EXPECT_NEAR(v, mean, 4e-6);
    EXPECT_EQ(model().pot_volts_exact(1, closed_at + 0.015 + 0.0049), 0.0); // bouncing
    EXPECT_GT(model().pot_volts_exact(1, closed_at + 0.015 + 0.0051), 0.0);
}

TEST_F(Hp34970SimTest, PotentiometersReadNothingWithoutPower) {
    scan_volts("(@101)");
    const std::string reply = daq_query(ud, "READ?");
    double v = 1.0;
    ASSERT_EQ(std::sscanf(reply.c_str(), "%lf", &v), 1);
    EXPECT_LE(std::fabs(v), 3.5e-6);
    // A lost reference: microvolts of pick-up, not a clean zero.
    model().faults().reference_lost = true;
    scan_volts("(@110)");
    const std::string lost = daq_query(ud, "READ?");
    ASSERT_EQ(std::sscanf(lost.c_str(), "%lf", &v), 1) << lost;
    EXPECT_GE(std::fabs(v), 1e-6);
    EXPECT_LE(std::fabs(v), 6.5e-6);
}

TEST_F(Hp34970SimTest, TemperatureAsTheDriverAsksForIt) {
    const std::string list = "(@111)";
    daq_send(ud, "ROUTE:SCAN " + list);
    daq_send(ud, "SENS:FUNC \"TEMP\", " + list);
    daq_send(ud, "UNIT:TEMP C, " + list);
    daq_send(ud, "SENS:TEMP:NPLC 10, " + list);
    EXPECT_EQ(daq_query(ud, "SENS:TEMP:TRAN:TYPE? " + list), "TC");
    EXPECT_EQ(daq_query(ud, "SENS:TEMP:TRAN:TC:TYPE? " + list), "J");
    daq_send(ud, "SENS:TEMP:TRAN:TC:TYPE J, " + list);
    daq_send(ud, "SENS:TEMP:TRAN:TC:RJUN:TYPE INT, " + list);
    daq_send(ud, "SENS:TEMP:TRAN:TC:CHEC ON, " + list);
    daq_send(ud, "FORMAT:READING:CHANNEL ON");
    const std::string reply = daq_query(ud, "READ?");
    EXPECT_EQ(reply, strfmt("%+.8E C,111", model().temperature(now())));
    EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "+0,\"No error\"");
    stage_faults().thermocouple_open = true; // the unit's overload reading
    EXPECT_EQ(daq_query(ud, "READ?"), "+9.90000000E+37 C,111");
}

TEST_F(Hp34970SimTest, ResetOpensRelaysAndClearsTheScan) {
    daq_send(ud, "ROUT:CLOS (@201,209)");
    scan_volts("(@101)");
    daq_send(ud, "*RST");
    EXPECT_EQ(daq_query(ud, "ROUT:OPEN? (@201,209)"), "1,1");
    EXPECT_EQ(daq_query(ud, "READ?"), "<timeout>");
    EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "-221,\"Settings conflict\"");
}

TEST_F(Hp34970SimTest, ReplyFaults) {
    sim.hp34970().faults().reply = ReplyFault::truncated;
    EXPECT_EQ(daq_query(ud, "*IDN?"), "<timeout>");
    sim.hp34970().faults().reply = ReplyFault::garbled;
    EXPECT_EQ(daq_query(ud, "*OPC?"), "1");
    EXPECT_EQ(daq_query(ud, "ROUT:DONE?"), "1");
    EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "+#,#N# #r#o#\"");
    sim.hp34970().push_error(-310, "System error");
    sim.hp34970().faults().reply = ReplyFault::none;
    EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "-310,\"System error\"");
    sim.hp34970().faults().once = ReplyFault::garbled;
    EXPECT_EQ(daq_query(ud, "*IDN?").substr(0, 4), "H#W#");
    EXPECT_EQ(daq_query(ud, "*IDN?"), kHp34970Identity);
    sim.hp34970().faults().switch_not_done = true;
    EXPECT_EQ(daq_query(ud, "ROUT:DONE?"), "0");
}

// Commands beyond the unit's input buffer are lost, and the queue says so.
TEST_F(Hp34970SimTest, InputBeyondTheBufferIsLost) {
    daq_send(ud, "SENS:VOLT:DC:NPLC 200, (@101)");
    daq_send(ud, "ROUT:SCAN (@101)");
    daq_send(ud, "TRIG:COUN 50");
    daq_send(ud, "READ?"); // 50 x 8 s: the unit takes nothing else meanwhile
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += "*OPC?;";
    daq_send(ud, many);
    std::size_t queued = sim.hp34970().errors_queued();
    EXPECT_EQ(queued, 1u);
    ibclr(ud);
    EXPECT_EQ(daq_query(ud, "SYST:ERR?"), "-363,\"Input buffer overrun\"");
}
