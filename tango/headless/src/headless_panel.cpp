#include "headless/headless_panel.hpp"

#include "app/shell/panel_ids.hpp"
#include "app/shell/run_log.hpp"
#include "platform/clock.hpp"
#include "platform/operator_thread.hpp"
#include "platform/text.hpp"
#include "stage/geometry.hpp"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <thread>

namespace {

constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

double as_double(const CtrlValue& value) {
    if (const auto* real = std::get_if<double>(&value))
        return *real;
    if (const auto* integer = std::get_if<long long>(&value))
        return static_cast<double>(*integer);
    return kNotMeasured;
}

// The label of generic pop-up button `n` (1-3), or its number when it has none.
std::string button_label(const GenericPopupRequest& request, int n) {
    if (n >= 1 && n <= 3 && !request.button[n - 1].empty())
        return request.button[n - 1];
    return strfmt("button %d", n);
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \n\r\t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \n\r\t");
    std::string out(text.substr(first, last - first + 1));
    std::replace(out.begin(), out.end(), '\n', ' ');
    return out;
}

} // namespace

std::optional<QuestionPolicy> question_policy_from_text(std::string_view text) {
    std::string lower;
    for (const char c : text)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (lower == "refuse")
        return QuestionPolicy::Refuse;
    if (lower == "ask")
        return QuestionPolicy::Ask;
    return std::nullopt;
}

HeadlessPanel::HeadlessPanel(StageView& view) : view_(view) {}

void HeadlessPanel::set_questions(QuestionSettings settings) {
    const std::lock_guard lock(mutex_);
    settings_ = settings;
}

QuestionSettings HeadlessPanel::questions() const {
    const std::lock_guard lock(mutex_);
    return settings_;
}

void HeadlessPanel::type_value(int panel, int control, const CtrlValue& value) {
    const std::lock_guard lock(mutex_);
    values_[{panel, control}] = value;
}

// --- What the main panel shows goes to the view ----------------------------------------

void HeadlessPanel::carry_to_view(int panel, int control, const CtrlValue& value) {
    if (control == TEST_TEMP) {
        view_.set_temperature(as_double(value));
        return;
    }
    int resource = 0;
    {
        const std::lock_guard lock(mutex_);
        if (const auto it = resource_of_.find(panel); it != resource_of_.end())
            resource = it->second;
    }
    if (resource != MAIN_PANEL)
        return;
    if (control == MAIN_STATUS) {
        if (const auto* text = std::get_if<std::string>(&value))
            view_.set_status_line(*text);
    } else if (control >= MAIN_PRESENT_X && control <= MAIN_PRESENT_YAW) {
        view_.set_coordinate(control - MAIN_PRESENT_X, as_double(value));
    } else if (control >= MAIN_CAM_ANGLE_1 && control <= MAIN_CAM_ANGLE_5) {
        view_.set_cam_angle(control - MAIN_CAM_ANGLE_1, as_double(value) / DEGREES_PER_RADIAN);
    } else if (control >= MAIN_GAGE_1 && control <= MAIN_GAGE_5) {
        view_.set_gauge(control - MAIN_GAGE_1, as_double(value));
    } else if (control >= MAIN_TARGET_X && control <= MAIN_TARGET_YAW) {
        view_.set_target_one(control - MAIN_TARGET_X, as_double(value));
    }
}

// --- Panels ------------------------------------------------------------------------------

int HeadlessPanel::load_panel(int /*parent_panel*/, const std::string& /*ui_file*/,
                              int resource_id) {
    const std::lock_guard lock(mutex_);
    const int handle = next_handle_++;
    resource_of_[handle] = resource_id;
    if (resource_id == MAIN_PANEL) {
        // What the window's main panel starts with: relative moves, all five coordinates,
        // no data file, targets 0; nothing measured yet.
        for (const int control : {MAIN_MOVE_MODE, MAIN_ENTRY_MODE, MAIN_LOG_TO_FILE})
            values_[{handle, control}] = 0LL;
        for (int control = MAIN_TARGET_X; control <= MAIN_TARGET_YAW; ++control)
            values_[{handle, control}] = 0.0;
        for (int control = MAIN_PRESENT_X; control <= MAIN_GAGE_5; ++control)
            values_[{handle, control}] = kNotMeasured;
    }
    return handle;
}

int HeadlessPanel::display_panel(int /*panel*/) {
    return 0;
}

int HeadlessPanel::discard_panel(int panel) {
    const std::lock_guard lock(mutex_);
    resource_of_.erase(panel);
    return 0;
}

int HeadlessPanel::set_active_panel(int /*panel*/) {
    return 0;
}

int HeadlessPanel::set_active_ctrl(int /*panel*/, int /*control*/) {
    return 0;
}

int HeadlessPanel::run_user_interface() {
    return 0;
}

// Only the "Danger Operation" No ends the window's event loop, and this backend never
// gives that answer.
int HeadlessPanel::quit_user_interface(int /*code*/) {
    return 0;
}

// On the operator thread the platform waits on its action queue instead; this serves a
// program run without one: the wait lets the time go by.
void HeadlessPanel::process_system_events(double wait_seconds) {
    const double real = platform_clock().real_wait_seconds(wait_seconds);
    if (real > 0.0)
        std::this_thread::sleep_for(std::chrono::duration<double>(real));
    platform_clock().pass_event_wait(wait_seconds);
}

int HeadlessPanel::set_panel_title(int /*panel*/, const std::string& /*title*/) {
    return 0;
}

int HeadlessPanel::get_value(int panel, int control, CtrlValue& out) {
    const std::lock_guard lock(mutex_);
    const auto it = values_.find({panel, control});
    out = it != values_.end() ? it->second : CtrlValue{0LL};
    return 0;
}

