// A counter on a real serial port that goes away in the middle of a command: the
// program's termios backend on one side of a pseudo-terminal, a scripted counter on the
// other, which answers the bring-up and then closes its side when the reading is asked
// for. The stage behind the other instruments stays simulated.
#include "app/shell/panel_ids.hpp"
#include "platform/system_io/termios_serial.hpp"
#include "station_sim_fixture.hpp"

#include <cmath>
#include <map>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>

namespace {

// The far side of a pseudo-terminal playing the counter: each command (up to its CR LF)
// gets its scripted reply; the command named `hang_up_at` closes the far side instead.
// The counter gives up by itself if the program stops talking to it, so a faulty program
// fails the test rather than hanging it.
class VanishingCounter {
public:
    VanishingCounter(std::map<std::string, std::string> replies, std::string hang_up_at)
        : replies_(std::move(replies)), hang_up_at_(std::move(hang_up_at)) {
        int slave = -1;
        if (::openpty(&master_, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        if (const char* name = ::ttyname(slave))
            slave_name_ = name;
        slave_ = slave;
        thread_ = std::thread([this] { serve(); });
    }
    ~VanishingCounter() {
        if (thread_.joinable())
            thread_.join();
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
    }
    VanishingCounter(const VanishingCounter&) = delete;
    VanishingCounter& operator=(const VanishingCounter&) = delete;

    bool ok() const { return !slave_name_.empty(); }
    const std::string& device() const { return slave_name_; }
    // The commands received, in order (read once the counter has gone away).
    const std::vector<std::string>& received() {
        if (thread_.joinable())
            thread_.join();
        return received_;
    }

private:
    void serve() {
        std::string line;
        constexpr int kQuietLimitMs = 20000;
        for (;;) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, kQuietLimitMs) <= 0)
                break;
            char c = 0;
            if (::read(master_, &c, 1) != 1)
                break;
            if (c != '\n') {
                line += c;
                continue;
            }
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            received_.push_back(line);
            if (line == hang_up_at_)
                break;
            const auto reply = replies_.find(line);
            if (reply != replies_.end()) {
                const std::string bytes = reply->second + "\r";
                if (::write(master_, bytes.data(), bytes.size()) < 0)
                    break;
            }
            line.clear();
        }
        ::close(master_);
        master_ = -1;
    }

    std::map<std::string, std::string> replies_;
    std::string hang_up_at_;
    int master_ = -1;
    int slave_ = -1;
    std::string slave_name_;
    std::vector<std::string> received_;
    std::thread thread_;
};

using SerialPeerGoneTest = StationSimTest;

} // namespace

TEST_F(SerialPeerGoneTest, ACounterThatGoesAwayDuringAReadingGivesNoReadingAndNoLogEntry) {
    bring_up();
    for (int c = MAIN_READ_GAGE_1; c <= MAIN_ZERO_GAGE_5; ++c)
        SetCtrlAttribute(main, c, ATTR_DIMMED, 0);
    const std::string log = run_log();

    VanishingCounter counter({{"CS00", "CH00"}, {"CK01", "CK010"}}, "GA03");
    ASSERT_TRUE(counter.ok());
    TermiosSerialBackend ports([&](int port) { return port == 5 ? counter.device() : ""; });
    platform_use_serial(&ports);

    for (int i = 0; i < 6; ++i)
        op.answer_confirm(true);
    ASSERT_EQ(op.press(main, MAIN_READ_GAGE_3), 0);
    platform_use_serial(&serial);

    std::vector<std::string> popups;
    for (const auto& p : op.popups())
        popups.push_back(p.title + ": " + p.message);
    // The reply never comes; the second attempt finds the port gone at once, every call
    // failing with the gone device's -4 rather than waiting out a time-out.
    const auto gone = [](const std::string& what) {
        return "ERROR: Error in " + what + ". Check error code # -4. Continue?";
    };
    EXPECT_EQ(popups, (std::vector<std::string>{
                          gone("# bytes in = -4, problem receiving RS232 input"), gone("FlushInQ"),
                          gone("FlushOutQ"), gone("err = -4, problem sending RS232 command"),
                          gone("# bytes in = -4, problem receiving RS232 input"),
                          "ERROR: Error in Reading gages. Check error code # 0. Continue?"}));
    EXPECT_EQ(counter.received(), (std::vector<std::string>{"CS00", "CK01", "GA03"}));
    EXPECT_TRUE(std::isnan(slot(17)));
    EXPECT_EQ(run_log(), log);
}
