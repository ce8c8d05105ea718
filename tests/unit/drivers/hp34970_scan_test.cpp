// The data acquisition unit's scans: the whole command list, matching readings back to the
// caller's channels, temperature transducers, and every way a scan can fail (NaN values).
#include "driver_fixture.hpp"

#include <gmock/gmock.h>

#include <cmath>

using ::testing::ElementsAre;

namespace {

class Hp34970Scan : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        id = bring_up_daq();
    }
    void expect_volt_setup(const std::string& list) {
        daq.expect("SENSE:FUNCTION \"VOLTAGE:DC\", " + list)
            .expect("SENSE:VOLTAGE:DC:RANGE:AUTO ON, " + list)
            .expect("SENSE:VOLTAGE:DC:NPLC 10, " + list)
            .expect("INPUT:IMPEDANCE:AUTO OFF, " + list)
            .expect("SENSE:ZERO:AUTO ON, " + list);
    }
    void expect_trigger(const std::string& list, std::optional<std::string> readings) {
        daq.expect("CALCULATE:SCALE:STATE OFF, " + list)
            .expect("TRIGGER:SOURCE IMMEDIATE")
            .expect("TRIGGER:COUNT 1")
            .expect("ROUTE:CHANNEL:DELAY:AUTO ON, " + list)
            .expect("FORMAT:READING:ALARM OFF")
            .expect("FORMAT:READING:CHANNEL ON")
            .expect("FORMAT:READING:TIME OFF")
            .expect("FORMAT:READING:UNIT ON")
            .expect("READ?", readings);
    }
    void expect_no_error() { daq.expect("SYSTEM:ERROR?", "+0,\"No error\""); }
    void expect_temp_setup(const std::string& list, const std::string& transducer) {
        // The standard SCPI spellings; a real unit queues -113 for the others.
        daq.expect("SENS:FUNC \"TEMP\", " + list)
            .expect("UNIT:TEMP C, " + list)
            .expect("SENS:TEMP:NPLC 10, " + list)
            .expect("SENS:TEMP:TRAN:TYPE? " + list, transducer);
    }
    int id = 0;
};

TEST_F(Hp34970Scan, VoltageOfChannelNineScansChannel109) {
    daq.expect("ROUTE:SCAN (@109)");
    expect_volt_setup("(@109)");
    expect_trigger("(@109)", "+2.45003210E+00 VDC,109");
    expect_no_error();
    double v = 0.0;
    hp34970_get_chan_volt(id, 9, &v);
    EXPECT_DOUBLE_EQ(v, 2.4500321);
    EXPECT_EQ(console.output(), "");
}

TEST_F(Hp34970Scan, ReadingsAnsweredOutOfOrderComeBackInTheCallersOrder) {
    const int chans[2] = {102, 101};
    daq.expect("ROUTE:SCAN (@102, 101)");
    expect_volt_setup("(@102)");
    expect_volt_setup("(@101)");
    expect_trigger("(@102, 101)", "+1.00000000E-01 VDC,101,-3.50000000E+00 VDC,102");
    expect_no_error();
    double values[2] = {};
    hp34970_scan_chan_volt(id, 2, chans, values);
    EXPECT_DOUBLE_EQ(values[0], -3.5);
    EXPECT_DOUBLE_EQ(values[1], 0.1);
}

TEST_F(Hp34970Scan, ResistanceKindsSendTheirOwnSetUp) {
    const int chan = 104;
    daq.expect("ROUTE:SCAN (@104)")
        .expect("SENSE:FUNCTION \"FRESISTANCE\", (@104)")
        .expect("SENSE:FRESISTANCE:RANGE:AUTO ON, (@104)")
        .expect("SENSE:FRESISTANCE:NPLC 10, (@104)")
        .expect("SENSE:FRESISTANCE:OCOMPENSATED ON, (@104)");
    expect_trigger("(@104)", "+1.00012000E+02 OHM,104");
    expect_no_error();
    double r = 0.0;
    hp34970_scan_chan_4wire_res(id, 1, &chan, &r);
    EXPECT_DOUBLE_EQ(r, 100.012);

    daq.expect("ROUTE:SCAN (@105)")
        .expect("SENSE:FUNCTION \"RESISTANCE\", (@105)")
        .expect("SENSE:RESISTANCE:RANGE:AUTO ON, (@105)")
        .expect("SENSE:RESISTANCE:NPLC 10, (@105)")
        .expect("SENSE:RESISTANCE:OCOMPENSATED ON, (@105)");
    expect_trigger("(@105)", "+4.70000000E+03 OHM,105");
    expect_no_error();
    hp34970_get_chan_res(id, 105, &r);
    EXPECT_DOUBLE_EQ(r, 4700.0);
}

