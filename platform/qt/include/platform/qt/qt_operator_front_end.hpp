// The window as the operator thread's front end.
//
// The operator program runs on the operator thread (platform/operator_thread.hpp); the
// widgets belong to the Qt thread. This backend is what the operator thread calls: every
// panel operation (values, attributes, pop-ups, graphs, file choosers) is carried to the
// Qt thread and waits there for its result, so the program sees the same answers in the
// same order as on one thread, and a pop-up blocks the operator thread, not the window.
// The window's commits are queued for the operator thread (QtPanelBackend::send_commits_to).
//
// Construct both on the Qt thread after the QApplication; install this one with
// platform_use_panels and the thread with platform_use_operator_thread.
#pragma once

#include "platform/operator_thread.hpp"
#include "platform/qt/qt_panel_backend.hpp"

class QtOperatorFrontEnd : public PanelBackend {
public:
    QtOperatorFrontEnd(QtPanelBackend& panels, OperatorThread& thread);
    ~QtOperatorFrontEnd() override;
    QtOperatorFrontEnd(const QtOperatorFrontEnd&) = delete;
    QtOperatorFrontEnd& operator=(const QtOperatorFrontEnd&) = delete;

    // Runs `program` on the operator thread and the window's event loop here until the
    // program has returned; the program's result.
    int run(std::function<int()> program);

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

private:
    QtPanelBackend& panels_;
    OperatorThread& thread_;
};
