#include "platform/system_io/gpib_library.hpp"

#include "dynamic_library.hpp"
#include "platform/system_io/gpib_units.hpp"
#include "platform/system_io/open_diagnosis.hpp"

#include <cstdio>

// The library's functions as the NI-488.2 C interface declares them. Each returns the
// status word (descriptor for ibdev); only its low 16 bits carry meaning, so an int
// return reads them right whether the library returns int or a wider unsigned type.
// 32-bit Windows libraries use the stdcall convention; elsewhere there is only one.
#if defined(_WIN32) && !defined(_WIN64)
#define GPIB_CALL __stdcall
#else
#define GPIB_CALL
#endif

namespace {
// The status word is the low 16 bits of what the library returns.
int status_word(int returned) {
    return returned & 0xFFFF;
}

using IbdevFn = int(GPIB_CALL*)(int board, int pad, int sad, int tmo, int eot, int eos);
using IbclrFn = int(GPIB_CALL*)(int ud);
using IbwrtFn = int(GPIB_CALL*)(int ud, const void* buffer, long count);
using IbrdFn = int(GPIB_CALL*)(int ud, void* buffer, long count);
using IbrspFn = int(GPIB_CALL*)(int ud, char* status_byte);
using IbonlFn = int(GPIB_CALL*)(int ud, int online);
using CountlFn = long(GPIB_CALL*)();
using CountFn = int(GPIB_CALL*)();
} // namespace

struct GpibLibraryBackend::Api {
    DynamicLibrary library;
    IbdevFn ibdev = nullptr;
    IbclrFn ibclr = nullptr;
    IbwrtFn ibwrt = nullptr;
    IbrdFn ibrd = nullptr;
    IbrspFn ibrsp = nullptr;
    IbonlFn ibonl = nullptr;
    // One of these four gives the count of the last transfer.
    CountlFn thread_ibcntl = nullptr;
    const volatile long* ibcntl = nullptr;
    CountFn thread_ibcnt = nullptr;
    const volatile int* ibcnt = nullptr;
    std::string error;

    bool ready() const { return ibdev != nullptr; }

    long last_count() const {
        if (thread_ibcntl != nullptr)
            return thread_ibcntl();
        if (ibcntl != nullptr)
            return *ibcntl;
        if (thread_ibcnt != nullptr)
            return thread_ibcnt();
        return *ibcnt;
    }

    template <class Fn> bool find(Fn& fn, const char* name) {
        fn = reinterpret_cast<Fn>(library.symbol(name));
        if (fn == nullptr && error.empty())
            error = std::string("the GPIB library has no ") + name;
        return fn != nullptr;
    }

    bool load(const std::string& name) {
        error.clear();
        if (!library.open(name)) {
            error = library.error();
            return false;
        }
        IbdevFn open_unit = nullptr;
        bool ok = find(open_unit, "ibdev");
        ok = find(ibclr, "ibclr") && ok;
        ok = find(ibwrt, "ibwrt") && ok;
        ok = find(ibrd, "ibrd") && ok;
        ok = find(ibrsp, "ibrsp") && ok;
        ok = find(ibonl, "ibonl") && ok;
        thread_ibcntl = reinterpret_cast<CountlFn>(library.symbol("ThreadIbcntl"));
        ibcntl = static_cast<const volatile long*>(library.symbol("ibcntl"));
        thread_ibcnt = reinterpret_cast<CountFn>(library.symbol("ThreadIbcnt"));
        ibcnt = static_cast<const volatile int*>(library.symbol("ibcnt"));
        if (thread_ibcntl == nullptr && ibcntl == nullptr && thread_ibcnt == nullptr &&
            ibcnt == nullptr) {
            ok = false;
            if (error.empty())
                error = "the GPIB library gives no byte count (ThreadIbcntl or ibcntl)";
        }
        if (!ok) {
            library.close();
            return false;
        }
        ibdev = open_unit; // set last: ready() means every function was found
        return true;
    }
};

GpibLibraryBackend::GpibLibraryBackend() : GpibLibraryBackend(gpib_library_name()) {}

GpibLibraryBackend::GpibLibraryBackend(std::string library_name)
    : library_name_(std::move(library_name)), api_(std::make_unique<Api>()) {}

GpibLibraryBackend::~GpibLibraryBackend() = default;

bool GpibLibraryBackend::load() {
    if (api_->ready())
        return true;
    if (api_->load(library_name_))
        return true;
    if (!reported_) {
        std::fprintf(stderr, "GPIB library %s not usable: %s\n", library_name_.c_str(),
                     api_->error.c_str());
        reported_ = true;
    }
    return false;
}

const std::string& GpibLibraryBackend::load_error() const {
    return api_->error;
}

long GpibLibraryBackend::transferred_within(long count) const {
    // The library's count is outside text too: never more than the buffer holds.
    const long n = api_->last_count();
    return n < 0 ? 0 : (n > count ? count : n);
}

int GpibLibraryBackend::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    if (!gpib_unit_in_range(board, pad))
        return -1;
    if (!load()) {
        record_gpib_failure(board, pad, GpibFailure::LibraryMissing, api_->error, library_name_);
        return -1;
    }
    const int ud = api_->ibdev(board, pad, sad, tmo, eot, eos);
    if (ud <= 0)
        record_gpib_failure(board, pad, GpibFailure::LibraryRefused, "ibdev failed", library_name_);
    return ud;
}

int GpibLibraryBackend::ibclr(int ud) {
    return api_->ready() ? status_word(api_->ibclr(ud)) : ERR;
}

int GpibLibraryBackend::ibwrt(int ud, const char* buffer, long count, long& transferred) {
    if (!api_->ready())
        return ERR;
    const int status = status_word(api_->ibwrt(ud, buffer, count));
    transferred = transferred_within(count);
    return status;
}

int GpibLibraryBackend::ibrd(int ud, char* buffer, long count, long& transferred) {
    if (!api_->ready())
        return ERR;
    const int status = status_word(api_->ibrd(ud, buffer, count));
    transferred = transferred_within(count);
    return status;
}

int GpibLibraryBackend::ibrsp(int ud, char* status_byte) {
    return api_->ready() ? status_word(api_->ibrsp(ud, status_byte)) : ERR;
}

int GpibLibraryBackend::ibonl(int ud, int online) {
    return api_->ready() ? status_word(api_->ibonl(ud, online)) : ERR;
}
