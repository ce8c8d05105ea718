// The resource file holds every control the program addresses, on the right panel, of the
// right kind, with its callback; the controls that need instruments start dimmed.
#include "app/shell/panel_ids.hpp"
#include "main/callback_table.hpp"
#include "platform_fixture.hpp"

#include <set>
#include <vector>

namespace {

struct Role {
    int id;
    const char* kind;
    const char* callback; // "" when the control has none
    bool dimmed;          // at design time
};

const std::vector<Role> kMainRoles = [] {
    std::vector<Role> roles = {
        {MAIN_STATUS, "string", "", false},
        {MAIN_ENTRY_MODE, "ring", "reference_switch", false},
        {MAIN_MOVE_MODE, "switch", "", false},
        {MAIN_LOG_TO_FILE, "switch", "", false},
        {MAIN_INIT, "command", "device_init", false},
        {MAIN_READ_DATA, "command", "read_data", true},
        {MAIN_MOVE, "command", "move_motor", true},
        {MAIN_ZERO_ALL, "command", "zero_readings", true},
        {MAIN_HOME, "command", "go_home", true},
        {MAIN_PARAM, "command", "set_param", false},
        {MAIN_TEST, "command", "do_cam_test", false},
        {MAIN_QUIT, "command", "program_quit", false},
    };
    for (int id = MAIN_TARGET_X; id <= MAIN_GAGE_5; ++id)
        roles.push_back({id, "numeric_double", "", false});
    for (int id = MAIN_SWITCH_LED_1; id <= MAIN_MOVE_LED_5; ++id)
        roles.push_back({id, "led", "", false});
    for (int id : {MAIN_READ_POT_5, MAIN_READ_POT_4, MAIN_READ_POT_3, MAIN_READ_POT_2})
        roles.push_back({id, "command", "read_pot", true});
    for (int id = MAIN_READ_GAGE_1; id <= MAIN_READ_GAGE_5; ++id)
        roles.push_back({id, "command", "read_gage", true});
    for (int id = MAIN_ZERO_GAGE_1; id <= MAIN_ZERO_GAGE_5; ++id)
        roles.push_back({id, "command", "zero_gage", true});
    return roles;
}();

const std::vector<Role> kParamRoles = {
    {PARAM_HP_BOARD, "numeric_int", "", false},     {PARAM_CM_ADDR, "numeric_int", "", false},
    {PARAM_EV_ADDR, "numeric_int", "", false},      {PARAM_HP_ADDR, "numeric_int", "", false},
    {PARAM_EV_PORT, "numeric_int", "", false},      {PARAM_CM_PORT, "numeric_int", "", false},
    {PARAM_SETTING_1, "numeric_double", "", false}, {PARAM_SETTING_2, "numeric_double", "", false},
    {PARAM_CAM, "numeric_u16", "", false},          {PARAM_STEP, "numeric_double", "", false},
    {PARAM_POINTS, "numeric_u16", "", false},       {PARAM_INTERVAL, "numeric_double", "", false},
    {PARAM_SAVE, "command", "save_param", false},   {PARAM_EXIT, "command", "exit_param", false},
};

const std::vector<Role> kTestRoles = {
    {TEST_CAM, "numeric_int", "", false},
    {TEST_GAGE_CHANNEL, "numeric_int", "", false},
    {TEST_POINTS, "numeric_int", "", false},
    {TEST_STEP, "numeric_double", "", false},
    {TEST_INTERVAL, "numeric_double", "", false},
    {TEST_RANDOM, "numeric_double", "", false},
    {TEST_SETTING_1, "numeric_double", "", false},
    {TEST_SETTING_2, "numeric_double", "", false},
    {TEST_POSITION, "numeric_double", "", false},
    {TEST_ANGLE, "numeric_double", "", false},
    {TEST_TEMP, "numeric_double", "", false},
    {TEST_STATUS, "string", "", false},
    {TEST_GRAPH, "graph", "", false},
    {TEST_AMPLITUDE, "numeric_double", "", false},
    {TEST_PHASE, "numeric_double", "", false},
    {TEST_INIT, "command", "test_device_init", false},
    {TEST_RUN, "command", "test_distance_move", true},
    {TEST_ZERO, "command", "test_zero_data", true},
    {TEST_GET_TEMP, "command", "test_get_temp", true},
    {TEST_GET_POSITION, "command", "test_get_position", true},
    {TEST_GET_ANGLE, "command", "test_get_angle", true},
    {TEST_REFRESH, "command", "test_refresh_graph", false},
    {TEST_GO_ZERO, "command", "test_go_zero", true},
    {TEST_GO_HOME, "command", "test_go_home", true},
    {TEST_SET_ANGLE, "command", "test_set_angle", true},
    {TEST_WORK_POINT, "command", "find_work_point", true},
    {TEST_EXIT, "command", "exit_test", false},
};

using ResourceFileTest = PlatformTest;

void expect_roles(const ScriptedOperator& op, int panel, const std::vector<Role>& roles) {
    std::set<int> expected;
    for (const Role& role : roles) {
        expected.insert(role.id);
        const ScriptedControl* c = op.control(panel, role.id);
        if (c == nullptr) {
            ADD_FAILURE() << "control " << role.id << " is missing";
            continue;
        }
        EXPECT_EQ(c->kind, role.kind) << c->name;
        EXPECT_EQ(c->callback, role.callback) << c->name;
        EXPECT_EQ(c->dimmed, role.dimmed) << c->name;
    }
    // Nothing addressable beyond the roles the program knows.
    for (const auto& [id, control] : op.panel(panel)->controls)
        EXPECT_TRUE(expected.count(id)) << "unknown control " << id << " " << control.name;
}

} // namespace

