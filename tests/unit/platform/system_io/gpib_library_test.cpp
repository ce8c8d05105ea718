// The GPIB library loaded at run time, against stand-in libraries built with the tests:
// one complete, one that gives its byte count in a variable, one the program cannot
// use, and a name that is not there.
#include "platform/gpib.hpp"
#include "platform/system_io/gpib_library.hpp"
#include "scoped_environment.hpp"

#include <gtest/gtest.h>

#include "dynamic_library.hpp"

#include <string>

namespace {

constexpr int kEos = 0x140A;

// The stand-in's own functions, reached the way the program reaches the library.
class StandIn {
public:
    explicit StandIn(const char* path) {
        if (library_.open(path))
            reset();
    }

    bool ok() const { return library_.is_open(); }
    void reset() { call<void (*)()>("standin_reset")(); }
    std::string calls() { return call<const char* (*)()>("standin_calls")(); }
    std::string written() { return call<const char* (*)()>("standin_written")(); }
    void set_reply(const char* reply, int status) {
        call<void (*)(const char*, int)>("standin_set_reply")(reply, status);
    }
    void override_count(long count) { call<void (*)(long)>("standin_override_count")(count); }

private:
    template <class Fn> Fn call(const char* name) {
        return reinterpret_cast<Fn>(library_.symbol(name));
    }
    DynamicLibrary library_;
};

std::string read(GpibBackend& gpib, int ud, long count, int* status, long* got) {
    std::string buffer(static_cast<std::size_t>(count), '\0');
    *status = gpib.ibrd(ud, buffer.data(), count, *got);
    return buffer.substr(0, static_cast<std::size_t>(*got));
}

} // namespace

TEST(GpibLibrary, CallsTheLibraryWithTheUnitsParametersAndItsByteCounts) {
    StandIn standin(GPIB_STANDIN_FUNCTION);
    ASSERT_TRUE(standin.ok());
    GpibLibraryBackend gpib(GPIB_STANDIN_FUNCTION);

    const int ud = gpib.ibdev(0, 9, 0, 14, 0, kEos);
    EXPECT_EQ(ud, 7);
    EXPECT_EQ(gpib.load_error(), "");
    EXPECT_EQ(gpib.ibclr(ud), CMPL);
    long n = -1;
    EXPECT_EQ(gpib.ibwrt(ud, "SYST:CPON ALL\n", 14, n), CMPL);
    EXPECT_EQ(n, 14);
    EXPECT_EQ(standin.written(), "SYST:CPON ALL\n");

    standin.set_reply("+1.5E+00\n", CMPL | END);
    int status = 0;
    EXPECT_EQ(read(gpib, ud, 300, &status, &n), "+1.5E+00\n");
    EXPECT_EQ(status, CMPL | END);
    EXPECT_EQ(n, 9);

    // A count beyond the buffer (a confused library) is held to the buffer.
    standin.override_count(5000);
    EXPECT_EQ(read(gpib, ud, 4, &status, &n), "+1.5");
    EXPECT_EQ(n, 4);
    standin.override_count(-1);

    // An error status is passed on as the library gave it.
    standin.set_reply("", ERR | TIMO);
    EXPECT_EQ(read(gpib, ud, 300, &status, &n), "");
    EXPECT_EQ(status, ERR | TIMO);

    char status_byte = 0;
    EXPECT_EQ(gpib.ibrsp(ud, &status_byte), CMPL);
    EXPECT_EQ(status_byte, 0x42);
    EXPECT_EQ(gpib.ibonl(ud, 0), CMPL);
    EXPECT_EQ(standin.calls(), "ibdev 0 9 0 14 0 0x140a\n"
                               "ibclr 7\n"
                               "ibwrt 7 14\n"
                               "ibrd 7 300\n"
                               "ibrd 7 4\n"
                               "ibrd 7 300\n"
                               "ibrsp 7\n"
                               "ibonl 7 0\n");
}

