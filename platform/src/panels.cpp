// Dispatch of the panel operations to the installed backend, with the value conversions
// the run-time makes between a control's type and the caller's variable.
#include "platform/panels.hpp"

#include "group_resets.hpp"

#include "platform/clock.hpp"
#include "platform/operator_thread.hpp"
#include "platform/text.hpp"

#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <thread>
#include <vector>

namespace {

PanelBackend* g_panels = nullptr;
std::vector<CallbackBinding> g_callbacks;
std::string g_resource_dir = ".";

// Reads a control's value as the backend holds it.
int read_value(int panel, int control, CtrlValue& value) {
    if (g_panels == nullptr)
        return UIENotAvailable;
    return g_panels->get_value(panel, control, value);
}

// A real rounded to the nearest integer (halves away from zero, as the run-time converts a
// real for an integer variable), or nothing when it is not finite or does not fit `Int`.
template <typename Int> std::optional<Int> rounded_to(double real) {
    if (!std::isfinite(real))
        return std::nullopt;
    const double rounded = std::round(real);
    // Both limits of every Int used here (at most 32 bits) are exact doubles.
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

template <typename Int> int get_integer(int panel, int control, Int* out) {
    static_assert(sizeof(Int) <= 4, "the limits of Int must be exact doubles");
    CtrlValue value;
    if (const int status = read_value(panel, control, value); status < 0)
        return status;
    if (const auto* integer = std::get_if<long long>(&value)) {
        // Narrow integers keep their low bits, as when a control's value is read straight
        // into a 16-bit field (the conversion is modular, hence defined, for every value).
        *out = static_cast<Int>(static_cast<unsigned long long>(*integer));
        return 0;
    }
    if (const auto* real = std::get_if<double>(&value)) {
        const std::optional<Int> converted = rounded_to<Int>(*real);
        if (!converted)
            return UIEValueNotRepresentable;
        *out = *converted;
        return 0;
    }
    return UIEValueTypeMismatch;
}

int set(int panel, int control, const CtrlValue& value) {
    if (g_panels == nullptr)
        return UIENotAvailable;
    return g_panels->set_value(panel, control, value);
}

const char* or_empty(const char* text) {
    return text != nullptr ? text : "";
}

} // namespace

void platform_use_panels(PanelBackend* backend) {
    g_panels = backend;
}
PanelBackend* platform_panels() {
    return g_panels;
}

void platform_set_callback_table(std::span<const CallbackBinding> table) {
    g_callbacks.assign(table.begin(), table.end());
}

CtrlCallbackPtr platform_find_callback(std::string_view name) {
    for (const auto& binding : g_callbacks)
        if (binding.name == name)
            return binding.function;
    return nullptr;
}

void platform_set_resource_directory(std::string directory) {
    g_resource_dir = std::move(directory);
}

std::string platform_resolve_resource(std::string_view file_name) {
    std::string name(file_name);
    // The program names its resource file by the run-time's extension; the file on disk
    // is the Qt Designer form beside the executable.
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".uir") == 0) {
        name.resize(name.size() - 4);
        name.append(".ui");
    }
    if (!name.empty() && name.front() == '/')
        return name;
    std::string path = g_resource_dir;
    path.push_back('/');
    path.append(name);
    return path;
}

void platform_panels_reset() {
    g_panels = nullptr;
    g_callbacks.clear();
    g_resource_dir.clear();
    g_resource_dir.push_back('.');
}

int LoadPanel(int parent_panel, const char* file_name, int resource_id) {
    if (g_panels == nullptr)
        return UIENotAvailable;
    return g_panels->load_panel(parent_panel, platform_resolve_resource(or_empty(file_name)),
                                resource_id);
}

int DisplayPanel(int panel) {
    return g_panels != nullptr ? g_panels->display_panel(panel) : UIENotAvailable;
}
int DiscardPanel(int panel) {
    return g_panels != nullptr ? g_panels->discard_panel(panel) : UIENotAvailable;
}
int SetActivePanel(int panel) {
    return g_panels != nullptr ? g_panels->set_active_panel(panel) : UIENotAvailable;
}
int SetActiveCtrl(int panel, int control) {
    return g_panels != nullptr ? g_panels->set_active_ctrl(panel, control) : UIENotAvailable;
}
namespace {

// The operator thread, when one is installed and this is it.
OperatorThread* on_operator_thread() {
    OperatorThread* t = platform_operator_thread();
    return t != nullptr && t->on_operator_thread() ? t : nullptr;
}

} // namespace

