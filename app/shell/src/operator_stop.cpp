#include "app/shell/operator_stop.hpp"

#include "app/shell/messages.hpp"
#include "app/shell/run_log.hpp"
#include "platform/platform.hpp"

namespace {

constexpr const char* kStopped = "Stopped by the operator";

} // namespace

stoppable_operation::stoppable_operation(int panel, int stop_control)
    : panel_(panel), control_(stop_control) {
    SetCtrlAttribute(panel_, control_, ATTR_DIMMED, 0);
}

stoppable_operation::~stoppable_operation() {
    SetCtrlAttribute(panel_, control_, ATTR_DIMMED, 1);
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
