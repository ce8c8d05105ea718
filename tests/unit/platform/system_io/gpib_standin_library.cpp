// A stand-in for the machine's GPIB library: the NI-488.2 C functions over one
// pretend unit, and a few extra functions through which a test scripts the unit and
// reads back every call the program made. Built in variants that lack parts of the
// interface, so that a library the program cannot use is met as well.
#include <cstdio>
#include <cstring>
#include <string>

#ifdef STANDIN_COUNT_VARIABLE
extern "C" {
long ibcntl = 0;
}
#endif

namespace {
std::string g_calls;   // one line per call
std::string g_written; // every byte written
std::string g_reply;   // what the next ibrd reads
long g_count = 0;
long g_count_override = -1;
int g_read_status = 0x2100; // END | CMPL

void note(const std::string& line) {
    g_calls += line;
    g_calls += '\n';
}
[[maybe_unused]] long last_count() {
    return g_count_override >= 0 ? g_count_override : g_count;
}
void set_count(long n) {
    g_count = n;
#ifdef STANDIN_COUNT_VARIABLE
    ibcntl = last_count();
#endif
}
} // namespace

extern "C" {

int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    char line[96];
    std::snprintf(line, sizeof line, "ibdev %d %d %d %d %d 0x%x", board, pad, sad, tmo, eot, eos);
    note(line);
    return 7;
}
int ibclr(int ud) {
    note("ibclr " + std::to_string(ud));
    return 0x0100;
}
int ibwrt(int ud, const void* buffer, long count) {
    note("ibwrt " + std::to_string(ud) + " " + std::to_string(count));
    g_written.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    set_count(count);
    return 0x0100;
}
int ibrd(int ud, void* buffer, long count) {
    note("ibrd " + std::to_string(ud) + " " + std::to_string(count));
    const std::size_t n = g_reply.size() < static_cast<std::size_t>(count)
                              ? g_reply.size()
                              : static_cast<std::size_t>(count);
    std::memcpy(buffer, g_reply.data(), n);
    set_count(static_cast<long>(n));
    return g_read_status;
}
#ifndef STANDIN_NO_IBRSP
int ibrsp(int ud, char* status_byte) {
    note("ibrsp " + std::to_string(ud));
    *status_byte = 0x42;
    return 0x0100;
}
#endif
int ibonl(int ud, int online) {
    note("ibonl " + std::to_string(ud) + " " + std::to_string(online));
    return 0x0100;
}
#ifdef STANDIN_COUNT_FUNCTION
long ThreadIbcntl() {
    return last_count();
}
#endif

// The test's side.
void standin_reset() {
    g_calls.clear();
    g_written.clear();
    g_reply.clear();
    g_count = 0;
    g_count_override = -1;
    g_read_status = 0x2100;
}
const char* standin_calls() {
    return g_calls.c_str();
}
const char* standin_written() {
    return g_written.c_str();
}
void standin_set_reply(const char* reply, int status) {
    g_reply = reply;
    g_read_status = status;
}
// The count the library reports from now on, whatever was transferred (-1: the true one).
void standin_override_count(long count) {
    g_count_override = count;
}
}
