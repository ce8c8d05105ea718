// The simulated motion controller byte for byte on the in-process serial link.
#include "sim_stage_fixture.hpp"
#include "sim_wire.hpp"

#include <cmath>
#include <numbers>

namespace {

constexpr int kPort = 2;
constexpr double kByte = 10.0 / 9600.0; // one character at 9600 baud, 8N1

class Cm6k6SimTest : public SimStageTest {
protected:
    void SetUp() override {
        SimStageTest::SetUp();
        ASSERT_EQ(open_port(kPort, 8, 1), 0);
    }
    // A controller set up as the program's bring-up leaves it: reset, no echo, one
    // distance unit per revolution, drives off, positions 0.
    void bring_up() {
        send(kPort, "!RESET\r\n");
        Delay(3.0);
        for (const char* c :
             {"ECHO0", "SCALE1", "DRES25000,25000,25000,25000,25000,25000",
              "SCLD25000,25000,25000,25000,25000,25000", "SCLV25000,25000,25000,25000,25000,25000",
              "SCLA25000,25000,25000,25000,25000,25000", "ERES04096,04096,04096,04096,04096,04096",
              "PSET000000", "COMEXC1"}) {
            send(kPort, std::string(c) + "\r\n");
            Delay(0.1);
        }
        FlushInQ(kPort);
    }
    std::string query(const std::string& command) {
        FlushInQ(kPort);
        send(kPort, command + "\r\n");
        return read_line(kPort);
    }
    // Closes the axis's switch channel, as the program does around a move.
    void close_switch(int axis) { model().set_relay(200 + axis, true, now()); }
};

} // namespace

TEST_F(Cm6k6SimTest, EchoesUntilEchoIsTurnedOff) {
    send(kPort, "PORT1\r\n");
    EXPECT_EQ(drain(kPort, 0.1), "PORT1\r\n");
    send(kPort, "ECHO0\r\n");
    EXPECT_EQ(drain(kPort, 0.1), "ECHO0\r"); // it runs at its carriage return
    send(kPort, "E1\r\nTCMDER\r\n");
    EXPECT_EQ(drain(kPort, 0.1), "*NO ERRORS\r");
    // The history is a ring of the last N commands.
    sim.set_history_limit(2);
    ASSERT_EQ(sim.cm6k6().history().size(), 2u);
    EXPECT_EQ(sim.cm6k6().history().front().second, "E1");
    EXPECT_EQ(sim.cm6k6().history().back().second, "TCMDER");
}

// Deaf for 2.5 s after the reset (the program waits 5 s), then echoing again.
TEST_F(Cm6k6SimTest, ResetLeavesTheControllerBusyForAWhile) {
    send(kPort, "ECHO0\r\n");
    Delay(0.1);
    send(kPort, "!RESET\r\n");
    Delay(1.0);
    FlushInQ(kPort);
    send(kPort, "TCMDER\r\n");
    EXPECT_EQ(drain(kPort, 0.5), "");
    EXPECT_TRUE(sim.cm6k6().busy(now()));
    Delay(1.5);
    EXPECT_FALSE(sim.cm6k6().busy(now()));
    send(kPort, "ECHO0\r\n");
    EXPECT_EQ(drain(kPort, 0.1), "ECHO0\r");
    EXPECT_EQ(query("TCMDER"), "*NO ERRORS");
}

TEST_F(Cm6k6SimTest, UnknownCommandSetsTheErrorStatusOnce) {
    bring_up();
    send(kPort, "FROB12\r\n");
    Delay(0.1);
    EXPECT_EQ(query("TCMDER"), "*FROB12");
    EXPECT_EQ(query("TCMDER"), "*NO ERRORS");
    // Values it cannot use are errors too.
    for (const char* bad :
         {"1Dx", "7TPC", "DRIVE12", "WAIT(MOV=b0000)", "1V-1", "WRITE\"YES", "DRES0,1"}) {
        send(kPort, std::string(bad) + "\r\n");
        Delay(0.1);
        EXPECT_EQ(query("TCMDER"), "*" + std::string(bad)) << bad;
    }
}

TEST_F(Cm6k6SimTest, PositionRepliesCarryTheNumberAfterFiveCharacters) {
    bring_up();
    EXPECT_EQ(query("2TPC"), "*2TPC+0.00000");
    EXPECT_EQ(query("PSET,,,2.5,,"), "");
    EXPECT_EQ(query("4TPC"), "*4TPC+2.50000");
    EXPECT_EQ(query("4TPE"), "*4TPE+10240");
    EXPECT_EQ(query("TPC"), "*TPC+0.00000,+0.00000,+0.00000,+2.50000,+0.00000,+0.00000");
}