TEST_F(Hp34970Scan, SameChannelTwiceMatchesTwoReadingsAndGivesNoValue) {
    const int chans[2] = {101, 101};
    daq.expect("ROUTE:SCAN (@101, 101)");
    expect_volt_setup("(@101)");
    expect_volt_setup("(@101)");
    expect_trigger("(@101, 101)", "+1.0E+00 VDC,101,+1.1E+00 VDC,101");
    expect_no_error();
    press_enter(2);
    double values[2] = {};
    hp34970_scan_chan_volt(id, 2, chans, values);
    EXPECT_EQ(console.output(), hp34970_stop_text("Problem getting HP34970 measurements.") +
                                    hp34970_stop_text("Problem getting HP34970 measurements."));
    EXPECT_TRUE(std::isnan(values[0]));
    EXPECT_TRUE(std::isnan(values[1]));
}

TEST_F(Hp34970Scan, ThermocoupleTypeIsReadBackAndWrittenAgainInCelsius) {
    daq.expect("ROUTE:SCAN (@111)");
    expect_temp_setup("(@111)", "TC");
    daq.expect("SENS:TEMP:TRAN:TC:TYPE? (@111)", "K")
        .expect("SENS:TEMP:TRAN:TC:TYPE K, (@111)")
        .expect("SENS:TEMP:TRAN:TC:RJUN:TYPE INT, (@111)")
        .expect("SENS:TEMP:TRAN:TC:CHEC ON, (@111)");
    expect_trigger("(@111)", "+2.13400000E+01 C,111");
    expect_no_error();
    double t = 0.0;
    hp34970_get_chan_temp(id, 111, &t);
    EXPECT_DOUBLE_EQ(t, 21.34);
    EXPECT_EQ(console.output(), "");
}

TEST_F(Hp34970Scan, ResistanceThermometersKeepTheirTypeAndReference) {
    for (const char* kind : {"RTD", "FRTD"}) {
        daq.expect("ROUTE:SCAN (@111)");
        expect_temp_setup("(@111)", kind);
        daq.expect("SENS:TEMP:TRAN:RTD:TYPE? (@111)", "+85")
            .expect("SENS:TEMP:TRAN:RTD:TYPE 85, (@111)")
            .expect("SENS:TEMP:TRAN:RTD:RES:REF? (@111)", "+1.00000000E+02")
            .expect("SENS:TEMP:TRAN:RTD:RES:REF 100.000000, (@111)");
        expect_trigger("(@111)", "+2.00000000E+01 C,111");
        expect_no_error();
        double t = 0.0;
        hp34970_get_chan_temp(id, 111, &t);
        EXPECT_DOUBLE_EQ(t, 20.0) << kind;
    }
}

TEST_F(Hp34970Scan, ThermistorTypeGoesBackWithItsOddComma) {
    daq.expect("ROUTE:SCAN (@111)");
    expect_temp_setup("(@111)", "THER");
    daq.expect("SENS:TEMP:TRAN:THER:TYPE? (@111)", "+5000")
        .expect("SENS:TEMP:TRAN:THER:TYPE 5000 ,(@111)");
    expect_trigger("(@111)", "+1.90000000E+01 C,111");
    expect_no_error();
    double t = 0.0;
    hp34970_get_chan_temp(id, 111, &t);
    EXPECT_DOUBLE_EQ(t, 19.0);
}

TEST_F(Hp34970Scan, OtherTransducerNeedsNothingMore) {
    daq.expect("ROUTE:SCAN (@111)");
    expect_temp_setup("(@111)", "DEF");
    expect_trigger("(@111)", "+1.90000000E+01 C,111");
    expect_no_error();
    double t = 0.0;
    hp34970_get_chan_temp(id, 111, &t);
    EXPECT_DOUBLE_EQ(t, 19.0);
}

