// GPIB units on a TCP socket: the test listens on a loopback port and plays the
// instrument on the accepted connection.
#include "platform/gpib_timeout.hpp"
#include "platform/system_io/gpib_tcp.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cmath>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBoard = 1;
constexpr int kAddress = 9;
constexpr int kEos = 0x140A;

// A listening socket on 127.0.0.1 at a port the system picks.
class Listener {
public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            return;
        port_ = ntohs(a.sin_port);
    }
    ~Listener() {
        close_connection();
        if (fd_ >= 0)
            ::close(fd_);
    }
    int port() const { return port_; }
    std::string endpoint() const { return "127.0.0.1:" + std::to_string(port_); }
    // Takes the connection the program made (waiting a few seconds at most).
    bool accept_connection() {
        close_connection();
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 5000) != 1)
            return false;
        peer_ = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        return peer_ >= 0;
    }
    void send(const std::string& bytes) {
        ASSERT_EQ(::send(peer_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // `count` bytes from the program, or fewer if none come for a few seconds; an empty
    // text with `closed` set when the program closed the connection.
    std::string receive(std::size_t count, bool* closed = nullptr) {
        std::string got;
        while (got.size() < count) {
            pollfd p{peer_, POLLIN, 0};
            if (::poll(&p, 1, 5000) != 1)
                break;
            char chunk[256];
            const ssize_t n = ::recv(peer_, chunk, sizeof chunk, 0);
            if (n <= 0) {
                if (closed != nullptr)
                    *closed = n == 0;
                break;
            }
            got.append(chunk, static_cast<std::size_t>(n));
        }
        return got;
    }
    void close_connection() {
        if (peer_ >= 0)
            ::close(peer_);
        peer_ = -1;
    }

private:
    int fd_ = -1;
    int peer_ = -1;
    int port_ = 0;
};

class GpibTcpTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(listener.port(), 0); }

    // Opens the unit with the data acquisition unit's parameters, or `tmo` for its time-out.
    int open_unit(int tmo = 14) {
        const int ud = tcp.ibdev(kBoard, kAddress, 0, tmo, 0, kEos);
        EXPECT_GT(ud, 0);
        EXPECT_TRUE(listener.accept_connection());
        return ud;
    }
    std::string read(int ud, long count, int* status) {
        std::vector<char> buffer(static_cast<std::size_t>(count));
        long got = -1;
        *status = tcp.ibrd(ud, buffer.data(), count, got);
        EXPECT_GE(got, 0);
        EXPECT_LE(got, count);
        return std::string(buffer.data(), static_cast<std::size_t>(got < 0 ? 0 : got));
    }
    int write(int ud, const std::string& text) {
        long sent = -1;
        const int status = tcp.ibwrt(ud, text.data(), static_cast<long>(text.size()), sent);
        EXPECT_EQ(sent, static_cast<long>(text.size()));
        return status;
    }

    Listener listener;
    std::vector<std::pair<int, int>> looked_up;
    GpibTcpBackend tcp{[this](int board, int address) -> std::optional<std::string> {
        looked_up.emplace_back(board, address);
        if (board == kBoard && address == kAddress)
            return listener.endpoint();
        if (board == 2 && address == 5)
            return std::string("no-port-here");
        if (board == 3 && address == 7)
            return refused_endpoint;
        return std::nullopt;
    }};
    std::string refused_endpoint;
};

} // namespace

TEST(GpibTimeoutCodes, GiveTheSecondsOfTheNiConvention) {
    EXPECT_EQ(gpib_timeout_seconds(14), 30.0);
    EXPECT_EQ(gpib_timeout_seconds(11), 1.0);
    EXPECT_EQ(gpib_timeout_seconds(10), 0.3);
    EXPECT_EQ(gpib_timeout_seconds(13), 10.0);
    EXPECT_EQ(gpib_timeout_seconds(17), 1000.0);
    EXPECT_EQ(gpib_timeout_seconds(1), 10e-6);
    EXPECT_TRUE(std::isinf(gpib_timeout_seconds(0)));
    EXPECT_EQ(gpib_timeout_seconds(18), 0.0);
    EXPECT_EQ(gpib_timeout_seconds(-1), 0.0);
}

TEST_F(GpibTcpTest, WritesGoOutAsGivenAndRepliesEndAtTheLineFeed) {
    const int ud = open_unit();
    EXPECT_EQ(write(ud, "MEAS:VOLT:DC? (@101)\n"), CMPL);
    EXPECT_EQ(listener.receive(21), "MEAS:VOLT:DC? (@101)\n");

    listener.send("+1.2345E+00\n+2.5E+00,+5.0E+00\n");
    int status = 0;
    EXPECT_EQ(read(ud, 300, &status), "+1.2345E+00\n");
    EXPECT_EQ(status, CMPL | END);
    EXPECT_EQ(read(ud, 3000, &status), "+2.5E+00,+5.0E+00\n");
    EXPECT_EQ(status, CMPL | END);
}