// 10 revolutions at 1 rev/s and 10 rev/s^2 take 10.1 s; the WAIT holds WRITE"YES" until
// then, and the cam has turned 10 / 120 of a turn in the motor's direction.
TEST_F(Cm6k6SimTest, MoveRunsItsProfileAndWaitHoldsLaterCommands) {
    bring_up();
    close_switch(2);
    send(kPort, "2D10.000000\r\n");
    Delay(0.6);
    send(kPort, "DRIVE010000\r\n");
    Delay(0.6);
    const std::string go = "GO010000\r\n";
    const double go_at = now() + (go.size() - 1) * kByte; // the carriage return starts it
    send(kPort, go);
    Delay(0.6);
    send(kPort, "WAIT(MOV=b000000)\r\nWRITE\"YES\"\r\n");
    EXPECT_EQ(read_line(kPort), ""); // nothing within the read's second
    EXPECT_TRUE(model().moving(2, now()));
    // Read on until the reply comes; it starts a millisecond after the motion's end and
    // is in once its four characters ("YES" and the carriage return) have come.
    std::string reply;
    while (reply.empty() && now() < go_at + 20.0)
        reply = read_line(kPort);
    EXPECT_EQ(reply, "YES");
    const double end = go_at + 10.1;
    EXPECT_NEAR(model().motion_end_time(2), end, 1e-9);
    EXPECT_NEAR(now(), end + 0.001 + 4 * kByte, 2e-6);
    EXPECT_NEAR(cam_angle(2), -10.0 / 120.0 * 2.0 * std::numbers::pi, 1e-12);
    EXPECT_EQ(query("2TPC"), "*2TPC+10.00000");
}

// TPC answers where the controller has told the motor to be; only the encoder (TPE, 4096
// counts a revolution) shows that it stood.
TEST_F(Cm6k6SimTest, AxisWithoutPowerStandsWhileItsCommandRunsOn) {
    bring_up();
    send(kPort, "1D5\r\nDRIVE100000\r\nGO100000\r\n"); // switch channel 201 open
    Delay(10.0);
    EXPECT_EQ(query("1TPC"), "*1TPC+5.00000");
    EXPECT_EQ(query("1TPE"), "*1TPE+0");
    EXPECT_DOUBLE_EQ(model().commanded_revs(1, now()), 5.0);
    close_switch(3);
    send(kPort, "3D1\r\nGO001000\r\n"); // switch closed but drive 3 off
    Delay(5.0);
    EXPECT_EQ(query("3TPC"), "*3TPC+1.00000");
    EXPECT_EQ(query("3TPE"), "*3TPE+0");
    EXPECT_EQ(cam_angle(1), 0.0);
    EXPECT_EQ(cam_angle(3), 0.0);
}

// Even a motion that would never end: after the kill the axis stands where it stopped
// (TPC and TPE agree) and takes the next GO.
TEST_F(Cm6k6SimTest, ImmediateKillStopsTheMoveAndTheBuffer) {
    bring_up();
    close_switch(1);
    stage_faults().motion_never_ends[0] = true;
    send(kPort, "DRIVE100000\r\n");
    Delay(0.5); // the drive's enable time
    send(kPort, "1D20\r\nGO100000\r\nWAIT(MOV=b000000)\r\nWRITE\"LATE\"\r\n");
    Delay(5.0);
    send(kPort, "!K1,0,0,0,0,0\r\n");
    Delay(0.1);
    EXPECT_FALSE(model().moving(1, now()));
    EXPECT_EQ(drain(kPort, 0.1), ""); // the held WRITE is gone
    const double at = model().motor_revs(1, now());
    EXPECT_GT(at, 4.5);
    EXPECT_LT(at, 5.5);
    EXPECT_EQ(query("1TPC"), strfmt("*1TPC%+.5f", std::llround(at * 25000) / 25000.0));
    EXPECT_EQ(query("1TPE"), strfmt("*1TPE%+lld", std::llround(at * 4096)));
    stage_faults().motion_never_ends[0] = false;
    send(kPort, "1D1\r\nGO100000\r\n");
    Delay(3.0);
    EXPECT_EQ(query("TCMDER"), "*NO ERRORS");
    EXPECT_NEAR(model().motor_revs(1, now()), at + 1.0, 1e-12);
}

