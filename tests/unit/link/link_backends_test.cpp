// The in-process serial and GPIB links: framing, kept bytes, flushes and time-outs, all
// on the virtual clock.
#include "platform/link/link_backends.hpp"
#include "platform_fixture.hpp"

#include <deque>
#include <string>
#include <utility>

namespace {

// Answers every write with `reply` after `latency` seconds.
class EchoPeer : public LinkPeer {
public:
    EchoPeer(std::string reply, double latency) : reply_(std::move(reply)), latency_(latency) {}
    void receive(std::string_view bytes, double now) override {
        received += bytes;
        queue_.push_back({now + latency_, reply_});
    }
    double output_ready_at(double /*now*/) override {
        return queue_.empty() ? kLinkNever : queue_.front().first;
    }
    std::string take_output(double now, std::size_t max) override {
        std::string out;
        while (!queue_.empty() && queue_.front().first <= now && out.size() < max) {
            auto& [at, text] = queue_.front();
            const std::size_t n = std::min(max - out.size(), text.size());
            out += text.substr(0, n);
            text.erase(0, n);
            if (text.empty())
                queue_.pop_front();
        }
        return out;
    }
    void configure(const LinkSettings& s, double /*now*/) override { settings = s; }
    void device_clear(double /*now*/) override { ++clears; }

    std::string received;
    LinkSettings settings;
    int clears = 0;

private:
    std::string reply_;
    double latency_;
    std::deque<std::pair<double, std::string>> queue_;
};

using LinkTest = PlatformTest;

std::string read_term(int port, int count = 120) {
    std::string buffer(static_cast<std::size_t>(count), '\0');
    const int n = ComRdTerm(port, buffer.data(), count, 13);
    return n > 0 ? buffer.substr(0, static_cast<std::size_t>(n)) : "<" + std::to_string(n) + ">";
}

} // namespace

TEST_F(LinkTest, SerialReadsWaitForTheReplyAndKeepWhatFollowsTheTerminator) {
    LinkSerialBackend serial;
    EchoPeer peer("ABC\rDEF\r", 0.25);
    serial.attach(2, &peer);
    platform_use_serial(&serial);

    EXPECT_EQ(ComWrt(2, "X\r\n", 3), kRS232PortNotOpen); // not opened yet
    ASSERT_EQ(OpenComConfig(2, "", 9600, 0, 7, 2, 512, 512), 0);
    EXPECT_EQ(peer.settings.data_bits, 7);
    EXPECT_EQ(peer.settings.stop_bits, 2);
    EXPECT_EQ(OpenComConfig(3, "", 9600, 0, 8, 1, 512, 512), kRS232InvalidPort);

    const double t0 = clock.elapsed_seconds();
    ASSERT_EQ(ComWrt(2, "GA03\r\n", 6), 6);
    EXPECT_EQ(peer.received, "GA03\r\n");
    EXPECT_EQ(read_term(2), "ABC");
    EXPECT_DOUBLE_EQ(clock.elapsed_seconds() - t0, 0.25);
    EXPECT_EQ(read_term(2), "DEF"); // kept from the first chunk, no wait
    EXPECT_DOUBLE_EQ(clock.elapsed_seconds() - t0, 0.25);
    // Nothing more is coming: the read costs its whole time-out.
    EXPECT_EQ(read_term(2), "<" + std::to_string(kRS232Timeout) + ">");
    EXPECT_DOUBLE_EQ(clock.elapsed_seconds() - t0, 0.25 + kSerialReadTimeoutSeconds);
}

TEST_F(LinkTest, SerialCountLimitsAReadAndFlushDropsOnlyWhatHasArrived) {
    LinkSerialBackend serial;
    EchoPeer peer("ABCDEF\r", 0.5);
    serial.attach(1, &peer);
    platform_use_serial(&serial);
    ASSERT_EQ(OpenComConfig(1, "", 9600, 0, 8, 1, 512, 512), 0);

    ComWrt(1, "a", 1);
    EXPECT_EQ(read_term(1, 2), "AB");
    EXPECT_EQ(read_term(1), "CDEF");

    ComWrt(1, "b", 1); // reply due in 0.5 s
    Delay(0.6);
    ComWrt(1, "c", 1); // reply due 0.5 s later still
    EXPECT_EQ(FlushInQ(1), 0);
    const double t = clock.elapsed_seconds();
    EXPECT_EQ(read_term(1), "ABCDEF"); // the second reply, after its own latency
    EXPECT_DOUBLE_EQ(clock.elapsed_seconds() - t, 0.5);

    serial.fail_writes(-1);
    EXPECT_EQ(ComWrt(1, "d", 1), -1);
    EXPECT_EQ(peer.received, "abc");
}