int RunUserInterface() {
    if (OperatorThread* t = on_operator_thread())
        return t->run_actions();
    return g_panels != nullptr ? g_panels->run_user_interface() : UIENotAvailable;
}
int QuitUserInterface(int code) {
    if (OperatorThread* t = on_operator_thread()) {
        t->quit(code);
        return 0;
    }
    return g_panels != nullptr ? g_panels->quit_user_interface(code) : UIENotAvailable;
}

void platform_process_events(double seconds) {
    const double wait = std::isfinite(seconds) && seconds > 0.0 ? seconds : 0.0;
    if (OperatorThread* t = on_operator_thread()) {
        // The actions queued for the operator thread are its events. A clock that does not
        // keep machine time (a virtual one) moves on by the wait instead.
        const double real = platform_clock().real_wait_seconds(wait);
        t->process_actions(real >= 0.0 ? real : 0.0);
        if (real < 0.0)
            platform_clock().pass_event_wait(wait);
        return;
    }
    if (g_panels != nullptr) {
        g_panels->process_system_events(wait);
        return;
    }
    // No events to wait for: the wait passes idle rather than in a busy loop.
    const double real = platform_clock().real_wait_seconds(wait);
    if (real > 0.0)
        std::this_thread::sleep_for(std::chrono::duration<double>(real));
    platform_clock().pass_event_wait(wait);
}

int ProcessSystemEvents() {
    platform_process_events(kEventWaitSeconds);
    return 0;
}
// There is no network event source in this program; the call exists for the wait loop.
int ProcessTCPEvents() {
    return 0;
}

int GetCtrlVal(int panel, int control, double* value) {
    CtrlValue v;
    if (const int status = read_value(panel, control, v); status < 0)
        return status;
    if (const auto* d = std::get_if<double>(&v))
        *value = *d;
    else if (const auto* i = std::get_if<long long>(&v))
        *value = static_cast<double>(*i);
    else
        return UIEValueTypeMismatch;
    return 0;
}
int GetCtrlVal(int panel, int control, int* value) {
    return get_integer(panel, control, value);
}
int GetCtrlVal(int panel, int control, unsigned short* value) {
    return get_integer(panel, control, value);
}
int GetCtrlVal(int panel, int control, short* value) {
    return get_integer(panel, control, value);
}
int GetCtrlVal(int panel, int control, std::string* value) {
    CtrlValue v;
    if (const int status = read_value(panel, control, v); status < 0)
        return status;
    if (const auto* s = std::get_if<std::string>(&v)) {
        *value = *s;
        return 0;
    }
    return UIEValueTypeMismatch;
}

int SetCtrlVal(int panel, int control, double value) {
    return set(panel, control, value);
}
int SetCtrlVal(int panel, int control, int value) {
    return set(panel, control, static_cast<long long>(value));
}
int SetCtrlVal(int panel, int control, const char* value) {
    return set(panel, control, std::string(or_empty(value)));
}
int SetCtrlVal(int panel, int control, const std::string& value) {
    return set(panel, control, value);
}

int GetCtrlAttribute(int panel, int control, int attribute, int* value) {
    if (g_panels == nullptr)
        return UIENotAvailable;
    if (attribute == ATTR_CTRL_VAL)
        return GetCtrlVal(panel, control, value);
    return g_panels->get_attribute(panel, control, attribute, *value);
}

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    if (g_panels == nullptr)
        return UIENotAvailable;
    if (attribute == ATTR_CTRL_VAL)
        return SetCtrlVal(panel, control, value);
    return g_panels->set_attribute(panel, control, attribute, value);
}

int SetCtrlAttribute(int panel, int control, int attribute, double value) {
    if (attribute == ATTR_CTRL_VAL)
        return SetCtrlVal(panel, control, value);
    // The other attributes are integers (flags): a real that has no integer is refused.
    const std::optional<int> integer = rounded_to<int>(value);
    if (!integer)
        return UIEValueNotRepresentable;
    return SetCtrlAttribute(panel, control, attribute, *integer);
}

