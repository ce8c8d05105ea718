// Home, the potentiometer and gauge buttons and gauge zeroing on the simulated stage.
#include "app/main_operations.hpp"
#include "app/shell/messages.hpp"
#include "app/shell/panel_ids.hpp"
#include "stage/geometry.hpp"
#include "station_sim_fixture.hpp"

#include <cmath>

namespace {

class HomeAndReadingsTest : public StationSimTest {
protected:
    void SetUp() override {
        StationSimTest::SetUp();
        bring_up();
    }
    // Moves the stage away from zero: X = 0.001 and a roll turn cams 1, 2, 3, 4 and 5.
    void move_away() {
        op.type_value(main, MAIN_MOVE_MODE, 1LL);
        type_target(0, 0.0008);
        type_target(2, 0.0005);
        ASSERT_EQ(op.press(main, MAIN_MOVE), 0);
        op.clear_records();
    }
    // As after a bring-up that enabled the gauge group.
    void enable_gauges() {
        for (int c = MAIN_READ_GAGE_1; c <= MAIN_ZERO_GAGE_5; ++c)
            SetCtrlAttribute(main, c, ATTR_DIMMED, 0);
        SetCtrlAttribute(main, MAIN_ZERO_ALL, ATTR_DIMMED, 0);
    }
    // The gauge channel's reading as the counter shows it now, in the stage's unit.
    double gauge(int channel) { return sim.ev16p().value(channel, now()) / 1000.0; }
};

} // namespace

TEST_F(HomeAndReadingsTest, HomeReturnsEveryCamToPotentiometerZeroAndLogsIt) {
    move_away();
    for (int cam : {1, 2, 3, 4, 5})
        ASSERT_GT(std::fabs(cam_angle(cam)), 0.05) << "cam " << cam << " did not move away";
    ASSERT_EQ(op.press(main, MAIN_HOME), 0);
    for (int cam = 1; cam <= 5; ++cam)
        EXPECT_NEAR(cam_angle(cam), 0.0, 1e-5) << "cam " << cam;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(slot(i), 0.0) << "target " << i;
    EXPECT_NEAR(slot(5), 0.0, 2e-6);
    EXPECT_EQ(op.texts(main, MAIN_STATUS),
              (std::vector<std::string>{"Setting all cams in Home position",
                                        "All cams are in Home position"}));
    EXPECT_EQ(last_entry(), " \n hh:mm:ss * Cams moved to zero position\n \n ");
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(HomeAndReadingsTest, AfterAnErrorAnsweredNoHomeSendsNothingToTheController) {
    move_away();
    op.answer_confirm(false);
    cam_move_error_handling(1, "Unable to open log file");
    // The controller runs the drives-off command of its shutdown.
    clock.advance(1.0);
    sim.advance(now());
    const std::size_t before = sim.cm6k6().history().size();
    const double cam1 = cam_angle(1);
    op.answer_message();
    ASSERT_EQ(op.press(main, MAIN_HOME), 0);
    EXPECT_EQ(sim.cm6k6().history().size(), before);
    EXPECT_EQ(cam_angle(1), cam1);
    EXPECT_EQ(op.popups().back().title, "Move refused");
    EXPECT_EQ(op.popups().back().message, "The CM6K6 is not open: no motor is moved.");
    EXPECT_EQ(run_log().find("Cams moved to zero position"), std::string::npos);
}

TEST_F(HomeAndReadingsTest, PotentiometerButtonsShowTheCamAngleInDegreesWithItsSign) {
    move_away();
    // Cams 5, 4, 3, 2 have buttons; the default signs are +1 for cams 2 and 4, -1 for 3, 5.
    const struct {
        int button, cam, sign;
    } pots[] = {{MAIN_READ_POT_5, 5, -1},
                {MAIN_READ_POT_4, 4, +1},
                {MAIN_READ_POT_3, 3, -1},
                {MAIN_READ_POT_2, 2, +1}};
    for (const auto& p : pots) {
        ASSERT_EQ(op.press(main, p.button), 0);
        EXPECT_NEAR(slot(9 + p.cam), 57.295779513 * p.sign * cam_angle(p.cam), 1e-3)
            << "cam " << p.cam;
    }
    EXPECT_TRUE(op.popups().empty());
}

TEST_F(HomeAndReadingsTest, AButtonThatIsNoPotentiometerOrGaugeIsReported) {
    op.answer_message();
    op.answer_message();
    op.answer_message();
    read_pot(main, MAIN_MOVE, EVENT_COMMIT, nullptr, 0, 0);
    read_gage(main, MAIN_READ_POT_2, EVENT_COMMIT, nullptr, 0, 0);
    zero_gage(main, MAIN_READ_GAGE_1, EVENT_COMMIT, nullptr, 0, 0);
    ASSERT_EQ(op.popups().size(), 3u);
    EXPECT_EQ(op.popups()[0].title, "Reading Error");
    EXPECT_EQ(op.popups()[0].message, "Error in pot number");
    EXPECT_EQ(op.popups()[1].message, "Error in gage number");
    EXPECT_EQ(op.popups()[2].message, "Error in gage number");
    EXPECT_TRUE(sim.ev16p().history().empty());
}

TEST_F(HomeAndReadingsTest, GaugeButtonsShowTheCounterReadingInTheStagesUnit) {
    move_away();
    enable_gauges();
    for (int k = 1; k <= 5; ++k) {
        ASSERT_EQ(op.press(main, MAIN_READ_GAGE_1 + k - 1), 0);
        EXPECT_NEAR(slot(14 + k), gauge(k), 1e-6) << "gauge " << k;
    }
    EXPECT_GT(std::fabs(slot(15)), 1e-5) << "gauge 1 follows cam 1, which moved";
}

TEST_F(HomeAndReadingsTest, ZeroingAGaugeShowsZeroAndLogsIt) {
    move_away();
    enable_gauges();
    shared_param().gage_value = {7.0, 8.0, 9.0, 10.0};
    ASSERT_GT(std::fabs(gauge(1)), 1e-5);
    ASSERT_EQ(op.press(main, MAIN_ZERO_GAGE_1), 0);
    EXPECT_EQ(slot(15), 0.0);
    EXPECT_EQ(shared_param().gage_value[0], 0.0);
    EXPECT_EQ(last_entry(), " \n hh:mm:ss * All gages set to zero\n \n ");
    EXPECT_NEAR(gauge(1), 0.0, 1e-6);
    op.press(main, MAIN_READ_GAGE_1);
    EXPECT_NEAR(slot(15), 0.0, 1e-6);

    // The counter zeroes gauge 1 only: gauge 3 is shown and stored as it reads, and the
    // log says what was zeroed. Gauge 5 has no stored reading. (Gauge 3 is wired to cam 3
    // here, so that it reads something other than noise.)
    model().set_gauge_wiring({1, 2, 3, 2, 2});
    ASSERT_GT(std::fabs(gauge(3)), 1e-5);
    ASSERT_EQ(op.press(main, MAIN_ZERO_GAGE_3), 0);
    EXPECT_NEAR(slot(17), gauge(3), 1e-6);
    EXPECT_EQ(last_entry(), " \n hh:mm:ss * Gage 1 set to zero; gage 3 is not zeroed\n \n ");
    ASSERT_EQ(op.press(main, MAIN_ZERO_GAGE_5), 0);
    EXPECT_NEAR(slot(19), gauge(5), 1e-6);
    EXPECT_EQ(shared_param().gage_value, (std::array<double, 4>{0.0, 8.0, slot(17), 10.0}));
    EXPECT_TRUE(op.popups().empty());

    // A zeroing the counter does not take shows the gauge as unknown and keeps its stored
    // reading.
    sim.ev16p().faults().reply = ReplyFault::silent;
    op.answer_confirm(false);
    ASSERT_EQ(op.press(main, MAIN_ZERO_GAGE_2), 0);
    EXPECT_TRUE(std::isnan(slot(16)));
    EXPECT_EQ(shared_param().gage_value[1], 8.0);
    EXPECT_EQ(last_entry(), " \n hh:mm:ss * Gage 1 set to zero; gage 5 is not zeroed\n \n ");
}

TEST_F(HomeAndReadingsTest, ZeroAllGaugesWithYesZeroesGaugeOneAndShowsItsReading) {
    move_away();
    enable_gauges();
    ASSERT_GT(std::fabs(gauge(1)), 1e-5);
    op.answer_generic(VAL_GENERIC_POPUP_BTN1);
    ASSERT_EQ(op.press(main, MAIN_ZERO_ALL), 0);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "Danger Operation");
    EXPECT_EQ(op.popups()[0].message, "All gages will be set to ZERO.Continue?");
    EXPECT_NEAR(gauge(1), 0.0, 1e-6);
    EXPECT_NEAR(slot(15), 0.0, 1e-6);
    EXPECT_EQ(op.texts(main, MAIN_STATUS),
              (std::vector<std::string>{"Zeroing gages", "All gages are set to zero"}));
    EXPECT_EQ(last_entry(), " \n hh:mm:ss * All gages set to zero\n \n ");
}

