// The run log's paths, its entry buffer and the writing of one entry.
#include "app/shell/run_log.hpp"

#include "app/shell/messages.hpp"
#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/text.hpp"

namespace {

std::string g_log_path;
std::string g_motion_log_path;
std::string g_log_line;

constexpr const char* LOG_WRITE_FAILED = "Unable to open log file";

} // namespace

std::string& log_path() {
    return g_log_path;
}
std::string& motion_log_path() {
    return g_motion_log_path;
}
std::string& log_line() {
    return g_log_line;
}

std::string frame_log_entry(std::string_view text) {
    std::string entry = " \n ";
    entry.append(text);
    entry.append(" \n ");
    return entry;
}

void write_to_log(std::string_view path, std::string_view text) {
    if (path.empty())
        return;
    const int handle = OpenFile(path, VAL_WRITE_ONLY, VAL_APPEND, VAL_ASCII);
    if (handle < 0) {
        cam_move_error_handling(1, LOG_WRITE_FAILED);
        return;
    }
    const std::string entry = frame_log_entry(text);
    const long written = WriteFile(handle, entry);
    CloseFile(handle);
    // A full disk loses the entry just as a file that will not open does; the operator
    // hears of both alike.
    if (written != static_cast<long>(entry.size()))
        cam_move_error_handling(1, LOG_WRITE_FAILED);
}

void cam_move_log_motion_data(std::string_view title, param_structure param) {
    const std::string title_text(title);
    g_log_line =
        strfmt("%s * %s * X = %f Y = %f Roll = %f Pitch = %f Yaw = %f\n", TimeStr().c_str(),
               title_text.c_str(), param.coord[COORD_X], param.coord[COORD_Y],
               param.coord[COORD_ROLL], param.coord[COORD_PITCH], param.coord[COORD_YAW]);
    write_to_log(g_motion_log_path, g_log_line);
}

void run_log_reset() {
    g_log_path.clear();
    g_motion_log_path.clear();
    g_log_line.clear();
}
