#include "platform/scripted/scripted_operator.hpp"

#include "ui_file_reader.hpp"

#include "platform/clock.hpp"

#include <cmath>

const char* popup_kind_name(PopupKind kind) {
    switch (kind) {
    case PopupKind::Message:
        return "message";
    case PopupKind::Confirm:
        return "confirm";
    case PopupKind::Generic:
        return "generic";
    case PopupKind::Prompt:
        return "prompt";
    case PopupKind::FileSelect:
        return "file-select";
    }
    return "?";
}

ScriptedOperator::ScriptedOperator() = default;

ScriptedOperator::~ScriptedOperator() = default;

void ScriptedOperator::answer(PopupKind kind, int result, std::string text) {
    answers_.push_back({kind, result, std::move(text), 0});
}

void ScriptedOperator::answer_after(PopupKind kind, int result, std::function<void()> while_up) {
    answers_.push_back({kind, result, {}, 0, std::move(while_up)});
}

void ScriptedOperator::answer_generic_enter() {
    answers_.push_back({PopupKind::Generic, 0, {}, 1});
}

void ScriptedOperator::answer_generic_escape() {
    answers_.push_back({PopupKind::Generic, 0, {}, 2});
}

void ScriptedOperator::queue_action(std::function<void()> action) {
    actions_.push_back(std::move(action));
}

void ScriptedOperator::during_wait(std::function<void()> action, double at_seconds) {
    wait_actions_.push_back({std::move(action), at_seconds});
}

void ScriptedOperator::press_during_wait(int panel, int control, double at_seconds) {
    during_wait([this, panel, control] { press(panel, control); }, at_seconds);
}

void ScriptedOperator::note_unexpected(std::string what) {
    unexpected_.push_back(std::move(what));
    if (on_unexpected_)
        on_unexpected_(unexpected_.back());
}

ScriptedControl* ScriptedOperator::find(int panel, int control) {
    const auto p = panels_.find(panel);
    if (p == panels_.end())
        return nullptr;
    const auto c = p->second.controls.find(control);
    return c == p->second.controls.end() ? nullptr : &c->second;
}

const ScriptedControl* ScriptedOperator::find(int panel, int control) const {
    return const_cast<ScriptedOperator*>(this)->find(panel, control);
}

bool ScriptedOperator::take_answer(PopupKind kind, const std::string& title,
                                   const std::string& message, Answer& out) {
    if (answers_.empty() || answers_.front().kind != kind) {
        std::string what =
            std::string(popup_kind_name(kind)) + " pop-up \"" + title + "\": \"" + message + "\"";
        if (!answers_.empty())
            what += std::string(" while the script expected a ") +
                    popup_kind_name(answers_.front().kind) + " pop-up";
        note_unexpected(std::move(what));
        return false;
    }
    out = std::move(answers_.front());
    answers_.pop_front();
    if (out.while_up)
        out.while_up();
    return true;
}

int ScriptedOperator::press(int panel, int control, int event) {
    const ScriptedControl* c = find(panel, control);
    const std::string where =
        "control " + std::to_string(control) + " of panel " + std::to_string(panel);
    if (c == nullptr) {
        note_unexpected("pressed " + where + ", which does not exist");
        return -1;
    }
    if (c->dimmed || !c->visible) {
        note_unexpected("pressed " + where + " (" + c->name + "), which is " +
                        (c->dimmed ? "dimmed" : "hidden"));
        return -1;
    }
    const CtrlCallbackPtr function =
        c->callback.empty() ? nullptr : platform_find_callback(c->callback);
    if (function == nullptr) {
        note_unexpected("pressed " + where + " (" + c->name + "), which has no bound callback");
        return -1;
    }
    return function(panel, control, event, nullptr, 0, 0);
}

int ScriptedOperator::commit_value(int panel, int control, const CtrlValue& value) {
    type_value(panel, control, value);
    return press(panel, control);
}

void ScriptedOperator::type_value(int panel, int control, const CtrlValue& value) {
    if (set_value(panel, control, value) < 0)
        note_unexpected("typed into control " + std::to_string(control) + " of panel " +
                        std::to_string(panel) + ", which does not take that value");
}

std::vector<std::string> ScriptedOperator::texts(int panel, int control) const {
    std::vector<std::string> out;
    for (const auto& record : values_)
        if (record.panel == panel && record.control == control)
            if (const auto* text = std::get_if<std::string>(&record.value))
                out.push_back(*text);
    return out;
}

