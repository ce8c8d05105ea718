// The simulated gauge counter byte for byte on the in-process serial link.
#include "sim_stage_fixture.hpp"
#include "sim_wire.hpp"

#include <cmath>

namespace {

constexpr int kPort = 5;

class Ev16pSimTest : public SimStageTest {
protected:
    void SetUp() override {
        SimStageTest::SetUp();
        ASSERT_EQ(open_port(kPort, 7, 2), 0);
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
    EXPECT_EQ(ask("CS00"), "CH00");
    EXPECT_EQ(ask("CR01"), "CH01");
    EXPECT_EQ(ask("GA01"), "GA01,+0000.0000");
    EXPECT_EQ(ask("CP01, +000500.0000"), "CH01");
    EXPECT_EQ(ask("GA01"), "GA01,+0500.0000");
    EXPECT_EQ(ask("CP01, -0000.5000"), "CH01");
    EXPECT_EQ(ask("GA01"), "GA01,-0000.5000");
    EXPECT_EQ(ask("CK01"), "CK010");
}

// Gauge 2 sees cam 2 (eccentricity 0.000746, phase -0.6) in thousandths.
TEST_F(Ev16pSimTest, ReadsTheEccentricCam) {
    const double expected = 0.746 * std::sin(-0.6);
    EXPECT_EQ(ask("GA02"), strfmt("GA02,%+010.4f", expected));
    EXPECT_EQ(ask("GA06"), "GA06,+0000.0000");
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
    sim.ev16p().faults().out_of_hold = true;
    EXPECT_EQ(ask("CK01"), "CK011");
    EXPECT_EQ(ask("CR01"), "");
    EXPECT_EQ(ask("CS00"), "");
    EXPECT_EQ(ask("GA03"), strfmt("GA03,%+010.4f", 0.741 * std::sin(1.1)));
}

TEST_F(Ev16pSimTest, ReplyFaults) {
    sim.ev16p().faults().reply = ReplyFault::garbled;
    EXPECT_EQ(ask("CS00"), "C#0#");
    sim.ev16p().faults().reply = ReplyFault::silent;
    EXPECT_EQ(ask("CS00"), "");
}
