// GPIB units through the machine's GPIB library with the NI-488.2 C interface (ibdev,
// ibclr, ibwrt, ibrd, ibrsp, ibonl), loaded at run time so that the program builds
// without it and runs without it.
//
// The library is loaded when the first unit is opened, from gpib_library_name()
// (TRELWICK_GPIB_LIBRARY, else libgpib.so.0, or on Windows ni4882.dll, gpib-32.dll for a
// 32-bit build). If it is missing, or lacks a function the program needs, that open
// returns -1 and the program runs on; the reason is written once to standard error. The
// byte count of a transfer is read from the library after the call: its ThreadIbcntl()
// function, else its ibcntl variable, else ThreadIbcnt() or ibcnt; a library with none
// of them is not used.
#pragma once

#include "platform/gpib.hpp"

#include <memory>
#include <string>

class GpibLibraryBackend : public GpibBackend {
public:
    // The library named by gpib_library_name(), or the one given.
    GpibLibraryBackend();
    explicit GpibLibraryBackend(std::string library_name);
    ~GpibLibraryBackend() override;
    GpibLibraryBackend(const GpibLibraryBackend&) = delete;
    GpibLibraryBackend& operator=(const GpibLibraryBackend&) = delete;

    // Loads the library if it is not loaded yet; false when it can't be used.
    bool load();
    // Why the last load failed; empty after a good one.
    const std::string& load_error() const;

    // -1 for a board outside 0..10 or an address outside 1..30 (the library is not
    // called), or when the library can't be used.
    int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
    // ERR without calling anything while no library is loaded.
    int ibclr(int ud) override;
    int ibwrt(int ud, const char* buffer, long count, long& transferred) override;
    int ibrd(int ud, char* buffer, long count, long& transferred) override;
    int ibrsp(int ud, char* status_byte) override;
    int ibonl(int ud, int online) override;

private:
    struct Api;
    long transferred_within(long count) const;

    std::string library_name_;
    std::unique_ptr<Api> api_;
    bool reported_ = false;
};