int HeadlessPanel::set_value(int panel, int control, const CtrlValue& value) {
    {
        const std::lock_guard lock(mutex_);
        values_[{panel, control}] = value;
    }
    carry_to_view(panel, control, value);
    return 0;
}

int HeadlessPanel::get_attribute(int panel, int control, int attribute, int& out) {
    const std::lock_guard lock(mutex_);
    if (attribute == ATTR_VISIBLE) {
        out = 1;
        return 0;
    }
    if (attribute != ATTR_DIMMED)
        return UIEAttributeNotValid;
    const auto it = dimmed_.find({panel, control});
    out = it != dimmed_.end() ? it->second : 0;
    return 0;
}

int HeadlessPanel::set_attribute(int panel, int control, int attribute, int value) {
    if (attribute == ATTR_DIMMED) {
        const std::lock_guard lock(mutex_);
        dimmed_[{panel, control}] = value;
    }
    return 0;
}

// --- Messages and questions --------------------------------------------------------------

void HeadlessPanel::tell(std::string text) {
    view_.set_message(std::move(text));
}

bool HeadlessPanel::decide(const std::string& question, const char* confirm_label,
                           const char* refuse_label) {
    const QuestionSettings settings = questions();
    bool confirmed = false;
    std::string who = "by the device server (Questions = refuse)";
    if (settings.policy == QuestionPolicy::Ask) {
        // A Stop of the running operation, even one raised just before the question was
        // put, ends the wait as the Stop command's cancel does.
        switch (view_.ask(question, settings.timeout_seconds, platform_stop_requested)) {
        case StageView::Answer::Confirmed:
            confirmed = true;
            who = "by Confirm";
            break;
        case StageView::Answer::Refused:
            who = "by Refuse";
            break;
        case StageView::Answer::TimedOut:
            who = strfmt("as no answer came within %g s", settings.timeout_seconds);
            break;
        case StageView::Answer::Cancelled:
            who = "by Stop";
            break;
        }
    }
    const std::string said = strfmt("%s - answered %s %s", question.c_str(),
                                    confirmed ? confirm_label : refuse_label, who.c_str());
    tell(said);
    // The run log records who answered; a log that cannot be written asks a question of
    // its own, which must not be logged in turn.
    if (!logging_) {
        logging_ = true;
        write_to_log(motion_log_path(), strfmt("%s * %s\n", TimeStr().c_str(), said.c_str()));
        logging_ = false;
    }
    return confirmed;
}

void HeadlessPanel::set_popup_details(const std::string& details) {
    popup_details_ = details;
}

std::string HeadlessPanel::with_details(std::string text) {
    std::string details;
    details.swap(popup_details_);
    while (!details.empty() && details.back() == '\n')
        details.pop_back();
    if (details.empty())
        return text;
    for (std::size_t at = details.find('\n'); at != std::string::npos; at = details.find('\n', at))
        details.replace(at, 1, "; ");
    return text + " (" + details + ")";
}

void HeadlessPanel::message_popup(const std::string& title, const std::string& message) {
    tell(with_details(title + ": " + trimmed(message)));
}

int HeadlessPanel::confirm_popup(const std::string& title, const std::string& message) {
    return decide(with_details(title + ": " + trimmed(message)), "Yes", "No") ? 1 : 0;
}

int HeadlessPanel::generic_message_popup(const GenericPopupRequest& request,
                                         std::string* response) {
    if (response != nullptr)
        response->clear();
    // The refusal is the button that answers Escape: Reset for the "Danger Operation", never
    // the No that ends the program; the confirmation is the one that answers Enter.
    const std::string confirm = button_label(request, request.enter_button);
    const std::string refuse = button_label(request, request.escape_button);
    const bool confirmed = decide(with_details(request.title + ": " + trimmed(request.message)),
                                  confirm.c_str(), refuse.c_str());
    return confirmed ? request.enter_button : request.escape_button;
}

int HeadlessPanel::prompt_popup(const std::string& title, const std::string& message,
                                std::string& /*response*/, int /*max_length*/) {
    tell(title + ": " + trimmed(message) + " - cancelled (no operator)");
    return 0;
}

int HeadlessPanel::file_select_popup(const FileSelectRequest& request, std::string& /*path*/) {
    tell(request.title + " - cancelled (no operator)");
    return VAL_NO_FILE_SELECTED;
}

int HeadlessPanel::plot_point(int, int, double, double, int, int) {
    return 1;
}

int HeadlessPanel::delete_graph_plot(int, int, int, int) {
    return 0;
}

int HeadlessPanel::set_axis_range(int, int, int, double, double, int, double, double) {
    return 0;
}

void HeadlessPanel::beep() {}

// --- Console -----------------------------------------------------------------------------

void HeadlessPanel::write(std::string_view text) {
    // The server's own output keeps what the window's console would have shown.
    std::fwrite(text.data(), 1, text.size(), stderr);
    const std::lock_guard lock(mutex_);
    console_text_.append(text);
}

bool HeadlessPanel::read_line(std::string& line, std::size_t /*max_chars*/) {
    std::string text;
    {
        const std::lock_guard lock(mutex_);
        text.swap(console_text_);
    }
    // The text ends with the prompt ("Press ENTER to continue. ..."): keep what it reports.
    if (const auto prompt = text.find("Press ENTER"); prompt != std::string::npos)
        text.resize(prompt);
    tell("Console: " + trimmed(text) + " - continued (Enter)");
    line = "\n";
    return true;
}

void HeadlessPanel::exit_program(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}
