// Placeholders that fail every operation until the drivers land.
#include "drivers/cm6k6.hpp"
#include "drivers/delay.hpp"
#include "drivers/ev16p.hpp"
#include "drivers/hp34970.hpp"

#include <limits>

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}

void yield() {}
std::uint32_t delay(double) {
    return 0;
}
std::uint32_t cvi_delay(double) {
    return 0;
}
void stop_error_msg(const char*, const char*) {}
void message(const char*) {}

void cm6k6_init(int, int, int, int*) {}
int cm6k6_cam_move(int, int, int, int, double, int) {
    return -1;
}
int cm6k6_cam_move_5(int, const int*, int, const double*) {
    return -1;
}
void cm6k6_exit(int) {}
void cm6k6_stop_motor(int, int) {}
int cm6k6_ifmove_delay(int, int) {
    return 0;
}
int cm6k6_read_error_status(int) {
    return -1;
}
void cm6k6_axis(int, std::string*) {}
void cm6k6_get_num_mot_steps_per_rev(int, int*) {}
void cm6k6_get_num_enc_cts_per_rev(int, int*) {}
int cm6k6_rel_move(int, int, double, double, double) {
    return -1;
}
int cm6k6_abs_move(int, int, double, double, double) {
    return 1;
}
int cm6k6_go_home(int, int, double, double) {
    return -1;
}
int cm6k6_follow_move(int, int, int, double, double, double) {
    return -1;
}
int cm6k6_get_mot_position(int, int, double* position) {
    *position = kNaN;
    return -1;
}
int cm6k6_get_enc_position(int, int, double* position) {
    *position = kNaN;
    return -1;
}
int cm6k6_zero(int, int) {
    return -1;
}
int cm6k6_cam_init(int, int, int, int*, short, double, double) {
    return -1;
}
int cm6k6_open_dev(int) {
    return -1;
}
int cm6k6_close_dev(int) {
    return 0;
}
int cm6k6_check_dev_open(int) {
    return 0;
}
int cm6k6_out(int, const char*) {
    return -1;
}
int cm6k6_in(int, std::string*) {
    return -1;
}
void cm6k6_error(const char*) {}
void cm6k6_message(const char*) {}
int cm6k6_error_handling(int, const char*) {
    return 1;
}
void cm6k6_reset() {}

void ev16p_init(int, int, int*) {}
int ev16p_zero(int, int) {
    return -1;
}
double ev16p_read(int, int) {
    return kNaN;
}
int ev16p_preset(int, int, const double*) {
    return -1;
}
int ev16p_clear_err(int) {
    return -1;
}
int ev16p_exit(int) {
    return 0;
}
int ev16p_open_dev(int) {
    return -1;
}
int ev16p_close_dev(int) {
    return 0;
}
int ev16p_check_dev_open(int) {
    return 0;
}
int ev16p_out(int, const char*) {
    return -1;
}
int ev16p_in(int, std::string*) {
    return -1;
}
int ev16p_error_handling(int, const char*) {
    return -1;
}
void ev16p_reset() {}

void hp34970_init(int, int, int*) {}
void hp34970_exit(int) {}
void hp34970_preset(int) {}
void hp34970_get_chan_volt(int, int, double* value) {
    *value = kNaN;
}
void hp34970_get_chan_res(int, int, double* value) {
    *value = kNaN;
}
void hp34970_get_chan_4wire_res(int, int, double* value) {
    *value = kNaN;
}
void hp34970_get_chan_temp(int, int, double* value) {
    *value = kNaN;
}
void hp34970_scan_chan_volt(int, int, const int*, double*) {}
void hp34970_scan_chan_res(int, int, const int*, double*) {}
void hp34970_scan_chan_4wire_res(int, int, const int*, double*) {}
void hp34970_scan_chan(int, int, const int*, const char*, double*) {}
void hp34970_switch_on_off(int, int, int) {}
int hp34970_serial_poll(int, int*) {
    return -1;
}
int hp34970_get_errors(int) {
    return -1;
}
int hp34970_open_dev(int, int) {
    return -1;
}
int hp34970_close_dev(int) {
    return 0;
}
int hp34970_check_dev_open(int) {
    return 0;
}
int hp34970_out(int, const char*) {
    return -1;
}
int hp34970_in(int, std::string*) {
    return -1;
}
int hp34970_in_buf(int, std::string*) {
    return -1;
}
void hp34970_error(const char*) {}
void hp34970_message(const char*) {}
void hp34970_reset() {}