TEST_F(ResourceFileTest, MainPanelHoldsEveryRole) {
    const int main = load(MAIN_PANEL);
    expect_roles(op, main, kMainRoles);
    EXPECT_EQ(op.value_int(main, MAIN_ENTRY_MODE), 0);
}

TEST_F(ResourceFileTest, ParametersPanelHoldsEveryRole) {
    const int main = load(MAIN_PANEL);
    expect_roles(op, load(PARAM_PANEL, main), kParamRoles);
}

TEST_F(ResourceFileTest, TestPanelHoldsEveryRoleWithTheFitFieldsHidden) {
    const int test = load(TEST_PANEL);
    expect_roles(op, test, kTestRoles);
    EXPECT_FALSE(op.visible(test, TEST_AMPLITUDE));
    EXPECT_FALSE(op.visible(test, TEST_PHASE));
    EXPECT_TRUE(op.visible(test, TEST_STATUS));
}

TEST_F(ResourceFileTest, EveryCallbackNamedInTheFileIsKnown) {
    // The names the file binds must be names the program has or will have; a typo would
    // leave a button dead.
    const std::set<std::string> known = {
        "reference_switch",   "device_init",   "read_data",         "move_motor",
        "zero_readings",      "go_home",       "read_pot",          "read_gage",
        "zero_gage",          "set_param",     "do_cam_test",       "program_quit",
        "save_param",         "exit_param",    "test_device_init",  "test_distance_move",
        "test_zero_data",     "test_get_temp", "test_get_position", "test_get_angle",
        "test_refresh_graph", "test_go_zero",  "test_go_home",      "test_set_angle",
        "find_work_point",    "exit_test"};
    const int main = load(MAIN_PANEL);
    for (int panel : {main, load(PARAM_PANEL, main), load(TEST_PANEL)}) {
        for (const auto& [id, control] : op.panel(panel)->controls) {
            if (!control.callback.empty()) {
                EXPECT_TRUE(known.count(control.callback)) << control.callback;
            }
        }
    }
    for (const auto& binding : trelwick_callback_table())
        EXPECT_TRUE(known.count(std::string(binding.name))) << binding.name;
}
