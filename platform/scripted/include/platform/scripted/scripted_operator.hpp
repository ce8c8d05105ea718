// The scripted operator: a panel backend for tests.
//
// It builds its panels from the same resource file the operator sees, records every
// status text, control value and attribute, every pop-up and every focus change, answers
// pop-ups from a script, and presses controls by calling their callbacks with the commit
// event. A pop-up the script did not expect is answered safely (No, Reset, Cancel) and
// listed in unexpected(); the on_unexpected hook hears of it at that moment, so that a
// test fixture fails the test there and then (and stops the operation) instead of letting
// the program run on with an answer nobody gave.
//
// While the program waits with event processing (ProcessSystemEvents), the operator may
// act: each call runs the oldest action queued with during_wait() once the platform clock
// has reached its time, at most one per call. A call whose wait reaches that time moves
// the clock on to it and runs the action there; otherwise the whole wait passes.
#pragma once

#include "platform/panels.hpp"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

enum class PopupKind { Message, Confirm, Generic, Prompt, FileSelect };

const char* popup_kind_name(PopupKind kind);

struct PopupRecord {
    PopupKind kind;
    std::string title;
    std::string message;
    std::vector<std::string> buttons; // the generic pop-up's labels, left to right
    int active_button = 0, enter_button = 0, escape_button = 0;
    int answer = 0;
    std::string details; // the lines shown under the message on request (set_popup_details)
};

struct ValueRecord {
    int panel;
    int control;
    CtrlValue value;
};

struct AttributeRecord {
    int panel;
    int control;
    int attribute; // ATTR_DIMMED or ATTR_VISIBLE
    int value;
};

struct FocusRecord {
    int panel;
    int control; // -1 when a whole panel was made active
};

struct PlotRecord {
    int panel, control;
    double x, y;
    int style, color, handle;
};

struct AxisRecord {
    int panel, control;
    int x_mode;
    double x_min, x_max;
    int y_mode;
    double y_min, y_max;
};

// One control as the resource file describes it.
struct ScriptedControl {
    int id = 0;
    std::string name;            // objectName in the resource file
    std::string accessible_name; // what a screen reader calls it
    std::string kind;            // ctrlKind: numeric_double, numeric_int, numeric_u16, string,
                                 // command, ring, switch, led, graph
    std::string callback;        // empty when the control has none
    CtrlValue value = 0LL;
    int decimals = 2; // digits a real field shows after the point
    bool dimmed = false;
    bool visible = true;
    // Graph state.
    int next_plot = 1;
    int plot_count = 0;
    double x_min = 0.0, x_max = 10.0, y_min = 0.0, y_max = 10.0;
};

struct ScriptedPanel {
    int handle = 0;
    int resource_id = 0;
    int parent = 0;
    std::string title;
    std::map<int, ScriptedControl> controls;
    int displays = 0;
};

class ScriptedOperator : public PanelBackend {
public:
    ScriptedOperator();
    ~ScriptedOperator() override;

    // --- The script -----------------------------------------------------------------
    // Answers for the next pop-ups, in order. Confirm: 1 Yes, 0 No. Generic: button 1-3.
    // Prompt: 1 with the response text, 0 cancelled. FileSelect: the result with the path.
    void answer(PopupKind kind, int result, std::string text = {});
    void answer_message() { answer(PopupKind::Message, 1); }
    void answer_confirm(bool yes) { answer(PopupKind::Confirm, yes ? 1 : 0); }
    void answer_generic(int button) { answer(PopupKind::Generic, button); }
    // The generic pop-up answered with the Enter or Escape key.
    void answer_generic_enter();
    void answer_generic_escape();
    // The operator does `while_up` (presses Stop, say) while the pop-up is up, then gives
    // the answer.
    void answer_after(PopupKind kind, int result, std::function<void()> while_up);
    std::size_t pending_answers() const { return answers_.size(); }
    // Called with the description of each unexpected interaction as it happens.
    void on_unexpected(std::function<void(const std::string&)> hook) {
        on_unexpected_ = std::move(hook);
    }

    // Work for RunUserInterface: each action runs in turn until one of them asks the loop
    // to stop or none is left.
    void queue_action(std::function<void()> action);

    // Work for the event processing: `action` runs inside a ProcessSystemEvents call made
    // at or after `at_seconds` on the platform clock (platform_now_seconds), as an operator
    // acting while the program waits. Actions run in the order queued, one per call.
    void during_wait(std::function<void()> action, double at_seconds = 0.0);
    // The operator presses a control during such a wait (see press()).
    void press_during_wait(int panel, int control, double at_seconds = 0.0);
    std::size_t pending_wait_actions() const { return wait_actions_.size(); }
    int events_processed() const { return events_processed_; }

    // --- Acting as the operator ------------------------------------------------------
    // Calls the control's callback with EVENT_COMMIT (or `event`) and returns its result.
    // A missing, dimmed or hidden control, or one without a callback, is listed as
    // unexpected and gives -1.
    int press(int panel, int control, int event = EVENT_COMMIT);
    // Types or selects a value, then commits it as the operator does.
    int commit_value(int panel, int control, const CtrlValue& value);
    // Types a value without committing it (a field the program reads later).
    void type_value(int panel, int control, const CtrlValue& value);

