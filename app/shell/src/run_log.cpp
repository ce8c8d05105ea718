#include "app/shell/run_log.hpp"

namespace {

std::string g_log_path;
std::string g_motion_log_path;
std::string g_log_line;

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

void write_to_log(std::string_view /*path*/, std::string_view /*text*/) {}

void cam_move_log_motion_data(std::string_view /*title*/, param_structure /*param*/) {}

void run_log_reset() {
    g_log_path.clear();
    g_motion_log_path.clear();
    g_log_line.clear();
}
