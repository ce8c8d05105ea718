#include "app/shell/operator_stop.hpp"

#include "app/shell/messages.hpp"
#include "app/shell/run_log.hpp"
#include "platform/platform.hpp"

#include <utility>
#include <vector>

namespace {

constexpr const char* kStopped = "Stopped by the operator";

// The stoppable operations open on the thread that runs the program, and the Stop
// buttons they lit: a nested one (a queued press run inside the first one's event wait)
// is part of the same operation, whose every Stop button stays lit until the outermost
// ends. Empty whenever no operation runs.
int g_open = 0;
std::vector<std::pair<int, int>> g_lit;

} // namespace

stoppable_operation::stoppable_operation(int panel, int stop_control) {
    ++g_open;
    g_lit.emplace_back(panel, stop_control);
    SetCtrlAttribute(panel, stop_control, ATTR_DIMMED, 0);
}

stoppable_operation::~stoppable_operation() {
    if (--g_open > 0)
        return;
    for (const auto& [panel, control] : g_lit)
        SetCtrlAttribute(panel, control, ATTR_DIMMED, 1);
    g_lit.clear();
}

bool operation_stopped() {
    return platform_stop_requested();
}

void report_operator_stop(int panel, int status_control) {
    update_status_line(panel, status_control, kStopped);
    write_to_log(motion_log_path(), strfmt("%s * %s\n", TimeStr().c_str(), kStopped));
}

int operator_stop(int /*panel*/, int /*control*/, int event, void* /*callbackData*/,
                  int /*eventData1*/, int /*eventData2*/) {
    if (event == EVENT_COMMIT)
        platform_request_stop();
    return 0;
}