    // --- What happened ---------------------------------------------------------------
    const std::vector<PopupRecord>& popups() const { return popups_; }
    const std::vector<std::string>& unexpected() const { return unexpected_; }
    const std::vector<ValueRecord>& value_log() const { return values_; }
    // Every text written to one control, in order (the status line's history).
    std::vector<std::string> texts(int panel, int control) const;
    const std::vector<AttributeRecord>& attribute_log() const { return attributes_; }
    const std::vector<FocusRecord>& focus_log() const { return focus_; }
    const std::vector<PlotRecord>& plots() const { return plots_; }
    const std::vector<AxisRecord>& axis_log() const { return axes_; }
    int beeps() const { return beeps_; }
    int event_loop_runs() const { return loop_runs_; }
    bool quit_requested() const { return quit_requested_; }
    int displays(int panel) const;
    void clear_records();

    // --- Panels and controls ---------------------------------------------------------
    const ScriptedPanel* panel(int handle) const;
    const ScriptedControl* control(int panel, int control) const;
    // The handle of the live panel loaded from this resource number, or 0.
    int panel_by_resource(int resource_id) const;
    double value_double(int panel, int control) const;
    long long value_int(int panel, int control) const;
    std::string value_string(int panel, int control) const;
    // What the field shows: a real with the field's decimals ("NaN", "inf", "-inf" when not
    // finite), an integer in decimal, a text as it is.
    std::string shown_text(int panel, int control) const;
    bool dimmed(int panel, int control) const;
    bool visible(int panel, int control) const;
    int active_panel() const { return active_panel_; }

    // Makes the next LoadPanel fail with `status` (e.g. to test a panel that can't load).
    void fail_next_load(int status) { fail_next_load_ = status; }
    // Makes plotting and axis calls on graphs fail with `status` (0 to stop).
    void fail_graph_calls(int status) { fail_graph_ = status; }

    // --- PanelBackend ----------------------------------------------------------------
    int load_panel(int parent_panel, const std::string& ui_file, int resource_id) override;
    int display_panel(int panel) override;
    int discard_panel(int panel) override;
    int set_active_panel(int panel) override;
    int set_active_ctrl(int panel, int control) override;
    int run_user_interface() override;
    int quit_user_interface(int code) override;
    void process_system_events(double wait_seconds) override;
    int get_value(int panel, int control, CtrlValue& out) override;
    int set_value(int panel, int control, const CtrlValue& value) override;
    int get_attribute(int panel, int control, int attribute, int& out) override;
    int set_attribute(int panel, int control, int attribute, int value) override;
    int set_panel_title(int panel, const std::string& title) override;
    void set_popup_details(const std::string& details) override { popup_details_ = details; }
    void message_popup(const std::string& title, const std::string& message) override;
    int confirm_popup(const std::string& title, const std::string& message) override;
    int generic_message_popup(const GenericPopupRequest& request, std::string* response) override;
    int prompt_popup(const std::string& title, const std::string& message, std::string& response,
                     int max_length) override;
    int file_select_popup(const FileSelectRequest& request, std::string& path) override;
    int plot_point(int panel, int control, double x, double y, int point_style, int color) override;
    int delete_graph_plot(int panel, int control, int plot, int refresh) override;
    int set_axis_range(int panel, int control, int x_mode, double x_min, double x_max, int y_mode,
                       double y_min, double y_max) override;
    void beep() override;

private:
    struct Answer {
        PopupKind kind;
        int result;
        std::string text;
        int key; // 0, or 1 for Enter / 2 for Escape on a generic pop-up
        std::function<void()> while_up = {};
    };
    ScriptedControl* find(int panel, int control);
    const ScriptedControl* find(int panel, int control) const;
    bool take_answer(PopupKind kind, const std::string& title, const std::string& message,
                     Answer& out);
    void note_unexpected(std::string what);

    std::map<int, ScriptedPanel> panels_;
    int next_handle_ = 1;
    int active_panel_ = 0;
    int fail_next_load_ = 0;
    int fail_graph_ = 0;
    std::deque<Answer> answers_;
    std::deque<std::function<void()>> actions_;
    struct WaitAction {
        std::function<void()> action;
        double at_seconds;
    };
    std::deque<WaitAction> wait_actions_;
    int events_processed_ = 0;
    bool quit_requested_ = false;
    int quit_code_ = 0;
    int loop_runs_ = 0;
    int beeps_ = 0;
    std::vector<PopupRecord> popups_;
    std::vector<std::string> unexpected_;
    std::function<void(const std::string&)> on_unexpected_;
    std::vector<ValueRecord> values_;
    std::vector<AttributeRecord> attributes_;
    std::vector<FocusRecord> focus_;
    std::vector<PlotRecord> plots_;
    std::vector<AxisRecord> axes_;
    std::string popup_details_;
};