TEST_F(LinkTest, SerialTextCutShortByTheTimeOutIsTextButReportedAsTheTimeOut) {
    LinkSerialBackend serial;
    EchoPeer peer("GA01,+0", 0.1); // no carriage return ever comes
    serial.attach(5, &peer);
    platform_use_serial(&serial);
    ASSERT_EQ(OpenComConfig(5, "", 9600, 0, 7, 2, 512, 512), 0);

    ComWrt(5, "GA01\r\n", 6);
    EXPECT_EQ(read_term(5), "GA01,+0");
    EXPECT_EQ(ReturnRS232Err(), kRS232Timeout);
    // A whole reply, and a read ended by its count, are no failure.
    ComWrt(5, "x", 1);
    EXPECT_EQ(read_term(5, 4), "GA01");
    EXPECT_EQ(ReturnRS232Err(), 0);
    EXPECT_EQ(read_term(5), ",+0"); // the rest, still without its carriage return
    EXPECT_EQ(ReturnRS232Err(), kRS232Timeout);
    EXPECT_EQ(read_term(5), "<" + std::to_string(kRS232Timeout) + ">");
    EXPECT_EQ(ReturnRS232Err(), kRS232Timeout);
    EXPECT_EQ(ComRdTerm(6, nullptr, 0, 13), 0);
    EXPECT_EQ(ReturnRS232Err(), 0);
}

TEST_F(LinkTest, GpibReadsEndAtTheLineFeedAndTimeOutAfterTheUnitTimeOut) {
    LinkGpibBackend gpib;
    EchoPeer peer("+1.5E+00,+2.0E+00\nextra\n", 0.01);
    gpib.attach(0, 9, &peer);
    platform_use_gpib(&gpib);

    EXPECT_LT(ibdev(0, 8, 0, 14, 0, 0x140A), 0); // nothing at address 8
    const int ud = ibdev(0, 9, 0, 14, 0, 0x140A);
    ASSERT_GT(ud, 0);
    EXPECT_EQ(peer.settings.gpib_timeout_code, 14);
    EXPECT_EQ(ibclr(ud) & ERR, 0);
    EXPECT_EQ(peer.clears, 1);

    EXPECT_EQ(ibwrt(ud, "READ?\n", 6) & ERR, 0);
    EXPECT_EQ(ThreadIbcntl(), 6);
    std::string buffer(300, '\0');
    const int status = ibrd(ud, buffer.data(), 300);
    EXPECT_EQ(status & (ERR | END), END);
    EXPECT_EQ(buffer.substr(0, static_cast<std::size_t>(ThreadIbcntl())), "+1.5E+00,+2.0E+00\n");
    ibrd(ud, buffer.data(), 300);
    EXPECT_EQ(buffer.substr(0, static_cast<std::size_t>(ThreadIbcntl())), "extra\n");

    const double t = clock.elapsed_seconds();
    EXPECT_EQ(ibrd(ud, buffer.data(), 300) & (ERR | TIMO), ERR | TIMO);
    EXPECT_EQ(ThreadIbcntl(), 0);
    EXPECT_DOUBLE_EQ(clock.elapsed_seconds() - t, 30.0);

    EXPECT_EQ(ibonl(ud, 0) & ERR, 0);
    EXPECT_NE(ibwrt(ud, "*RST\n", 5) & ERR, 0); // the descriptor was given back
    EXPECT_DOUBLE_EQ(gpib_timeout_seconds(11), 1.0);
    EXPECT_EQ(gpib_timeout_seconds(0), kLinkNever);
}

TEST_F(LinkTest, GpibUnitWithoutTimeOutWaitsForTheReplyButNotForSilence) {
    LinkGpibBackend gpib;
    EchoPeer peer("late\n", 120.0);
    gpib.attach(0, 9, &peer);
    platform_use_gpib(&gpib);
    const int ud = ibdev(0, 9, 0, 0, 0, 0x140A); // time-out code 0: none
    ASSERT_GT(ud, 0);
    std::string buffer(300, '\0');
    ibwrt(ud, "SLOW?\n", 6);
    const double t = clock.elapsed_seconds();
    EXPECT_EQ(ibrd(ud, buffer.data(), 300) & (ERR | END), END);
    EXPECT_DOUBLE_EQ(clock.elapsed_seconds() - t, 120.0);
    // Nothing is coming: the read ends instead of hanging the program.
    EXPECT_NE(ibrd(ud, buffer.data(), 300) & ERR, 0);
}