int ScriptedOperator::displays(int panel) const {
    const auto p = panels_.find(panel);
    return p == panels_.end() ? 0 : p->second.displays;
}

void ScriptedOperator::clear_records() {
    popups_.clear();
    values_.clear();
    attributes_.clear();
    focus_.clear();
    plots_.clear();
    axes_.clear();
    beeps_ = 0;
    for (auto& [handle, p] : panels_)
        p.displays = 0;
}

const ScriptedPanel* ScriptedOperator::panel(int handle) const {
    const auto p = panels_.find(handle);
    return p == panels_.end() ? nullptr : &p->second;
}

const ScriptedControl* ScriptedOperator::control(int panel, int control) const {
    return find(panel, control);
}

int ScriptedOperator::panel_by_resource(int resource_id) const {
    int found = 0;
    for (const auto& [handle, p] : panels_)
        if (p.resource_id == resource_id)
            found = handle; // the newest instance
    return found;
}

double ScriptedOperator::value_double(int panel, int control) const {
    const ScriptedControl* c = find(panel, control);
    if (c == nullptr)
        return std::nan("");
    if (const auto* d = std::get_if<double>(&c->value))
        return *d;
    if (const auto* i = std::get_if<long long>(&c->value))
        return static_cast<double>(*i);
    return std::nan("");
}

long long ScriptedOperator::value_int(int panel, int control) const {
    const ScriptedControl* c = find(panel, control);
    if (c == nullptr)
        return -999999;
    if (const auto* i = std::get_if<long long>(&c->value))
        return *i;
    if (const auto* d = std::get_if<double>(&c->value))
        if (std::isfinite(*d) && std::fabs(*d) < 9e18)
            return std::llround(*d);
    return -999999;
}

std::string ScriptedOperator::value_string(int panel, int control) const {
    const ScriptedControl* c = find(panel, control);
    if (c == nullptr)
        return {};
    if (const auto* s = std::get_if<std::string>(&c->value))
        return *s;
    return {};
}

std::string ScriptedOperator::shown_text(int panel, int control) const {
    const ScriptedControl* c = find(panel, control);
    if (c == nullptr)
        return {};
    if (const auto* s = std::get_if<std::string>(&c->value))
        return *s;
    if (const auto* d = std::get_if<double>(&c->value))
        return numeric_field_text(*d, c->decimals);
    return std::to_string(std::get<long long>(c->value));
}

bool ScriptedOperator::dimmed(int panel, int control) const {
    const ScriptedControl* c = find(panel, control);
    return c != nullptr && c->dimmed;
}

bool ScriptedOperator::visible(int panel, int control) const {
    const ScriptedControl* c = find(panel, control);
    return c != nullptr && c->visible;
}

// --- PanelBackend ----------------------------------------------------------------------

int ScriptedOperator::load_panel(int parent_panel, const std::string& ui_file, int resource_id) {
    if (fail_next_load_ != 0) {
        const int status = fail_next_load_;
        fail_next_load_ = 0;
        return status;
    }
    if (parent_panel != 0 && panels_.find(parent_panel) == panels_.end())
        return UIEHandleInvalid;
    ScriptedPanel p;
    const int status = read_ui_panel(ui_file, resource_id, p);
    if (status < 0)
        return status;
    p.handle = next_handle_++;
    p.parent = parent_panel;
    const int handle = p.handle;
    panels_.emplace(handle, std::move(p));
    return handle;
}

int ScriptedOperator::display_panel(int panel) {
    const auto p = panels_.find(panel);
    if (p == panels_.end())
        return UIEHandleInvalid;
    ++p->second.displays;
    return 0;
}

int ScriptedOperator::discard_panel(int panel) {
    if (panels_.erase(panel) == 0)
        return UIEHandleInvalid;
    if (active_panel_ == panel)
        active_panel_ = 0;
    return 0;
}

int ScriptedOperator::set_active_panel(int panel) {
    if (panels_.find(panel) == panels_.end())
        return UIEHandleInvalid;
    active_panel_ = panel;
    focus_.push_back({panel, -1});
    return 0;
}

int ScriptedOperator::set_active_ctrl(int panel, int control) {
    if (panels_.find(panel) == panels_.end())
        return UIEHandleInvalid;
    if (find(panel, control) == nullptr)
        return UIECtrlNotFound;
    focus_.push_back({panel, control});
    return 0;
}

int ScriptedOperator::run_user_interface() {
    ++loop_runs_;
    quit_requested_ = false;
    while (!quit_requested_ && !actions_.empty()) {
        auto action = std::move(actions_.front());
        actions_.pop_front();
        action();
    }
    return quit_code_;
}

