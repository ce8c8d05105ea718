// Fixture for tests of the application rooms: the platform fixture, plus the program's
// callback table and the shared records, device ids and panel handle zero-filled as at
// program start, before and after each test. Tests using it link trelwick_callbacks.
#pragma once

#include "app/shell/shared_state.hpp"
#include "main/callback_table.hpp"
#include "platform_fixture.hpp"

class AppTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        shared_state_reset();
        platform_set_callback_table(trelwick_callback_table());
    }
    void TearDown() override {
        shared_state_reset();
        PlatformTest::TearDown();
    }
};
