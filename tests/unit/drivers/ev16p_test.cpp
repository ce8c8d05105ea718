// The gauge counter driver on the wire: bring-up and HOLD check, zeroing, readings,
// presets, and every pop-up of its failure paths.
#include "driver_fixture.hpp"

#include <gmock/gmock.h>

#include <cmath>
#include <limits>

using ::testing::ElementsAre;

namespace {

class Ev16p : public DriverTest {};

TEST_F(Ev16p, BringUpClearsErrorsAndChecksTheHoldStateWithItsWaits) {
    counter.expect("CS00", "CH00").expect("CK01", "CK010");
    int id = 0;
    ev16p_init(kCounterPort, 11, &id);
    EXPECT_EQ(id, 1);
    ASSERT_TRUE(counter.settings().has_value());
    EXPECT_EQ(counter.settings()->baud, 9600);
    EXPECT_EQ(counter.settings()->data_bits, 7);
    EXPECT_EQ(counter.settings()->parity, 0);
    EXPECT_EQ(counter.settings()->stop_bits, 2);
    // One second of quiet before and after each write, half a second before each reply.
    EXPECT_THAT(counter.arrival_times(), ElementsAre(1.0, 3.5));
    EXPECT_NEAR(clock.elapsed_seconds(), 5.0, 1e-9);
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(Ev16p, CounterOutOfHoldStateWarnsAndGoesOn) {
    counter.expect("CS00", "CH00").expect("CK01", "CK011");
    op.answer_confirm(true);
    op.answer_message();
    int id = 0;
    ev16p_init(kCounterPort, 11, &id);
    EXPECT_EQ(id, 1);
    ASSERT_EQ(op.popups().size(), 2u);
    EXPECT_EQ(op.popups()[0].title, "Warning");
    EXPECT_EQ(op.popups()[0].message, "Counter is not in HOLD state. RS232 commands are not "
                                      "effective. Would you like to set I/O to RS232?");
    EXPECT_EQ(op.popups()[1].title, "Change HOLD Mode");
    EXPECT_EQ(op.popups()[1].message, "HOLD mode should be changed manually, p.3-7");
}

TEST_F(Ev16p, UnknownHoldStateEndsTheBringUpWithoutAnId) {
    counter.expect("CS00", "CH00").expect("CK01", "CK012");
    op.answer_confirm(true);
    int id = -5;
    ev16p_init(kCounterPort, 11, &id);
    EXPECT_EQ(id, -5);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("Problem with Hold Mode", 2)));
}

TEST_F(Ev16p, SilentCounterAnsweredNoGetsNoIdAndIsAskedOnce) {
    counter.expect("CS00");
    op.answer_confirm(false);
    int id = -5;
    ev16p_init(kCounterPort, 11, &id);
    EXPECT_EQ(id, -5);
    EXPECT_THAT(confirm_texts(),
                ElementsAre(confirm_text("# bytes in = -99, problem receiving RS232 input", -99)));
    // And a silent HOLD check, after a clean error clear.
    counter.expect("CS00", "CH00").expect("CK01");
    op.answer_confirm(false);
    ev16p_init(kCounterPort, 11, &id);
    EXPECT_EQ(id, -5);
}

TEST_F(Ev16p, BringUpRangeChecksAskAndNoStops) {
    int id = -5;
    op.answer_confirm(false);
    ev16p_init(33, 11, &id);
    op.answer_confirm(false);
    ev16p_init(kCounterPort, -1, &id);
    EXPECT_EQ(id, -5);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("RS232_COM_PORT", 33),
                                             confirm_text("RS232_DEV_ADDR", -1)));
    EXPECT_TRUE(counter.received().empty());
}

TEST_F(Ev16p, ZeroingActsOnChannelOneWhateverTheGauge) {
    const int id = bring_up_counter();
    counter.expect("CR01", "CH01");
    const double t0 = clock.elapsed_seconds();
    EXPECT_EQ(ev16p_zero(id, 3), 2);
    EXPECT_NEAR(clock.elapsed_seconds() - t0, 2.5, 1e-9);
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(Ev16p, CounterThatNeverAcknowledgesIsReportedAndTheZeroingEnds) {
    const int id = bring_up_counter();
    counter.expect("CR01");
    op.answer_confirm(true);
    op.answer_confirm(true);
    EXPECT_EQ(ev16p_zero(id, 1), 2);
    EXPECT_THAT(confirm_texts(),
                ElementsAre(confirm_text("# bytes in = -99, problem receiving RS232 input", -99),
                            confirm_text("Zero gages", 0)));
}

TEST_F(Ev16p, AZeroingNotAcknowledgedAndGivenUpFails) {
    const int id = bring_up_counter();
    counter.expect("CR01", "CR01 ERR");
    op.answer_confirm(false);
    EXPECT_EQ(ev16p_zero(id, 1), -1);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("Zero gages", 0)));
}

