// The controller's handshake under the fast waits, on the wire: each command followed by a
// numbered WRITE whose reply is read past other lines (the echo after a reset), no settle
// between commands, queries proved by their own reply; an unanswered handshake reported
// as the failed read it is, once until the controller is heard again.
#include "driver_fixture.hpp"
#include "drivers/wait_profile.hpp"

namespace {

class Cm6k6Handshake : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        id = bring_up_controller();
        set_wait_profile(WaitProfile::fast);
    }
    int id = 0;
};

const std::string kSilent = "# bytes in = -99, problem receiving RS232 input";

} // namespace

TEST_F(Cm6k6Handshake, EachCommandIsProvedBeforeTheNextGoesOut) {
    controller.expect("1D1.000000")
        .expect("WRITE\"H1\"", "\nWRITE\"H1\"\r\nH1") // the echo first, then the reply
        .expect("GO100000")
        .expect("WRITE\"H2\"", "H2");
    for (int k = 0; k < 4; ++k)
        controller.expect("TCMDER", "*NO ERRORS");
    const double start = clock.elapsed_seconds();
    EXPECT_EQ(cm6k6_out(id, "1D1.000000"), 0);
    EXPECT_EQ(cm6k6_out(id, "GO100000"), 0);
    EXPECT_EQ(cm6k6_read_error_status(id), 0);
    // Eight commands in less than one designed settle: each goes out once the one before
    // is proved, its bytes on the line the only wait.
    EXPECT_LT(clock.elapsed_seconds() - start, 0.3);
    EXPECT_EQ(take_console(), "");
}

TEST_F(Cm6k6Handshake, ASilentControllerIsReportedOnceUntilItIsHeardAgain) {
    controller.expect("1D1.000000")
        .expect("WRITE\"H1\"")
        .expect("2D1.000000")
        .expect("WRITE\"H2\"", "H1"); // an old handshake's reply proves nothing
    for (int k = 0; k < 4; ++k)
        controller.expect("TCMDER", "*NO ERRORS");
    controller.expect("3D1.000000").expect("WRITE\"H3\"");
    press_enter(2);
    EXPECT_EQ(cm6k6_out(id, "1D1.000000"), -1);
    EXPECT_EQ(take_console(), cm6k6_stop_text(kSilent));
    EXPECT_EQ(cm6k6_out(id, "2D1.000000"), -1);
    EXPECT_EQ(take_console(), "");
    EXPECT_EQ(cm6k6_read_error_status(id), 0); // heard again
    EXPECT_EQ(cm6k6_out(id, "3D1.000000"), -1);
    EXPECT_EQ(take_console(), cm6k6_stop_text(kSilent));
}