// The program's transmit queue is the line: what it wrote goes out a byte time apart, an
// output flush discards what has not begun to go out, and a drain waits (platform time)
// until the last byte is out. A buffered command waits behind the WAIT; a kill does not.
TEST_F(Cm6k6SimTest, AnOutputFlushDiscardsWhatHasNotGoneOutADrainWaitsForIt) {
    bring_up();
    close_switch(1);
    send(kPort, "DRIVE100000\r\n1D20\r\nGO100000\r\nWAIT(MOV=b000000)\r\n");
    Delay(2.0);
    const std::string kill = "!K1,0,0,0,0,0\r\n";
    const auto ran = [this](const std::string& command) {
        for (const auto& [time, text] : sim.cm6k6().history())
            if (text == command)
                return time;
        return -1.0;
    };
    // Flushed as soon as written: none of it reaches the controller; the drives-off
    // after it is held behind the WAIT, so the motor turns on.
    send(kPort, kill);
    ASSERT_EQ(FlushOutQ(kPort), 0);
    send(kPort, "DRIVE000000\r\n");
    EXPECT_EQ(drain(kPort, 1.0), ""); // the controller brought up to date
    EXPECT_LT(ran("K1,0,0,0,0,0"), 0.0);
    EXPECT_LT(ran("DRIVE000000"), 0.0);
    EXPECT_TRUE(model().moving(1, now()));
    // Drained first: the drain lasts the kill's 15 byte times, and the kill runs as its
    // line feed arrives (its carriage return ended the command one byte earlier).
    const double written = now();
    send(kPort, kill);
    ASSERT_EQ(DrainOutQ(kPort), 0);
    EXPECT_NEAR(now() - written, 15 * kByte, 1e-9);
    ASSERT_EQ(FlushOutQ(kPort), 0);
    EXPECT_NEAR(ran("K1,0,0,0,0,0"), written + 14 * kByte, 1e-9);
    EXPECT_FALSE(model().moving(1, now()));
    send(kPort, "DRIVE000000\r\n");
    Delay(0.1);
    EXPECT_EQ(drain(kPort, 0.1), "");
    EXPECT_GT(ran("DRIVE000000"), written);
}

TEST_F(Cm6k6SimTest, AbsoluteAndFollowingMoves) {
    bring_up();
    for (int axis : {1, 2})
        close_switch(axis);
    send(kPort, "DRIVE110000\r\nPSET1,,,,,\r\n1MA1\r\n1D3\r\nGO100000\r\n");
    Delay(10.0);
    EXPECT_EQ(query("1TPC"), "*1TPC+3.00000"); // two revolutions from 1 to 3
    send(kPort, "2FOLMAS+11\r\n2FOLEN1\r\n1MA0\r\n1D-1\r\nGO110000\r\n");
    Delay(10.0);
    EXPECT_EQ(query("1TPC"), "*1TPC+2.00000");
    EXPECT_EQ(query("2TPC"), "*2TPC-1.00000");
    EXPECT_EQ(query("TCMDER"), "*NO ERRORS");
}

TEST_F(Cm6k6SimTest, ReplyFaultsSpoilReplies) {
    bring_up();
    sim.cm6k6().faults().reply = ReplyFault::garbled;
    EXPECT_EQ(query("1TPC"), "*#T#C#0#0#0#0");
    sim.cm6k6().faults().reply = ReplyFault::truncated;
    EXPECT_EQ(query("1TPC"), "*1TPC+"); // no carriage return: the read's time-out ends it
    sim.cm6k6().faults().reply = ReplyFault::silent;
    EXPECT_EQ(query("TCMDER"), "");
    sim.cm6k6().faults() = Cm6k6Faults{};
    sim.cm6k6().faults().error_status = true;
    EXPECT_EQ(query("TCMDER"), "*DRIVE FAULT");
    EXPECT_EQ(query("TCMDER"), "*DRIVE FAULT");
}

TEST_F(Cm6k6SimTest, WrongFramingIsNoise) {
    ASSERT_EQ(open_port(kPort, 7, 2), 0);
    send(kPort, "TCMDER\r\n");
    EXPECT_EQ(drain(kPort, 0.5), "");
}

TEST_F(Cm6k6SimTest, ValuesBeyondTheControllersLimitsAreErrors) {
    bring_up();
    for (const char* bad : {"1V20000", "1A2000000", "1D2e9", "PSET,1e10"}) {
        send(kPort, std::string(bad) + "\r\n");
        Delay(0.1);
        EXPECT_EQ(query("TCMDER"), "*" + std::string(bad)) << bad;
    }
}

// The switch unit closes the motor's channel at about 4 s, after a long reading; the
// controller's encoder query runs at the move's end, 10 s. Asked in one go afterwards,
// the query sees the relay closed and the motor turned from then on.
TEST_F(Cm6k6SimTest, InstrumentsKeepTimeOrderAcrossEachOther) {
    bring_up();
    send(kPort, "DRIVE100000\r\n");
    Delay(0.5); // the drive's enable time
    const int ud = open_daq();
    daq_send(ud, "ROUT:SCAN (@101)");
    daq_send(ud, "SENS:VOLT:DC:NPLC 100, (@101)");
    daq_send(ud, "READ?");
    daq_send(ud, "ROUT:CLOS (@201)");
    send(kPort, "1D10\r\nGO100000\r\nWAIT(MOV=b000000)\r\n1TPE\r\n");
    Delay(20.0);
    const double motor = model().motor_revs(1, now());
    EXPECT_GT(motor, 5.0);
    EXPECT_LT(motor, 7.0);
    EXPECT_EQ(read_line(kPort), strfmt("*1TPE%+lld", std::llround(motor * 4096)));
}
