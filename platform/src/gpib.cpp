// Dispatch of the GPIB operations to the installed backend, keeping the status word and
// byte count of the last call as the NI-488.2 layer does.
#include "platform/gpib.hpp"

#include "group_resets.hpp"

namespace {
GpibBackend* g_gpib = nullptr;
int g_ibsta = 0;
long g_ibcntl = 0;

int note(int status, long count) {
    g_ibsta = status;
    g_ibcntl = count;
    return status;
}
} // namespace

void platform_use_gpib(GpibBackend* backend) {
    g_gpib = backend;
}
GpibBackend* platform_gpib() {
    return g_gpib;
}
void platform_gpib_reset() {
    g_gpib = nullptr;
    g_ibsta = 0;
    g_ibcntl = 0;
}

int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    if (g_gpib == nullptr) {
        note(ERR, 0);
        return -1;
    }
    const int ud = g_gpib->ibdev(board, pad, sad, tmo, eot, eos);
    note(ud < 0 ? ERR : CMPL, 0);
    return ud;
}
int ibclr(int ud) {
    return note(g_gpib != nullptr ? g_gpib->ibclr(ud) : ERR, 0);
}
int ibwrt(int ud, const char* buffer, long count) {
    long done = 0;
    const int status = g_gpib != nullptr && buffer != nullptr && count >= 0
                           ? g_gpib->ibwrt(ud, buffer, count, done)
                           : ERR;
    return note(status, done);
}
int ibrd(int ud, char* buffer, long count) {
    long done = 0;
    const int status = g_gpib != nullptr && buffer != nullptr && count > 0
                           ? g_gpib->ibrd(ud, buffer, count, done)
                           : ERR;
    return note(status, done);
}
int ibrsp(int ud, char* status_byte) {
    return note(g_gpib != nullptr ? g_gpib->ibrsp(ud, status_byte) : ERR, 0);
}
int ibonl(int ud, int online) {
    return note(g_gpib != nullptr ? g_gpib->ibonl(ud, online) : ERR, 0);
}
int ThreadIbsta() {
    return g_ibsta;
}
long ThreadIbcntl() {
    return g_ibcntl;
}
