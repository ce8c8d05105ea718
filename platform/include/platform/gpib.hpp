// GPIB in the NI-488.2 style: unit descriptors and a status word whose bit 0x8000 marks
// an error. The byte count of the last transfer is ThreadIbcntl().
#pragma once

#include <string>

constexpr int ERR = 0x8000;
constexpr int TIMO = 0x4000;
constexpr int END = 0x2000;
constexpr int CMPL = 0x0100;

class GpibBackend {
public:
    virtual ~GpibBackend() = default;
    virtual int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) = 0;
    virtual int ibclr(int ud) = 0;
    virtual int ibwrt(int ud, const char* buffer, long count, long& transferred) = 0;
    virtual int ibrd(int ud, char* buffer, long count, long& transferred) = 0;
    virtual int ibrsp(int ud, char* status_byte) = 0;
    virtual int ibonl(int ud, int online) = 0;
    // Where the unit is reached, for the operator: "GPIB 1:9 -> 127.0.0.1:5025 (...)".
    virtual std::string describe_unit(int board, int address) const {
        return "GPIB " + std::to_string(board) + ":" + std::to_string(address);
    }
};

void platform_use_gpib(GpibBackend* backend);
GpibBackend* platform_gpib();

int ibdev(int board, int pad, int sad, int tmo, int eot, int eos); // descriptor, or -1
int ibclr(int ud);
int ibwrt(int ud, const char* buffer, long count);
int ibrd(int ud, char* buffer, long count);
int ibrsp(int ud, char* status_byte);
int ibonl(int ud, int online);
int ThreadIbsta();
long ThreadIbcntl();
