// Choosing per unit between the TCP transport and the GPIB library.
#include "platform/system_io/gpib_routing.hpp"
#include "scoped_environment.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

// A backend that hands out its own descriptors and notes every call.
class NotingBackend : public GpibBackend {
public:
    explicit NotingBackend(int first_ud) : next_(first_ud) {}
    int ibdev(int board, int pad, int, int tmo, int, int eos) override {
        calls += "ibdev " + std::to_string(board) + " " + std::to_string(pad) + " " +
                 std::to_string(tmo) + " " + std::to_string(eos) + "\n";
        return refuse ? refusal : next_++;
    }
    int ibclr(int ud) override { return note("ibclr", ud); }
    int ibwrt(int ud, const char* buffer, long count, long& transferred) override {
        written.append(buffer, static_cast<std::size_t>(count));
        transferred = count;
        return note("ibwrt", ud);
    }
    int ibrd(int ud, char* buffer, long count, long& transferred) override {
        buffer[0] = 'R';
        transferred = count > 0 ? 1 : 0;
        return note("ibrd", ud) | END;
    }
    int ibrsp(int ud, char* status_byte) override {
        *status_byte = 0x10;
        return note("ibrsp", ud);
    }
    int ibonl(int ud, int online) override { return note(online != 0 ? "ibonl1" : "ibonl0", ud); }

    std::string calls;
    std::string written;
    bool refuse = false;
    int refusal = -1;

private:
    int note(const char* what, int ud) {
        calls += std::string(what) + " " + std::to_string(ud) + "\n";
        return CMPL;
    }
    int next_;
};

// A lock folder of this test's own, so that tests running side by side claim apart.
std::string private_lock_folder() {
    std::random_device random;
    std::error_code error;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder = std::filesystem::temp_directory_path(error) /
                                             ("trelwick-locks-" + std::to_string(random()));
        if (std::filesystem::create_directory(folder, error))
            return folder.string();
    }
    return ".";
}

class GpibRoutingTest : public ::testing::Test {
protected:
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(lock_folder, ignored);
    }

    std::string lock_folder = private_lock_folder();
    ScopedEnvironment locks{"TRELWICK_LOCK_DIR", lock_folder};
    NotingBackend library{100};
    NotingBackend tcp{500};
    GpibRoutingBackend gpib{library, tcp, [](int board, int address) {
                                return board == 1 && address == 9
                                           ? std::optional<std::string>("127.0.0.1:5025")
                                           : std::nullopt;
                            }};
};

} // namespace

TEST_F(GpibRoutingTest, UnitsWithASocketGoToTcpAndTheRestToTheLibrary) {
    const int on_socket = gpib.ibdev(1, 9, 0, 14, 0, 0x140A);
    const int on_bus = gpib.ibdev(0, 9, 0, 14, 0, 0x140A);
    ASSERT_GT(on_socket, 0);
    ASSERT_GT(on_bus, 0);
    EXPECT_NE(on_socket, on_bus);
    EXPECT_EQ(tcp.calls, "ibdev 1 9 14 5130\n");
    EXPECT_EQ(library.calls, "ibdev 0 9 14 5130\n");

    long n = 0;
    char buffer[4];
    char status_byte = 0;
    EXPECT_EQ(gpib.ibwrt(on_socket, "READ?\n", 6, n), CMPL);
    EXPECT_EQ(n, 6);
    EXPECT_EQ(gpib.ibrd(on_bus, buffer, 4, n), CMPL | END);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(buffer[0], 'R');
    EXPECT_EQ(gpib.ibclr(on_bus), CMPL);
    EXPECT_EQ(gpib.ibrsp(on_socket, &status_byte), CMPL);
    EXPECT_EQ(status_byte, 0x10);
    EXPECT_EQ(gpib.ibonl(on_socket, 1), CMPL);
    EXPECT_EQ(tcp.written, "READ?\n");
    // Each call reached its unit under the backend's own descriptor.
    EXPECT_EQ(tcp.calls, "ibdev 1 9 14 5130\nibwrt 500\nibrsp 500\nibonl1 500\n");
    EXPECT_EQ(library.calls, "ibdev 0 9 14 5130\nibrd 100\nibclr 100\n");
}

TEST_F(GpibRoutingTest, OffLineGivesTheDescriptorBack) {
    const int ud = gpib.ibdev(0, 9, 0, 14, 0, 0x140A);
    EXPECT_EQ(gpib.ibonl(ud, 0), CMPL);
    EXPECT_EQ(gpib.ibclr(ud), ERR);
    EXPECT_EQ(gpib.ibonl(ud, 0), ERR);
    EXPECT_EQ(library.calls, "ibdev 0 9 14 5130\nibonl0 100\n");
}

TEST_F(GpibRoutingTest, AUnitThatDoesNotOpenGetsNoDescriptor) {
    tcp.refuse = true;
    // The socket unit is not there: it does not fall back to the library.
    EXPECT_EQ(gpib.ibdev(1, 9, 0, 14, 0, 0x140A), -1);
    EXPECT_EQ(library.calls, "");
    library.refuse = true;
    EXPECT_EQ(gpib.ibdev(0, 9, 0, 14, 0, 0x140A), -1);
    library.refusal = 0;
    EXPECT_EQ(gpib.ibdev(0, 9, 0, 14, 0, 0x140A), -1);
    long n = 0;
    char buffer[4];
    char status_byte = 0;
    for (int ud : {-1, 0, 1, 2}) {
        EXPECT_EQ(gpib.ibwrt(ud, "X", 1, n), ERR);
        EXPECT_EQ(gpib.ibrd(ud, buffer, 4, n), ERR);
        EXPECT_EQ(gpib.ibrsp(ud, &status_byte), ERR);
    }
}

TEST_F(GpibRoutingTest, AUnitAnotherProgramHoldsIsNotOpenedUntilItIsGivenBack) {
    NotingBackend other_library{700};
    NotingBackend other_tcp{900};
    GpibRoutingBackend other{other_library, other_tcp,
                             [](int, int) { return std::optional<std::string>("127.0.0.1:5025"); }};
    const int ud = gpib.ibdev(1, 9, 0, 14, 0, 0x140A); // 127.0.0.1:5025
    ASSERT_GT(ud, 0);
    // The same instrument, whatever unit number the other program knows it by.
    EXPECT_EQ(other.ibdev(2, 4, 0, 14, 0, 0x140A), -1);
    EXPECT_EQ(other_tcp.calls, "");
    EXPECT_GT(gpib.ibdev(0, 9, 0, 14, 0, 0x140A), 0); // another instrument
    EXPECT_EQ(gpib.ibonl(ud, 0), CMPL);
    EXPECT_GT(other.ibdev(2, 4, 0, 14, 0, 0x140A), 0);
}