TEST_F(Ev16p, ReadingTakesTheNumberAfterFiveCharacters) {
    const int id = bring_up_counter();
    counter.expect("GA03", "GA03 -12.5");
    EXPECT_DOUBLE_EQ(ev16p_read(id, 3), -12.5);
    EXPECT_THAT(counter.commands(), ElementsAre("GA03"));
}

TEST_F(Ev16p, SecondAttemptReadsAfterAGarbledFirst) {
    const int id = bring_up_counter();
    counter.expect("GA01", "GA01 ---").expect("GA01", "GA01 +0.0042");
    EXPECT_DOUBLE_EQ(ev16p_read(id, 1), 0.0042);
}

TEST_F(Ev16p, TwoFailedAttemptsGiveNotANumberWhateverTheAnswer) {
    const int id = bring_up_counter();
    counter.expect("GA02", "GA02").expect("GA02"); // too short, then silence
    op.answer_confirm(true);                       // the silent read's report
    op.answer_confirm(true);                       // "Reading gages": Yes
    EXPECT_TRUE(std::isnan(ev16p_read(id, 2)));
    counter.expect("GA02", "ERR").expect("GA02", "ERR");
    op.answer_confirm(false);
    EXPECT_TRUE(std::isnan(ev16p_read(id, 2)));
    EXPECT_THAT(confirm_texts(),
                ElementsAre(confirm_text("# bytes in = -99, problem receiving RS232 input", -99),
                            confirm_text("Reading gages", 0), confirm_text("Reading gages", 0)));
}

TEST_F(Ev16p, ChecksAnsweredNoGiveUpAndYesGoesOn) {
    const int id = bring_up_counter();
    op.answer_confirm(false);
    EXPECT_EQ(ev16p_zero(0, 1), -1);
    op.answer_confirm(false);
    EXPECT_TRUE(std::isnan(ev16p_read(id, 7)));
    op.answer_confirm(false);
    EXPECT_EQ(ev16p_zero(2, 1), -1); // slot 2 never opened
    op.answer_confirm(true);
    counter.expect("GA07", "GA07 1.0");
    EXPECT_DOUBLE_EQ(ev16p_read(id, 7), 1.0);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("dev_ID = 0, out of range", 0),
                                             confirm_text("Gage = 7, out of range", 7),
                                             confirm_text("EV-16P is not open", 0),
                                             confirm_text("Gage = 7, out of range", 7)));
}

TEST_F(Ev16p, PresetWritesSignAndNineCharacterField) {
    const int id = bring_up_counter();
    counter.expect("CP01, -000500.00", "CH01");
    const double minus_half[1] = {-0.5};
    EXPECT_EQ(ev16p_preset(id, 2, minus_half), 2);
    counter.expect("CP01, +00012.500", "CH01");
    const double small[1] = {0.0125};
    EXPECT_EQ(ev16p_preset(id, 1, small), 2);
    const double nan[1] = {std::numeric_limits<double>::quiet_NaN()};
    op.answer_confirm(true);
    EXPECT_EQ(ev16p_preset(id, 1, nan), -1);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("preset = nan, not a finite number", 0)));
}

TEST_F(Ev16p, PresetThatDoesNotFitTheFieldSendsNothingAndUnacknowledgedNoFails) {
    const int id = bring_up_counter();
    const double big = 1000.0; // 1000000 counter units: seven digits before the point
    op.answer_confirm(true);   // whatever the answer, nothing is sent
    EXPECT_EQ(ev16p_preset(id, 1, &big), -1);
    EXPECT_THAT(confirm_texts(),
                ElementsAre(confirm_text("preset = 1000.000000, out of range", 0)));
    EXPECT_TRUE(counter.received().empty());

    const double small = 0.5;
    counter.expect("CP01, +000500.00", "CH02");
    op.answer_confirm(false);
    EXPECT_EQ(ev16p_preset(id, 1, &small), -1);
}

TEST_F(Ev16p, FailedWriteIsReportedAndFailsWhateverTheAnswer) {
    const int id = bring_up_counter();
    serial.fail_writes(-3);
    op.answer_confirm(true);
    EXPECT_EQ(ev16p_out(id, "GA01"), -1);
    EXPECT_THAT(confirm_texts(),
                ElementsAre(confirm_text("err = -3, problem sending RS232 command", -3)));
}

TEST_F(Ev16p, FullTableAcceptedGivesIdZeroRefusedGivesMinusOne) {
    for (int address = 1; address <= 10; ++address)
        EXPECT_EQ(ev16p_open_dev(address), address);
    op.answer_confirm(false);
    EXPECT_EQ(ev16p_open_dev(50), -1);
    op.answer_confirm(true);
    EXPECT_EQ(ev16p_open_dev(50), 0);
    EXPECT_THAT(confirm_texts(), ElementsAre(confirm_text("The device could not be opened", 0),
                                             confirm_text("The device could not be opened", 0)));
    EXPECT_EQ(ev16p_exit(10), 10); // eleven held, one freed
    EXPECT_EQ(ev16p_exit(10), 0);
}

} // namespace