int SetPanelAttribute(int panel, int attribute, const char* value) {
    if (g_panels == nullptr)
        return UIENotAvailable;
    if (attribute != ATTR_TITLE)
        return UIEAttributeNotValid;
    return g_panels->set_panel_title(panel, or_empty(value));
}

int MessagePopup(const char* title, const char* message, std::string_view details) {
    if (g_panels == nullptr)
        return UIENotAvailable;
    g_panels->set_popup_details(std::string(details));
    g_panels->message_popup(or_empty(title), or_empty(message));
    return 0;
}

int ConfirmPopup(const char* title, const char* message, std::string_view details) {
    // Nobody to say Yes, or an operation the operator has stopped: the safe answer is No.
    if (g_panels == nullptr || platform_stop_requested())
        return 0;
    g_panels->set_popup_details(std::string(details));
    return g_panels->confirm_popup(or_empty(title), or_empty(message));
}

int GenericMessagePopup(const char* title, const char* message, const char* button1,
                        const char* button2, const char* button3, std::string* response,
                        int max_response_length, int /*button_alignment*/, int active_control,
                        int enter_button, int escape_button, std::string_view details) {
    if (g_panels == nullptr)
        return UIENotAvailable;
    // In an operation the operator has stopped, the button that answers Escape: the
    // refusal of the step (the danger question's Reset; the console question's Continue,
    // which lets the driver halt, where ending the program would not).
    const char* const buttons[] = {button1, button2, button3};
    if (platform_stop_requested() && escape_button >= VAL_GENERIC_POPUP_BTN1 &&
        escape_button <= VAL_GENERIC_POPUP_BTN3 && *or_empty(buttons[escape_button - 1]) != '\0')
        return escape_button;
    g_panels->set_popup_details(std::string(details));
    GenericPopupRequest request{or_empty(title),
                                or_empty(message),
                                {or_empty(button1), or_empty(button2), or_empty(button3)},
                                response != nullptr,
                                max_response_length,
                                active_control,
                                enter_button,
                                escape_button};
    return g_panels->generic_message_popup(request, response);
}

int PromptPopup(const char* title, const char* message, std::string* response,
                int max_response_length) {
    if (g_panels == nullptr || response == nullptr)
        return UIENotAvailable;
    if (platform_stop_requested())
        return 0; // cancelled, in an operation the operator has stopped
    return g_panels->prompt_popup(or_empty(title), or_empty(message), *response,
                                  max_response_length);
}

int FileSelectPopup(const char* default_directory, const char* default_file_spec,
                    const char* file_type_list, const char* title, int button_label,
                    int restrict_directory, int restrict_extension, int allow_cancel,
                    int allow_make_directory, std::string* path) {
    if (g_panels == nullptr || path == nullptr)
        return UIENotAvailable;
    if (platform_stop_requested())
        return VAL_NO_FILE_SELECTED; // cancelled, in an operation the operator has stopped
    FileSelectRequest request{or_empty(default_directory),
                              or_empty(default_file_spec),
                              or_empty(file_type_list),
                              or_empty(title),
                              button_label,
                              restrict_directory != 0,
                              restrict_extension != 0,
                              allow_cancel != 0,
                              allow_make_directory != 0};
    return g_panels->file_select_popup(request, *path);
}

int PlotPoint(int panel, int control, double x, double y, int point_style, int color) {
    if (g_panels == nullptr)
        return UIENotAvailable;
    return g_panels->plot_point(panel, control, x, y, point_style, color);
}

int DeleteGraphPlot(int panel, int control, int plot, int refresh) {
    if (g_panels == nullptr)
        return UIENotAvailable;
    return g_panels->delete_graph_plot(panel, control, plot, refresh);
}

int SetAxisRange(int panel, int control, int x_mode, double x_min, double x_max, int y_mode,
                 double y_min, double y_max) {
    if (g_panels == nullptr)
        return UIENotAvailable;
    return g_panels->set_axis_range(panel, control, x_mode, x_min, x_max, y_mode, y_min, y_max);
}

std::string numeric_field_text(double value, int decimals) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "inf" : "-inf";
    return strfmt("%.*f", decimals < 0 ? 0 : decimals > 17 ? 17 : decimals, value);
}

void Beep() {
    if (g_panels != nullptr)
        g_panels->beep();
}
