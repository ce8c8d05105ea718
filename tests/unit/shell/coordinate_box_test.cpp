// The coordinate-entry modes: which slots of the coordinate box each mode dims or enables.
#include "app/shell/coordinate_box.hpp"
#include "app/shell/panel_ids.hpp"
#include "app_fixture.hpp"

#include <set>

namespace {

class CoordinateBoxTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        main_panel_handle() = main = load(MAIN_PANEL);
    }
    // Puts every slot into a known state: odd slots dimmed, even ones enabled.
    void checkerboard() {
        for (int slot = 0; slot < COORD_CTRL_COUNT; ++slot)
            SetCtrlAttribute(main, coord_ctrls[slot], ATTR_DIMMED, slot % 2);
        op.clear_records();
    }
    // Slots whose state the mode changed, as (slot, dimmed) pairs, and that every other slot
    // kept its checkerboard state.
    std::set<std::pair<int, int>> changes() const {
        std::set<std::pair<int, int>> out;
        for (const auto& r : op.attribute_log()) {
            for (int slot = 0; slot < COORD_CTRL_COUNT; ++slot)
                if (coord_ctrls[slot] == r.control && r.attribute == ATTR_DIMMED)
                    out.insert({slot, r.value});
        }
        return out;
    }
    void expect_final_state(const std::set<int>& dimmed, const std::set<int>& enabled) const {
        for (int slot = 0; slot < COORD_CTRL_COUNT; ++slot) {
            const bool expected = dimmed.count(slot)    ? true
                                  : enabled.count(slot) ? false
                                                        : (slot % 2 == 1);
            EXPECT_EQ(op.dimmed(main, coord_ctrls[slot]), expected) << "slot " << slot;
        }
    }
    int main = 0;
};

std::set<std::pair<int, int>> as_changes(const std::set<int>& dimmed,
                                         const std::set<int>& enabled) {
    std::set<std::pair<int, int>> out;
    for (int s : dimmed)
        out.insert({s, 1});
    for (int s : enabled)
        out.insert({s, 0});
    return out;
}

} // namespace

TEST_F(CoordinateBoxTest, ModesZeroAndOneEnableSlotsTwoToFourteen) {
    const std::set<int> enabled = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    for (int mode : {0, 1}) {
        checkerboard();
        set_coordinate_box(mode);
        EXPECT_EQ(changes(), as_changes({}, enabled)) << "mode " << mode;
        expect_final_state({}, enabled);
        EXPECT_EQ(op.displays(main), 1);
    }
}

TEST_F(CoordinateBoxTest, ModeTwoKeepsXYAndCamsFourAndFive) {
    checkerboard();
    set_coordinate_box(2);
    const std::set<int> dimmed = {2, 3, 4, 7, 8, 9, 10, 11, 12}, enabled = {13, 14};
    EXPECT_EQ(changes(), as_changes(dimmed, enabled));
    expect_final_state(dimmed, enabled);
    EXPECT_EQ(op.displays(main), 1);
}

TEST_F(CoordinateBoxTest, ModeThreeKeepsXYRollAndCamsOneToThree) {
    checkerboard();
    set_coordinate_box(3);
    const std::set<int> dimmed = {3, 4, 8, 9, 13, 14}, enabled = {10, 11, 2, 12, 7};
    EXPECT_EQ(changes(), as_changes(dimmed, enabled));
    expect_final_state(dimmed, enabled);
    EXPECT_EQ(op.displays(main), 1);
}

TEST_F(CoordinateBoxTest, OtherModesChangeNothingButStillRedisplay) {
    for (int mode : {4, -1}) {
        checkerboard();
        set_coordinate_box(mode);
        EXPECT_TRUE(op.attribute_log().empty()) << "mode " << mode;
        expect_final_state({}, {});
        EXPECT_EQ(op.displays(main), 1) << "mode " << mode;
    }
}
