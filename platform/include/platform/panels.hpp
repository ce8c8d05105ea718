// Panels, pop-ups, graphs and the event loop.
//
// The operator logic calls these free functions by the run-time's names; each call is
// passed to the panel backend chosen once at start-up (the Qt Widgets backend for the
// program, the scripted operator for tests). Every function returns a negative status
// when it fails; none throws.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

// Control callback shape: panel, control, event, callback data, two event integers.
using CtrlCallbackPtr = int (*)(int panel, int control, int event, void* callbackData,
                                int eventData1, int eventData2);

enum : int {
    EVENT_NONE = 0,
    EVENT_COMMIT = 1,
    EVENT_VAL_CHANGED = 2,
    EVENT_LEFT_CLICK = 3,
    EVENT_RIGHT_CLICK = 5,
};

// Failure statuses of the panel operations.
enum : int {
    UIENoError = 0,
    UIEHandleInvalid = -4,          // no such panel
    UIECtrlNotFound = -13,          // no such control on the panel
    UIEAttributeNotValid = -20,     // attribute unknown or not offered by this control
    UIEValueTypeMismatch = -24,     // a text written to a numeric control or the reverse
    UIEValueNotRepresentable = -25, // a real that is not finite, or does not fit the
                                    // integer it is read into or written to
    UIEFileNotFound = -31,          // the resource file is missing
    UIEBadFileFormat = -32,         // the resource file cannot be read as panels
    UIEPanelNotFound = -33,         // the file holds no panel with this resource number
    UIENotAvailable = -60,          // no panel backend installed, or it lacks the operation
};

// Attributes the program reads and sets.
enum : int {
    ATTR_CTRL_VAL = 1,
    ATTR_DIMMED = 2,
    ATTR_VISIBLE = 3,
    ATTR_TITLE = 4, // a panel's title (SetPanelAttribute)
};

// Pop-up results and GenericMessagePopup arguments.
enum : int {
    VAL_GENERIC_POPUP_NO_CTRL = 0,
    VAL_GENERIC_POPUP_BTN1 = 1,
    VAL_GENERIC_POPUP_BTN2 = 2,
    VAL_GENERIC_POPUP_BTN3 = 3,
    VAL_GENERIC_POPUP_INPUT_STRING = 4,
    VAL_CENTER_BUTTONS = 0,
};

// FileSelectPopup button label and results.
enum : int {
    VAL_OK_BUTTON = 0,
    VAL_SAVE_BUTTON = 1,
    VAL_SELECT_BUTTON = 2,
    VAL_LOAD_BUTTON = 3,
    VAL_NO_FILE_SELECTED = 0,
    VAL_EXISTING_FILE_SELECTED = 1,
    VAL_NEW_FILE_SELECTED = 2,
};

// Graph arguments.
enum : int {
    VAL_ALL_PLOTS = -1,
    VAL_IMMEDIATE_DRAW = 1,
    VAL_MANUAL = 0,
    VAL_AUTOSCALE = 1,
    VAL_NO_CHANGE = 2,
    VAL_SOLID_SQUARE = 10, // point style of a fitted curve
    VAL_SOLID_CIRCLE = 14, // point style of a measured point
};

// One entry of the table that binds a callback name in the resource file to a function.
struct CallbackBinding {
    std::string_view name;
    CtrlCallbackPtr function;
};

// A control's value as the backends hold it: integers for integer numerics, rings,
// switches, lamps and buttons; doubles for real numerics; text for string controls.
using CtrlValue = std::variant<long long, double, std::string>;

struct GenericPopupRequest {
    std::string title;
    std::string message;
    std::string button[3]; // left to right; an empty label means no button
    bool with_text_entry;  // false: no response field
    int max_response_length;
    int active_button; // VAL_GENERIC_POPUP_BTNn
    int enter_button;  // answers Enter
    int escape_button; // answers Escape
};

struct FileSelectRequest {
    std::string default_directory;
    std::string default_file_spec;
    std::string file_type_list;
    std::string title;
    int button_label;
    bool restrict_directory;
    bool restrict_extension;
    bool allow_cancel;
    bool allow_make_directory;
};

// What a panel backend offers. Statuses as for the free functions below.
class PanelBackend {
public:
    virtual ~PanelBackend() = default;

    // `ui_file` is the resolved path of the resource file on disk.
    virtual int load_panel(int parent_panel, const std::string& ui_file, int resource_id) = 0;
    virtual int display_panel(int panel) = 0;
    virtual int discard_panel(int panel) = 0;
    virtual int set_active_panel(int panel) = 0;
    virtual int set_active_ctrl(int panel, int control) = 0;
    virtual int run_user_interface() = 0;
    virtual int quit_user_interface(int code) = 0;
    // Runs the events that are pending. When none is, waits for the next one for at most
    // `wait_seconds` (the real backend) or lets the operator act once (a test backend), so
    // that a loop around this call neither spins a core nor waits for ever. The time it
    // let go by is told to the platform clock (ClockBackend::pass_event_wait).
    virtual void process_system_events(double wait_seconds) = 0;

    virtual int get_value(int panel, int control, CtrlValue& out) = 0;
    virtual int set_value(int panel, int control, const CtrlValue& value) = 0;
    virtual int get_attribute(int panel, int control, int attribute, int& out) = 0;
    virtual int set_attribute(int panel, int control, int attribute, int value) = 0;
    // The panel's window title.
    virtual int set_panel_title(int panel, const std::string& title) {
        (void)panel;
        (void)title;
        return UIENotAvailable;
    }

