// Every panel call of the operator thread, carried to the Qt thread.
#include "platform/qt/qt_operator_front_end.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <type_traits>
#include <utility>

namespace {

// Runs `work` on the Qt thread and returns its result; at once when called there.
template <typename Work> auto on_qt(Work&& work) -> decltype(work()) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread())
        return work();
    using Result = decltype(work());
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(app, std::forward<Work>(work), Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(
            app, [&result, &work] { result = work(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

} // namespace

QtOperatorFrontEnd::QtOperatorFrontEnd(QtPanelBackend& panels, OperatorThread& thread)
    : panels_(panels), thread_(thread) {
    panels_.send_commits_to(&thread_);
}

QtOperatorFrontEnd::~QtOperatorFrontEnd() {
    panels_.send_commits_to(nullptr);
}

int QtOperatorFrontEnd::run(std::function<int()> program) {
    thread_.start(std::move(program), [] {
        // The program has returned: the window's loop ends with it.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    return thread_.join();
}

int QtOperatorFrontEnd::load_panel(int parent_panel, const std::string& ui_file, int resource_id) {
    return on_qt([&] { return panels_.load_panel(parent_panel, ui_file, resource_id); });
}
int QtOperatorFrontEnd::display_panel(int panel) {
    return on_qt([&] { return panels_.display_panel(panel); });
}
int QtOperatorFrontEnd::discard_panel(int panel) {
    return on_qt([&] { return panels_.discard_panel(panel); });
}
int QtOperatorFrontEnd::set_active_panel(int panel) {
    return on_qt([&] { return panels_.set_active_panel(panel); });
}
int QtOperatorFrontEnd::set_active_ctrl(int panel, int control) {
    return on_qt([&] { return panels_.set_active_ctrl(panel, control); });
}
// On the operator thread the event loop is the operator thread's own (RunUserInterface
// and ProcessSystemEvents go there); these serve a caller on the Qt thread.
int QtOperatorFrontEnd::run_user_interface() {
    return on_qt([&] { return panels_.run_user_interface(); });
}
int QtOperatorFrontEnd::quit_user_interface(int code) {
    return on_qt([&] { return panels_.quit_user_interface(code); });
}
void QtOperatorFrontEnd::process_system_events(double wait_seconds) {
    if (thread_.on_operator_thread()) {
        thread_.process_actions(wait_seconds);
        return;
    }
    panels_.process_system_events(wait_seconds);
}

int QtOperatorFrontEnd::get_value(int panel, int control, CtrlValue& out) {
    return on_qt([&] { return panels_.get_value(panel, control, out); });
}
int QtOperatorFrontEnd::set_value(int panel, int control, const CtrlValue& value) {
    return on_qt([&] { return panels_.set_value(panel, control, value); });
}
int QtOperatorFrontEnd::get_attribute(int panel, int control, int attribute, int& out) {
    return on_qt([&] { return panels_.get_attribute(panel, control, attribute, out); });
}
int QtOperatorFrontEnd::set_attribute(int panel, int control, int attribute, int value) {
    return on_qt([&] { return panels_.set_attribute(panel, control, attribute, value); });
}
int QtOperatorFrontEnd::set_panel_title(int panel, const std::string& title) {
    return on_qt([&] { return panels_.set_panel_title(panel, title); });
}

void QtOperatorFrontEnd::message_popup(const std::string& title, const std::string& message,
                                       const std::string& details) {
    on_qt([&] { panels_.message_popup(title, message, details); });
}
int QtOperatorFrontEnd::confirm_popup(const std::string& title, const std::string& message,
                                      const std::string& details) {
    return on_qt([&] { return panels_.confirm_popup(title, message, details); });
}
int QtOperatorFrontEnd::generic_message_popup(const GenericPopupRequest& request,
                                              std::string* response) {
    return on_qt([&] { return panels_.generic_message_popup(request, response); });
}
int QtOperatorFrontEnd::prompt_popup(const std::string& title, const std::string& message,
                                     std::string& response, int max_length) {
    return on_qt([&] { return panels_.prompt_popup(title, message, response, max_length); });
}
int QtOperatorFrontEnd::file_select_popup(const FileSelectRequest& request, std::string& path) {
    return on_qt([&] { return panels_.file_select_popup(request, path); });
}

int QtOperatorFrontEnd::plot_point(int panel, int control, double x, double y, int point_style,
                                   int color) {
    return on_qt([&] { return panels_.plot_point(panel, control, x, y, point_style, color); });
}
int QtOperatorFrontEnd::delete_graph_plot(int panel, int control, int plot, int refresh) {
    return on_qt([&] { return panels_.delete_graph_plot(panel, control, plot, refresh); });
}
int QtOperatorFrontEnd::set_axis_range(int panel, int control, int x_mode, double x_min,
                                       double x_max, int y_mode, double y_min, double y_max) {
    return on_qt([&] {
        return panels_.set_axis_range(panel, control, x_mode, x_min, x_max, y_mode, y_min, y_max);
    });
}

void QtOperatorFrontEnd::beep() {
    on_qt([&] { panels_.beep(); });
}