int ScriptedOperator::quit_user_interface(int code) {
    quit_requested_ = true;
    quit_code_ = code;
    return 0;
}

void ScriptedOperator::process_system_events(double wait_seconds) {
    ++events_processed_;
    const double now = platform_now_seconds();
    const double due =
        wait_actions_.empty() ? now + wait_seconds : wait_actions_.front().at_seconds;
    if (wait_actions_.empty() || due > now + wait_seconds) {
        // Nothing for this wait: all of it passes on the clock.
        platform_clock().pass_event_wait(wait_seconds);
        return;
    }
    // The wait ends when the operator acts: the clock moves on to that moment (a clock
    // that ignores the wait has not reached it yet: the operator acts on a later call).
    platform_clock().pass_event_wait(due > now ? due - now : 0.0);
    if (platform_now_seconds() < due)
        return;
    // Taken off the queue first: the action may wait with event processing itself.
    const std::function<void()> action = std::move(wait_actions_.front().action);
    wait_actions_.pop_front();
    action();
}

int ScriptedOperator::set_panel_title(int panel, const std::string& title) {
    const auto it = panels_.find(panel);
    if (it == panels_.end())
        return UIEHandleInvalid;
    it->second.title = title;
    return 0;
}

int ScriptedOperator::get_value(int panel, int control, CtrlValue& out) {
    if (panels_.find(panel) == panels_.end())
        return UIEHandleInvalid;
    const ScriptedControl* c = find(panel, control);
    if (c == nullptr)
        return UIECtrlNotFound;
    out = c->value;
    return 0;
}

int ScriptedOperator::set_value(int panel, int control, const CtrlValue& value) {
    if (panels_.find(panel) == panels_.end())
        return UIEHandleInvalid;
    ScriptedControl* c = find(panel, control);
    if (c == nullptr)
        return UIECtrlNotFound;
    const bool text = std::holds_alternative<std::string>(value);
    if (c->kind == "string") {
        if (!text)
            return UIEValueTypeMismatch;
        c->value = value;
    } else if (c->kind == "graph" || text) {
        return UIEValueTypeMismatch;
    } else if (c->kind == "numeric_double") {
        // Held exactly, not finite included: the field shows what it was given.
        c->value = std::holds_alternative<double>(value)
                       ? std::get<double>(value)
                       : static_cast<double>(std::get<long long>(value));
    } else {
        long long v = 0;
        if (const auto* i = std::get_if<long long>(&value)) {
            v = *i;
        } else {
            // An integer field has no text for a real that is not finite or too large for
            // any integer: refused, as by the Qt fields.
            const double d = std::get<double>(value);
            if (!std::isfinite(d) || std::fabs(d) >= 9e18)
                return UIEValueNotRepresentable;
            v = std::llround(d);
        }
        if (c->kind == "numeric_u16")
            v = static_cast<long long>(static_cast<unsigned short>(v));
        c->value = v;
    }
    values_.push_back({panel, control, c->value});
    return 0;
}

int ScriptedOperator::get_attribute(int panel, int control, int attribute, int& out) {
    if (panels_.find(panel) == panels_.end())
        return UIEHandleInvalid;
    const ScriptedControl* c = find(panel, control);
    if (c == nullptr)
        return UIECtrlNotFound;
    if (attribute == ATTR_DIMMED)
        out = c->dimmed ? 1 : 0;
    else if (attribute == ATTR_VISIBLE)
        out = c->visible ? 1 : 0;
    else
        return UIEAttributeNotValid;
    return 0;
}

int ScriptedOperator::set_attribute(int panel, int control, int attribute, int value) {
    if (panels_.find(panel) == panels_.end())
        return UIEHandleInvalid;
    ScriptedControl* c = find(panel, control);
    if (c == nullptr)
        return UIECtrlNotFound;
    if (attribute == ATTR_DIMMED)
        c->dimmed = value != 0;
    else if (attribute == ATTR_VISIBLE)
        c->visible = value != 0;
    else
        return UIEAttributeNotValid;
    attributes_.push_back({panel, control, attribute, value != 0 ? 1 : 0});
    return 0;
}

void ScriptedOperator::message_popup(const std::string& title, const std::string& message) {
    Answer a;
    take_answer(PopupKind::Message, title, message, a);
    popups_.push_back({PopupKind::Message, title, message, {}, 0, 0, 0, 1, popup_details_});
    popup_details_.clear();
}