    // The detailed text of the next message, confirm or generic pop-up (hidden behind a
    // button where the backend can; empty: none). Set just before each of those pop-ups.
    virtual void set_popup_details(const std::string& details) { (void)details; }
    virtual void message_popup(const std::string& title, const std::string& message) = 0;
    virtual int confirm_popup(const std::string& title, const std::string& message) = 0;
    virtual int generic_message_popup(const GenericPopupRequest& request,
                                      std::string* response) = 0;
    virtual int prompt_popup(const std::string& title, const std::string& message,
                             std::string& response, int max_length) = 0;
    virtual int file_select_popup(const FileSelectRequest& request, std::string& path) = 0;

    virtual int plot_point(int panel, int control, double x, double y, int point_style,
                           int color) = 0;
    virtual int delete_graph_plot(int panel, int control, int plot, int refresh) = 0;
    virtual int set_axis_range(int panel, int control, int x_mode, double x_min, double x_max,
                               int y_mode, double y_min, double y_max) = 0;

    virtual void beep() = 0;
};

// --- Backend selection (once, by main or a test fixture) -------------------------------

// Installs the backend used by every call below; nullptr removes it (calls then fail
// with UIENotAvailable). The caller keeps ownership.
void platform_use_panels(PanelBackend* backend);
PanelBackend* platform_panels();

// The table that binds callback names of the resource file to functions.
void platform_set_callback_table(std::span<const CallbackBinding> table);
CtrlCallbackPtr platform_find_callback(std::string_view name);

// Folder where resource files live (beside the executable). "Trelwick.uir" resolves to
// "<folder>/Trelwick.ui".
void platform_set_resource_directory(std::string directory);
std::string platform_resolve_resource(std::string_view file_name);

// --- The run-time operations ------------------------------------------------------------

int LoadPanel(int parent_panel, const char* file_name, int resource_id);
int DisplayPanel(int panel);
int DiscardPanel(int panel);
int SetActivePanel(int panel);
int SetActiveCtrl(int panel, int control);
int RunUserInterface();
int QuitUserInterface(int code);
// Lets pending events run; when there are none, waits up to kEventWaitSeconds for one.
// The installed clock is told of the wait (ClockBackend::pass_event_wait), so a loop that
// processes events until a tick count is reached ends on a virtual clock as well. On the
// operator thread (operator_thread.hpp) the events are the actions queued for it.
int ProcessSystemEvents();
// The same with a wait of up to `seconds` of platform time: the event-processing wait
// asks for what is left of its own wait, so it ends on time and idles in between. A stop
// request ends the wait at once.
void platform_process_events(double seconds);
int ProcessTCPEvents();
inline constexpr double kEventWaitSeconds = 0.005;

// The text a numeric field shows for a value: fixed point with the field's decimals, and
// "NaN", "inf" or "-inf" for a value that is not finite.
std::string numeric_field_text(double value, int decimals);

// Control values. A value is converted to the control's own type as the run-time does:
// an integer read into a narrower variable keeps its low bits (a 16-bit field keeps the
// low 16 bits); a real read into an integer is rounded, and refused with
// UIEValueNotRepresentable when it is not finite or the rounded value does not fit. A
// real written to a real control is held exactly (not finite included) and reads back
// as written; the field shows it rounded to its decimals.
int GetCtrlVal(int panel, int control, double* value);
int GetCtrlVal(int panel, int control, int* value);
int GetCtrlVal(int panel, int control, unsigned short* value);
int GetCtrlVal(int panel, int control, short* value);
int GetCtrlVal(int panel, int control, std::string* value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, const char* value);
int SetCtrlVal(int panel, int control, const std::string& value);

// ATTR_DIMMED and ATTR_VISIBLE take 0 or 1; ATTR_CTRL_VAL sets the value. A flag given as a
// real is rounded; one without an int (not finite, too large) is refused with
// UIEValueNotRepresentable.
int GetCtrlAttribute(int panel, int control, int attribute, int* value);
int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, double value);

// ATTR_TITLE: the panel's window title.
int SetPanelAttribute(int panel, int attribute, const char* value);

// `details` (optional) are lines shown under the message on request: what was tried and
// why it failed (instrument_diagnosis.hpp).
//
// A question asked while the running operation is stopped (operator_thread.hpp) is not
// shown: it gets its safe answer at once, the one that moves nothing more: ConfirmPopup
// No, GenericMessagePopup the button that answers Escape, PromptPopup and FileSelectPopup
// cancelled. A message (MessagePopup) is still shown: it asks nothing.
int MessagePopup(const char* title, const char* message, std::string_view details = {});
int ConfirmPopup(const char* title, const char* message,
                 std::string_view details = {}); // 1 Yes, 0 No
// Returns the button chosen, 1 to 3. `response` may be null when there is no text entry.
int GenericMessagePopup(const char* title, const char* message, const char* button1,
                        const char* button2, const char* button3, std::string* response,
                        int max_response_length, int button_alignment, int active_control,
                        int enter_button, int escape_button, std::string_view details = {});
// 1 when answered, 0 when cancelled, negative on failure.
int PromptPopup(const char* title, const char* message, std::string* response,
                int max_response_length);
// VAL_NO_FILE_SELECTED (cancel), VAL_EXISTING_FILE_SELECTED, VAL_NEW_FILE_SELECTED, or
// negative on failure. `path` receives the chosen path.
int FileSelectPopup(const char* default_directory, const char* default_file_spec,
                    const char* file_type_list, const char* title, int button_label,
                    int restrict_directory, int restrict_extension, int allow_cancel,
                    int allow_make_directory, std::string* path);

// Plot handle above 0, or 0 or less on failure.
int PlotPoint(int panel, int control, double x, double y, int point_style, int color);
int DeleteGraphPlot(int panel, int control, int plot, int refresh);
int SetAxisRange(int panel, int control, int x_mode, double x_min, double x_max, int y_mode,
                 double y_min, double y_max);

void Beep();