TEST_F(HomeAndReadingsTest, ZeroAllGaugesWithResetOrNoZeroesNothing) {
    move_away();
    enable_gauges();
    const std::string log = run_log();
    op.answer_generic_escape();
    op.press(main, MAIN_ZERO_ALL);
    EXPECT_TRUE(sim.ev16p().history().empty());
    EXPECT_EQ(run_log(), log);
    EXPECT_FALSE(op.quit_requested());

    op.answer_generic(VAL_GENERIC_POPUP_BTN2);
    op.press(main, MAIN_ZERO_ALL);
    EXPECT_TRUE(sim.ev16p().history().empty());
    EXPECT_EQ(run_log(), log);
    EXPECT_TRUE(op.quit_requested());
    EXPECT_EQ(shared_device_ids().hp34970, 0);
    EXPECT_EQ(shared_device_ids().cm6k6, 0);
    EXPECT_TRUE(op.texts(main, MAIN_STATUS).empty());
}

TEST_F(HomeAndReadingsTest, AGaugeZeroingThatFailsShowsNoZeroAndLogsNothing) {
    enable_gauges();
    // Nothing plugged into the counter's port: the driver's "OpenCom" error, answered No.
    serial.attach(kSimEv16pPort, nullptr);
    const std::string log = run_log();
    op.answer_confirm(false);
    ASSERT_EQ(op.press(main, MAIN_ZERO_GAGE_1), 0);
    ASSERT_EQ(op.popups().size(), 1u);
    EXPECT_EQ(op.popups()[0].title, "ERROR");
    EXPECT_EQ(op.popups()[0].message.rfind("Error in OpenCom. Check error code # ", 0), 0u);
    EXPECT_TRUE(std::isnan(slot(15)));
    EXPECT_EQ(run_log(), log);
    EXPECT_EQ(shared_device_ids().ev16p, 0);
}
