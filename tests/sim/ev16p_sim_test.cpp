// The simulated gauge counter byte for byte on the in-process serial link.
#include "sim_stage_fixture.hpp"
#include "sim_wire.hpp"

#include <cmath>
#include <set>

namespace {

constexpr int kPort = 5;

// What channels 1 and 2 read with every cam at angle 0: the lifts of cams 1 to 3 and of
// cams 4 and 5 (eccentricity x sin(contact phase), in thousandths).
const double kEnd1 = 0.741 * std::sin(0.35) + 0.746 * std::sin(-0.6) + 0.741 * std::sin(1.1);
const double kEnd2 = 0.749 * std::sin(-0.25) + 0.747 * std::sin(0.8);

class Ev16pSimTest : public SimStageTest {
protected:
    void SetUp() override {
        SimStageTest::SetUp();
        ASSERT_EQ(open_port(kPort, 7, 2), 0);
    }
    // Readings to the digit: no noise on the channels the protocol tests read.
    void quiet() {
        for (int channel = 1; channel <= kSimGauges; ++channel)
            model().set_gauge_noise(channel, 0.0);
    }
    std::string ask(const std::string& command) {
        FlushInQ(kPort);
        send(kPort, command + "\r\n");
        Delay(0.5);
        return read_line(kPort);
    }
};

} // namespace

TEST_F(Ev16pSimTest, AcknowledgesClearZeroAndPreset) {
    quiet();
    EXPECT_EQ(ask("CS00"), "CH00");
    EXPECT_EQ(ask("CR01"), "CH01");
    EXPECT_EQ(ask("GA01"), "GA01,+0000.0000");
    EXPECT_EQ(ask("CP01, +000500.0000"), "CH01");
    EXPECT_EQ(ask("GA01"), "GA01,+0500.0000");
    EXPECT_EQ(ask("CP01, -0000.5000"), "CH01");
    EXPECT_EQ(ask("GA01"), "GA01,-0000.5000");
    EXPECT_EQ(ask("CK01"), "CK010");
}

// Channel 6 touches no cam: it reads 0 and its noise (0.3 um, 0.0003 counter units). A
// value beyond the display's four integer digits is an overflow, not a number.
TEST_F(Ev16pSimTest, ReadsTheCamsWiredToEachChannelWithNoiseAndOverflows) {
    std::set<std::string> seen;
    for (int i = 0; i < 12; ++i) {
        const std::string reply = ask("GA06");
        ASSERT_EQ(reply.size(), 15u) << reply;
        EXPECT_LE(std::fabs(std::stod(reply.substr(5))), 0.0003) << reply;
        seen.insert(reply);
    }
    EXPECT_GT(seen.size(), 1u);
    quiet();
    EXPECT_EQ(ask("GA01"), strfmt("GA01,%+010.4f", kEnd1));
    EXPECT_EQ(ask("GA02"), strfmt("GA02,%+010.4f", kEnd2));
    EXPECT_EQ(ask("CP01, +9999.9000"), "CH01");
    EXPECT_EQ(ask("GA01"), "GA01,+9999.9000");
    EXPECT_EQ(ask("CP01, -10000.0000"), "CH01");
    EXPECT_EQ(ask("GA01"), "GA01,OVERFLOW");
}

TEST_F(Ev16pSimTest, AnswersUnknownCommandsWithAnError) {
    for (const char* bad : {"GA07", "GA00", "XX01", "CP01, 5", "GA1"})
        EXPECT_EQ(ask(bad), "ERR") << bad;
}

// Seven data bits: the eighth bit of a character is lost on the way.
TEST_F(Ev16pSimTest, SevenBitFraming) {
    EXPECT_EQ(ask(std::string("C") + static_cast<char>('S' | 0x80) + "00"), "CH00");
    ASSERT_EQ(open_port(kPort, 8, 1), 0);
    EXPECT_EQ(ask("CS00"), "");
}

TEST_F(Ev16pSimTest, OutOfHoldIgnoresSettingsButStillReads) {
    quiet();
    sim.ev16p().faults().out_of_hold = true;
    EXPECT_EQ(ask("CK01"), "CK011");
    EXPECT_EQ(ask("CR01"), "");
    EXPECT_EQ(ask("CS00"), "");
    EXPECT_EQ(ask("GA01"), strfmt("GA01,%+010.4f", kEnd1));
    sim.ev16p().faults().hold_state = 2; // a state the manual does not name
    EXPECT_EQ(ask("CK01"), "CK012");
}

TEST_F(Ev16pSimTest, ReplyFaults) {
    sim.ev16p().faults().reply = ReplyFault::garbled;
    EXPECT_EQ(ask("CS00"), "C#0#");
    sim.ev16p().faults().reply = ReplyFault::silent;
    EXPECT_EQ(ask("CS00"), "");
    // One spoiled reply, then clean again; a reply later than the read's time-out.
    sim.ev16p().faults() = Ev16pFaults{};
    sim.ev16p().faults().once = ReplyFault::garbled;
    EXPECT_EQ(ask("CS00"), "C#0#");
    EXPECT_EQ(ask("CS00"), "CH00");
    sim.ev16p().faults().late_seconds = 30.0;
    EXPECT_EQ(ask("CS00"), "");
}
