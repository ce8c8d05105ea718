// The panels and the console of an operator without a screen.
//
// The operator logic runs as it does behind the window; this backend holds the values of
// its controls, carries what the main panel shows (status line, present coordinates, cam
// angles, gauges, targets, temperature) and every message into the StageView, and answers
// the questions the window would ask its operator:
//   - `refuse`: every question gets its safe choice at once (a Yes/No confirmation No; a
//     three-button question the button that answers Escape: the refusal of the step,
//     never the answer that ends the program);
//   - `ask`: the view goes to ALARM with the question and waits for an answer from the
//     control system, up to the time-out, then refuses as above.
// Nothing is ever answered Yes without a client asking for it. Every answered question is
// said in Status and written to the run log. A console stop is answered by going on.
//
// All calls come from the operator thread (operator_thread.hpp), on which the program runs
// as it runs behind the window.
#pragma once

#include "headless/stage_view.hpp"
#include "platform/console.hpp"
#include "platform/panels.hpp"

#include <map>
#include <mutex>
#include <string>
#include <utility>

enum class QuestionPolicy { Refuse, Ask };

struct QuestionSettings {
    QuestionPolicy policy = QuestionPolicy::Refuse;
    double timeout_seconds = 60.0;
};

// "refuse" or "ask" (any case); nothing for another text.
std::optional<QuestionPolicy> question_policy_from_text(std::string_view text);

class HeadlessPanel : public PanelBackend, public ConsoleBackend {
public:
    explicit HeadlessPanel(StageView& view);

    void set_questions(QuestionSettings settings);
    QuestionSettings questions() const;

    // The operator types a value into a control without committing it (a target the next
    // Move reads).
    void type_value(int panel, int control, const CtrlValue& value);

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
    // Status shows them after the message, "; " between the lines.
    void message_popup(const std::string& title, const std::string& message,
                       const std::string& details) override;
    int confirm_popup(const std::string& title, const std::string& message,
                      const std::string& details) override;
    int generic_message_popup(const GenericPopupRequest& request, std::string* response) override;
    int prompt_popup(const std::string& title, const std::string& message, std::string& response,
                     int max_length) override;
    int file_select_popup(const FileSelectRequest& request, std::string& path) override;
    int plot_point(int panel, int control, double x, double y, int point_style, int color) override;
    int delete_graph_plot(int panel, int control, int plot, int refresh) override;
    int set_axis_range(int panel, int control, int x_mode, double x_min, double x_max, int y_mode,
                       double y_min, double y_max) override;
    void beep() override;

    // --- ConsoleBackend --------------------------------------------------------------
    void write(std::string_view text) override;
    bool read_line(std::string& line, std::size_t max_chars) override;
    [[noreturn]] void exit_program(int status) override;

private:
    // Asks one question; true for the confirming answer. `confirm_label` and
    // `refuse_label` name the two answers in Status and the run log.
    bool decide(const std::string& question, const char* confirm_label, const char* refuse_label);
    void tell(std::string text);
    void carry_to_view(int panel, int control, const CtrlValue& value);
    // `text` followed by the pop-up's details, on one line.
    std::string with_details(std::string text, std::string details);

    StageView& view_;
    mutable std::mutex mutex_;
    QuestionSettings settings_;
    std::map<std::pair<int, int>, CtrlValue> values_;
    std::map<std::pair<int, int>, int> dimmed_;
    std::map<int, int> resource_of_; // panel handle -> resource number
    int next_handle_ = 1;
    std::string console_text_;
    bool logging_ = false;
};