TEST(GpibLibrary, ChecksBoardAndAddressBeforeCallingTheLibrary) {
    StandIn standin(GPIB_STANDIN_FUNCTION);
    ASSERT_TRUE(standin.ok());
    GpibLibraryBackend gpib(GPIB_STANDIN_FUNCTION);
    EXPECT_EQ(gpib.ibdev(-1, 9, 0, 14, 0, kEos), -1);
    EXPECT_EQ(gpib.ibdev(11, 9, 0, 14, 0, kEos), -1);
    EXPECT_EQ(gpib.ibdev(0, 0, 0, 14, 0, kEos), -1);
    EXPECT_EQ(gpib.ibdev(0, 31, 0, 14, 0, kEos), -1);
    EXPECT_EQ(standin.calls(), "");
    EXPECT_EQ(gpib.ibdev(10, 30, 0, 14, 0, kEos), 7);
    EXPECT_EQ(gpib.ibdev(0, 1, 0, 14, 0, kEos), 7);
    EXPECT_EQ(standin.calls(), "ibdev 10 30 0 14 0 0x140a\nibdev 0 1 0 14 0 0x140a\n");
}

TEST(GpibLibrary, TakesTheByteCountFromTheLibrarysVariable) {
    StandIn standin(GPIB_STANDIN_VARIABLE);
    ASSERT_TRUE(standin.ok());
    GpibLibraryBackend gpib(GPIB_STANDIN_VARIABLE);
    const int ud = gpib.ibdev(0, 9, 0, 14, 0, kEos);
    ASSERT_EQ(ud, 7);
    standin.set_reply("+2.0E+00\n", CMPL | END);
    int status = 0;
    long n = -1;
    EXPECT_EQ(read(gpib, ud, 300, &status, &n), "+2.0E+00\n");
    EXPECT_EQ(n, 9);
    EXPECT_EQ(gpib.ibwrt(ud, "*CLS\n", 5, n), CMPL);
    EXPECT_EQ(n, 5);
}

TEST(GpibLibrary, IsNamedByTheEnvironment) {
    StandIn standin(GPIB_STANDIN_FUNCTION);
    ASSERT_TRUE(standin.ok());
    ScopedEnvironment library("TRELWICK_GPIB_LIBRARY", GPIB_STANDIN_FUNCTION);
    GpibLibraryBackend gpib;
    EXPECT_EQ(gpib.ibdev(0, 9, 0, 14, 0, kEos), 7);
    EXPECT_EQ(standin.calls(), "ibdev 0 9 0 14 0 0x140a\n");
}

TEST(GpibLibrary, AMissingLibraryLeavesEveryUnitUnopenedAndTheProgramRunning) {
    GpibLibraryBackend gpib("/nonexistent/libgpib-not-here.so.0");
    platform_use_gpib(&gpib);
    EXPECT_EQ(ibdev(0, 9, 0, 14, 0, kEos), -1);
    EXPECT_EQ(ThreadIbsta() & ERR, ERR);
    EXPECT_NE(gpib.load_error(), "");
    // Asked again, it is still missing; calls on any descriptor fail without a library.
    EXPECT_EQ(ibdev(0, 9, 0, 14, 0, kEos), -1);
    char buffer[8];
    char status_byte = 0;
    EXPECT_EQ(ibclr(1) & ERR, ERR);
    EXPECT_EQ(ibwrt(1, "*RST\n", 5) & ERR, ERR);
    EXPECT_EQ(ibrd(1, buffer, 8) & ERR, ERR);
    EXPECT_EQ(ThreadIbcntl(), 0);
    EXPECT_EQ(ibrsp(1, &status_byte) & ERR, ERR);
    EXPECT_EQ(ibonl(1, 0) & ERR, ERR);
    platform_use_gpib(nullptr);
}

TEST(GpibLibrary, ALibraryWithoutTheNeededFunctionsIsNotUsed) {
    StandIn no_ibrsp(GPIB_STANDIN_NO_IBRSP);
    ASSERT_TRUE(no_ibrsp.ok());
    GpibLibraryBackend without_poll(GPIB_STANDIN_NO_IBRSP);
    EXPECT_FALSE(without_poll.load());
    EXPECT_EQ(without_poll.load_error(), "the GPIB library has no ibrsp");
    EXPECT_EQ(without_poll.ibdev(0, 9, 0, 14, 0, kEos), -1);
    EXPECT_EQ(no_ibrsp.calls(), "");

    // Without a byte count no read could be trusted.
    StandIn no_count(GPIB_STANDIN_NO_COUNT);
    ASSERT_TRUE(no_count.ok());
    GpibLibraryBackend without_count(GPIB_STANDIN_NO_COUNT);
    EXPECT_EQ(without_count.ibdev(0, 9, 0, 14, 0, kEos), -1);
    EXPECT_EQ(without_count.load_error(),
              "the GPIB library gives no byte count (ThreadIbcntl or ibcntl)");
    EXPECT_EQ(no_count.calls(), "");
}
