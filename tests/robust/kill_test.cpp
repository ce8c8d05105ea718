// Nothing lost: the station, running Moves, Homes and test runs on the simulated stage in
// a child process, is killed (SIGKILL) at a random moment, thirty times. Afterwards the
// run log holds a whole header and only whole entries, in order, and at least every entry
// of the operations the child had reported finished before the kill.
#include "platform/files.hpp"
#include "platform_fixture.hpp"
#include "run_log_reader.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kKills = 30;

struct ChildRun {
    std::string reported; // the letters the child wrote before the kill
    bool killed = false;
};

// Starts the child on `root`, kills it after `after`, and collects what it reported.
ChildRun run_and_kill(const std::filesystem::path& root, unsigned seed,
                      std::chrono::milliseconds after) {
    ChildRun run;
    int out[2];
    if (::pipe(out) != 0)
        return run;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        const std::string root_text = root.string();
        const std::string seed_text = std::to_string(seed);
        ::execl(TRELWICK_KILL_CHILD, TRELWICK_KILL_CHILD, root_text.c_str(), seed_text.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::this_thread::sleep_for(after);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    char buffer[256];
    for (;;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        run.reported.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    return run;
}

std::size_t count_of(const std::vector<RunLogEntry>& entries, RunLogEntry::Kind kind,
                     const std::string& title = {}) {
    return static_cast<std::size_t>(
        std::count_if(entries.begin(), entries.end(), [&](const RunLogEntry& e) {
            return e.kind == kind && (title.empty() || e.title == title);
        }));
}

class KillTest : public PlatformTest {};

TEST_F(KillTest, EveryEntryWrittenBeforeAKillIsWholeOnDisk) {
    std::mt19937 dice(20261208);
    // The child spends its first second or so bringing the devices up and moving, then runs
    // the test bench: the kills spread over both.
    std::uniform_int_distribution<int> moment(5, 1600);
    int with_log = 0;
    for (int k = 0; k < kKills; ++k) {
        const std::filesystem::path root = drive_root / ("kill-" + std::to_string(k));
        std::filesystem::create_directories(root);
        const ChildRun run =
            run_and_kill(root, static_cast<unsigned>(k), std::chrono::milliseconds(moment(dice)));
        ASSERT_TRUE(run.killed) << "run " << k << " was not killed: did it end by itself?";

        platform_set_drive_root(root.string());
        const std::filesystem::path log_dir = platform_map_path("C:\\CVI\\Trelwick\\Log");
        const std::filesystem::path log = log_dir / "Trelwick_log.001";
        const auto moves =
            static_cast<std::size_t>(std::count(run.reported.begin(), run.reported.end(), 'M'));
        const auto homes =
            static_cast<std::size_t>(std::count(run.reported.begin(), run.reported.end(), 'H'));
        const auto runs =
            static_cast<std::size_t>(std::count(run.reported.begin(), run.reported.end(), 'R'));
        if (!std::filesystem::exists(log)) {
            EXPECT_TRUE(run.reported.empty()) << "run " << k << ": no run log";
            continue;
        }
        const std::string text = read_text_file(log);
        if (text.empty()) { // killed between the log's creation and its header
            EXPECT_TRUE(run.reported.empty()) << "run " << k;
            continue;
        }
        ++with_log;
        const RunLogReading reading = read_run_log(text);
        ASSERT_TRUE(reading.header_ok) << "run " << k << ": [" << text.substr(0, 200) << "]";
        ASSERT_EQ(reading.error, "") << "run " << k << ", " << text.size() << " bytes";

        const auto& e = reading.entries;
        const std::size_t final_entries =
            count_of(e, RunLogEntry::Coordinates, "Final device coordinates");
        EXPECT_GE(final_entries, moves) << "run " << k;
        EXPECT_LE(final_entries, moves + 1) << "run " << k;
        EXPECT_GE(count_of(e, RunLogEntry::Event, "Cams moved to zero position"), homes)
            << "run " << k;
        // Each test run logs its starting point and four steps.
        EXPECT_GE(count_of(e, RunLogEntry::BenchPoint), 5 * runs) << "run " << k;
    }
    // Most kills found a log to check.
    EXPECT_GT(with_log, kKills / 2);
}

} // namespace