int ScriptedOperator::confirm_popup(const std::string& title, const std::string& message) {
    Answer a;
    // Unscripted: No, the answer that stops what the program was about to do.
    const int result = take_answer(PopupKind::Confirm, title, message, a) ? a.result : 0;
    popups_.push_back(
        {PopupKind::Confirm, title, message, {"Yes", "No"}, 0, 0, 0, result, popup_details_});
    popup_details_.clear();
    return result;
}

int ScriptedOperator::generic_message_popup(const GenericPopupRequest& request,
                                            std::string* response) {
    Answer a;
    // Unscripted: the Escape answer, which refuses without side effects.
    int result = request.escape_button;
    if (take_answer(PopupKind::Generic, request.title, request.message, a)) {
        result = a.key == 1 ? request.enter_button : a.key == 2 ? request.escape_button : a.result;
        if (response != nullptr && request.with_text_entry) {
            *response = a.text;
            if (request.max_response_length >= 0 &&
                response->size() > static_cast<std::size_t>(request.max_response_length))
                response->resize(static_cast<std::size_t>(request.max_response_length));
        }
    }
    PopupRecord record{PopupKind::Generic,    request.title,        request.message,       {},
                       request.active_button, request.enter_button, request.escape_button, result,
                       popup_details_};
    popup_details_.clear();
    for (const auto& label : request.button)
        if (!label.empty())
            record.buttons.push_back(label);
    popups_.push_back(std::move(record));
    return result;
}

int ScriptedOperator::prompt_popup(const std::string& title, const std::string& message,
                                   std::string& response, int max_length) {
    Answer a;
    int result = 0;
    if (take_answer(PopupKind::Prompt, title, message, a)) {
        result = a.result;
        if (result > 0) {
            response = a.text;
            if (max_length >= 0 && response.size() > static_cast<std::size_t>(max_length))
                response.resize(static_cast<std::size_t>(max_length));
        }
    }
    popups_.push_back({PopupKind::Prompt, title, message, {}, 0, 0, 0, result, {}});
    return result;
}

int ScriptedOperator::file_select_popup(const FileSelectRequest& request, std::string& path) {
    Answer a;
    int result = VAL_NO_FILE_SELECTED;
    if (take_answer(PopupKind::FileSelect, request.title, request.default_directory, a)) {
        result = a.result;
        if (result > 0)
            path = a.text;
    }
    PopupRecord record{PopupKind::FileSelect,
                       request.title,
                       request.default_directory,
                       {request.default_file_spec, request.file_type_list},
                       0,
                       0,
                       0,
                       result,
                       {}};
    popups_.push_back(std::move(record));
    return result;
}

int ScriptedOperator::plot_point(int panel, int control, double x, double y, int point_style,
                                 int color) {
    ScriptedControl* c = find(panel, control);
    if (c == nullptr || c->kind != "graph")
        return panels_.find(panel) == panels_.end() ? UIEHandleInvalid : UIECtrlNotFound;
    if (fail_graph_ != 0)
        return fail_graph_;
    const int handle = c->next_plot++;
    ++c->plot_count;
    plots_.push_back({panel, control, x, y, point_style, color, handle});
    return handle;
}

int ScriptedOperator::delete_graph_plot(int panel, int control, int plot, int /*refresh*/) {
    ScriptedControl* c = find(panel, control);
    if (c == nullptr || c->kind != "graph")
        return panels_.find(panel) == panels_.end() ? UIEHandleInvalid : UIECtrlNotFound;
    if (fail_graph_ != 0)
        return fail_graph_;
    if (plot == VAL_ALL_PLOTS)
        c->plot_count = 0;
    else if (c->plot_count > 0)
        --c->plot_count;
    return 0;
}

int ScriptedOperator::set_axis_range(int panel, int control, int x_mode, double x_min, double x_max,
                                     int y_mode, double y_min, double y_max) {
    ScriptedControl* c = find(panel, control);
    if (c == nullptr || c->kind != "graph")
        return panels_.find(panel) == panels_.end() ? UIEHandleInvalid : UIECtrlNotFound;
    if (fail_graph_ != 0)
        return fail_graph_;
    if (x_mode == VAL_MANUAL) {
        c->x_min = x_min;
        c->x_max = x_max;
    }
    if (y_mode == VAL_MANUAL) {
        c->y_min = y_min;
        c->y_max = y_max;
    }
    axes_.push_back({panel, control, x_mode, x_min, x_max, y_mode, y_min, y_max});
    return 0;
}

void ScriptedOperator::beep() {
    ++beeps_;
}
