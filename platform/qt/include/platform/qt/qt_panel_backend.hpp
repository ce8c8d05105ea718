// The Qt Widgets panel backend: the program's real user interface.
//
// Panels are loaded at run time from the Qt Designer resource file (one tab page per
// panel), callbacks are bound by the names the file gives, pop-ups are modal dialogs and
// the graph is a Qt Charts view. Construct it after the QApplication exists and destroy
// it before; install it with platform_use_panels. A few accessors let tests reach the
// widgets and the graph's state.
#pragma once

#include "platform/panels.hpp"

#include <memory>

class QWidget;
class OperatorThread;

class QtPanelBackend : public PanelBackend {
public:
    QtPanelBackend();
    ~QtPanelBackend() override;
    QtPanelBackend(const QtPanelBackend&) = delete;
    QtPanelBackend& operator=(const QtPanelBackend&) = delete;

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

    // Message and confirm pop-ups show them as the box's detailed text ("Show Details...");
    // the generic pop-up in a read-only field ("genericPopupDetails") under its message.
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

    // The operator's commits are queued for `thread` from now on instead of running here
    // (nullptr: inline again). A control marked runsAtOnce in the resource file (Stop)
    // still runs here at once; one marked quitsProgram asks first while an action runs.
    void send_commits_to(OperatorThread* thread);

    // --- For tests and screenshots ----------------------------------------------------

    // The panel's window, or nullptr for an unknown handle.
    QWidget* panel_window(int panel) const;
    // The control's widget (for a graph: its QChartView), or nullptr.
    QWidget* control_widget(int panel, int control) const;

    struct GraphState {
        double x_min, x_max, y_min, y_max; // current axis limits
        int plot_count;                    // live plot handles
        int series_count;                  // one series per point style and colour
    };
    // False when the panel or the graph control does not exist.
    bool graph_state(int panel, int control, GraphState& out) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