TEST_F(Hp34970Scan, WrongUnitOrGarbledReadingGivesNoValue) {
    const int chans[2] = {101, 102};
    daq.expect("ROUTE:SCAN (@101, 102)");
    expect_volt_setup("(@101)");
    expect_volt_setup("(@102)");
    expect_trigger("(@101, 102)", "+1.0E+00 OHM,101,+2.0E+00 VDC,102");
    expect_no_error();
    press_enter();
    double values[2] = {};
    hp34970_scan_chan_volt(id, 2, chans, values);
    EXPECT_EQ(console.output(), hp34970_stop_text("Problem getting HP34970 measurements"));
    EXPECT_TRUE(std::isnan(values[0]));
    EXPECT_DOUBLE_EQ(values[1], 2.0);

    console.clear_output();
    daq.expect("ROUTE:SCAN (@101)");
    expect_volt_setup("(@101)");
    expect_trigger("(@101)", "OVLD");
    expect_no_error();
    press_enter(4);
    double v = 0.0;
    hp34970_get_chan_volt(id, 1, &v);
    // The reading, the text after it, the match and the unit each report once.
    EXPECT_EQ(console.output(), hp34970_stop_text("Problem getting HP34970 measurements") +
                                    hp34970_stop_text("Problem getting HP34970 measurements") +
                                    hp34970_stop_text("Problem getting HP34970 measurements.") +
                                    hp34970_stop_text("Problem getting HP34970 measurements"));
    EXPECT_TRUE(std::isnan(v));
}

// The unit's overload value is what it reads for an input out of range (and for an open
// thermocouple): a number, but no measurement.
TEST_F(Hp34970Scan, OverloadReadingGivesNoValue) {
    const int chans[3] = {101, 102, 103};
    daq.expect("ROUTE:SCAN (@101, 102, 103)");
    for (const char* one : {"(@101)", "(@102)", "(@103)"})
        expect_volt_setup(one);
    expect_trigger("(@101, 102, 103)",
                   "+9.90000000E+37 VDC,101,-9.90000000E+37 VDC,102,+1.25000000E+00 VDC,103");
    expect_no_error();
    double values[3] = {};
    hp34970_scan_chan_volt(id, 3, chans, values);
    EXPECT_TRUE(std::isnan(values[0]));
    EXPECT_TRUE(std::isnan(values[1]));
    EXPECT_DOUBLE_EQ(values[2], 1.25);
}

TEST_F(Hp34970Scan, InstrumentErrorAfterTheScanGivesNoValues) {
    const int chans[2] = {109, 110};
    daq.expect("ROUTE:SCAN (@109, 110)");
    expect_volt_setup("(@109)");
    expect_volt_setup("(@110)");
    expect_trigger("(@109, 110)", "+0.0E+00 VDC,109,+5.0E+00 VDC,110");
    daq.expect("SYSTEM:ERROR?", "-221,\"Settings conflict\"");
    expect_no_error();
    press_enter();
    double values[2] = {};
    hp34970_scan_chan_volt(id, 2, chans, values);
    EXPECT_TRUE(std::isnan(values[0]));
    EXPECT_TRUE(std::isnan(values[1]));
}

TEST_F(Hp34970Scan, ReadingThatNeverComesGivesNoValue) {
    daq.expect("ROUTE:SCAN (@110)");
    expect_volt_setup("(@110)");
    expect_trigger("(@110)", std::nullopt);
    expect_no_error();
    press_enter();
    double v = 0.0;
    hp34970_get_chan_volt(id, 10, &v);
    EXPECT_EQ(console.output(), hp34970_stop_text("ibsta = c000, problem receiving GPIB input"));
    EXPECT_TRUE(std::isnan(v));
}

TEST_F(Hp34970Scan, ChecksReportInOrderAndSendNothing) {
    press_enter(7);
    const int good[2] = {101, 102};
    const int bad[2] = {101, 400};
    double values[2] = {};
    hp34970_scan_chan(id, 61, good, "vv", values);
    hp34970_scan_chan(id, 2, bad, "vv", values);
    hp34970_scan_chan(id, 2, good, "vx", values);
    hp34970_scan_chan(3, 2, good, "vv", values);
    EXPECT_TRUE(std::isnan(values[0]) && std::isnan(values[1]));
    double v = 0.0;
    hp34970_get_chan_res(id, 400, &v); // passes the reader's check, fails the scan's
    hp34970_get_chan_volt(id, 0, &v);
    hp34970_scan_chan_volt(12, 2, good, values);
    EXPECT_TRUE(std::isnan(v));
    EXPECT_EQ(console.output(), hp34970_stop_text("num_chan = 61, out of range") +
                                    hp34970_stop_text("chan[1] = 400, out of range") +
                                    hp34970_stop_text("meas[1] = x, unknown measurement") +
                                    hp34970_stop_text("Device not open") +
                                    hp34970_stop_text("chan[0] = 400, out of range") +
                                    hp34970_stop_text("chan = 100, out of range") +
                                    hp34970_stop_text("dev_ID = 12, out of range"));
    EXPECT_TRUE(daq.received().empty());
}

} // namespace
