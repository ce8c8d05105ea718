#include "driver_fixture.hpp"

#include "drivers/wait_profile.hpp"

void DriverTest::SetUp() {
    PlatformTest::SetUp();
    wait_profile_reset();
    cm6k6_reset();
    ev16p_reset();
    hp34970_reset();
    platform_use_serial(&serial);
    platform_use_gpib(&gpib);
    serial.attach(kControllerPort, &controller);
    serial.attach(kCounterPort, &counter);
    gpib.attach(kBoard, kDaqAddress, &daq);
}

void DriverTest::TearDown() {
    for (const auto* peer : {&controller, &counter, &daq}) {
        for (const auto& m : peer->mismatches())
            ADD_FAILURE() << "instrument: " << m;
        for (const auto& u : peer->unmet())
            ADD_FAILURE() << "instrument never got \"" << u << "\"";
    }
    cm6k6_reset();
    ev16p_reset();
    hp34970_reset();
    wait_profile_reset();
    PlatformTest::TearDown();
}

const std::vector<std::string> kControllerConfiguration = {
    "!RESET",
    "PORT1",
    "E1",
    "ECHO0",
    "STARTP CLR",
    "AXSDEF000000",
    "LS0,0,0,0,0,0",
    "LH0,0,0,0,0,0",
    "LIMLVL0",
    "@LHAD1.000000",
    "DRFEN000000",
    "ENCCNT111111",
    "SCALE1",
    "DRES25000,25000,25000,25000,25000,25000",
    "SCLD25000,25000,25000,25000,25000,25000",
    "SCLV25000,25000,25000,25000,25000,25000",
    "SCLA25000,25000,25000,25000,25000,25000",
    "ERES04096,04096,04096,04096,04096,04096",
    "SCLMAS04096,04096,04096,04096,04096,04096",
    "FOLRN1,1,1,1,1,1",
    "FOLRD1,1,1,1,1,1",
    "DRIVE111111",
    "PSET000000",
    "COMEXC1",
    "DRIVE000000",
};

int DriverTest::bring_up_controller() {
    for (const auto& c : kControllerConfiguration)
        controller.expect(c);
    for (int k = 0; k < 4; ++k)
        controller.expect("TCMDER", "*NO ERRORS");
    int id = 0;
    cm6k6_init(0, kControllerPort, 1, &id);
    EXPECT_EQ(id, 1);
    controller.forget_received();
    op.clear_records();
    console.clear_output();
    return id;
}

int DriverTest::bring_up_counter() {
    counter.expect("CS00", "CH00").expect("CK01", "CK010");
    int id = 0;
    ev16p_init(kCounterPort, 11, &id);
    EXPECT_EQ(id, 1);
    counter.forget_received();
    op.clear_records();
    return id;
}

int DriverTest::bring_up_daq() {
    daq.expect("*IDN?", "HEWLETT-PACKARD,34970A,0,13-2-2")
        .expect("*RST")
        .expect("SYSTEM:ERROR?", "+0,\"No error\"");
    int id = 0;
    hp34970_init(kBoard, kDaqAddress, &id);
    EXPECT_EQ(id, 1);
    daq.forget_received();
    return id;
}

void DriverTest::press_enter(int times) {
    for (int k = 0; k < times; ++k)
        console.add_line("\n");
}

std::string DriverTest::take_console() {
    std::string text = console.output();
    console.clear_output();
    return text;
}

std::vector<std::string> DriverTest::confirm_texts() const {
    std::vector<std::string> texts;
    for (const auto& p : op.popups())
        if (p.kind == PopupKind::Confirm)
            texts.push_back(p.message);
    return texts;
}

std::string confirm_text(const std::string& what, int code) {
    return "Error in " + what + ". Check error code # " + std::to_string(code) + ". Continue?";
}

namespace {
const std::string kPrompt =
    "Press ENTER to continue.\nPress any key then ENTER to terminate program.\n";
}

std::string cm6k6_stop_text(const std::string& text) {
    return "\nCM6K6 ERROR: " + text + "\n" + kPrompt;
}

std::string hp34970_stop_text(const std::string& text) {
    return "\nHP34970 ERROR: " + text + "\n" + kPrompt;
}