TEST_F(GpibTcpTest, AReadStopsAtTheCountAndTheRestFollows) {
    const int ud = open_unit();
    listener.send("ABCDEF\n");
    int status = 0;
    EXPECT_EQ(read(ud, 4, &status), "ABCD");
    EXPECT_EQ(status, CMPL);
    EXPECT_EQ(read(ud, 300, &status), "EF\n");
    EXPECT_EQ(status, CMPL | END);
}

TEST_F(GpibTcpTest, AReadWithoutLineFeedTimesOutWithWhatCame) {
    const int ud = open_unit(10); // 300 ms, to keep the test short
    listener.send("+1.2");
    int status = 0;
    EXPECT_EQ(read(ud, 300, &status), "+1.2");
    EXPECT_EQ(status, ERR | TIMO);
    EXPECT_EQ(read(ud, 300, &status), "");
    EXPECT_EQ(status, ERR | TIMO);
}

TEST_F(GpibTcpTest, ClearDropsPendingInputAndSerialPollSendsNothing) {
    const int ud = open_unit();
    listener.send("stale\nmore stale\n");
    int status = 0;
    EXPECT_EQ(read(ud, 2, &status), "st");
    EXPECT_EQ(tcp.ibclr(ud), CMPL);
    char status_byte = 'x';
    EXPECT_EQ(tcp.ibrsp(ud, &status_byte), CMPL);
    EXPECT_EQ(status_byte, 0);
    // Neither put anything on the wire: the first bytes the instrument sees are these.
    EXPECT_EQ(write(ud, "*IDN?\n"), CMPL);
    EXPECT_EQ(listener.receive(6), "*IDN?\n");
    listener.send("fresh\n");
    EXPECT_EQ(read(ud, 300, &status), "fresh\n");
    // On line again: also drops pending input.
    listener.send("one\ntwo\n");
    EXPECT_EQ(read(ud, 300, &status), "one\n");
    EXPECT_EQ(tcp.ibonl(ud, 1), CMPL);
    listener.send("three\n");
    EXPECT_EQ(read(ud, 300, &status), "three\n");
}

TEST_F(GpibTcpTest, OffLineClosesTheSocketAndGivesTheDescriptorBack) {
    const int ud = open_unit();
    EXPECT_EQ(tcp.ibonl(ud, 0), CMPL);
    bool closed = false;
    EXPECT_EQ(listener.receive(1, &closed), "");
    EXPECT_TRUE(closed);
    long n = 0;
    char buffer[8];
    char status_byte = 0;
    EXPECT_EQ(tcp.ibwrt(ud, "X\n", 2, n), ERR);
    EXPECT_EQ(tcp.ibrd(ud, buffer, 8, n), ERR);
    EXPECT_EQ(tcp.ibclr(ud), ERR);
    EXPECT_EQ(tcp.ibrsp(ud, &status_byte), ERR);
    EXPECT_EQ(tcp.ibonl(ud, 0), ERR);
    // Opened again, the unit gets a new descriptor.
    EXPECT_NE(open_unit(), ud);
}

TEST_F(GpibTcpTest, AnInstrumentThatClosesFailsTheReadAtOnce) {
    const int ud = open_unit(); // a 30 s time-out, which a closed socket must not cost
    listener.close_connection();
    int status = 0;
    EXPECT_EQ(read(ud, 300, &status), "");
    EXPECT_EQ(status, ERR);
}

TEST_F(GpibTcpTest, UnitsThatCannotBeReachedDoNotOpen) {
    // Out of range: not even looked up.
    EXPECT_EQ(tcp.ibdev(11, kAddress, 0, 14, 0, kEos), -1);
    EXPECT_EQ(tcp.ibdev(kBoard, 0, 0, 14, 0, kEos), -1);
    EXPECT_EQ(tcp.ibdev(kBoard, 31, 0, 14, 0, kEos), -1);
    EXPECT_TRUE(looked_up.empty());
    // No endpoint, an endpoint that is no HOST:PORT, a port nobody listens on.
    EXPECT_EQ(tcp.ibdev(0, 9, 0, 14, 0, kEos), -1);
    EXPECT_EQ(tcp.ibdev(2, 5, 0, 14, 0, kEos), -1);
    {
        Listener gone;
        refused_endpoint = gone.endpoint();
    }
    EXPECT_EQ(tcp.ibdev(3, 7, 0, 14, 0, kEos), -1);
    EXPECT_EQ(looked_up.size(), 3u);
    // Descriptors that were never handed out.
    EXPECT_EQ(tcp.ibclr(1), ERR);
    EXPECT_EQ(tcp.ibonl(-1, 0), ERR);
}
