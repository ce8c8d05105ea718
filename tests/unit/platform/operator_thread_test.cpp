// The operator thread on the machine's clock: where an action queued by the front end
// runs (at once when idle; inside the running operation's event processing or after it,
// never inside a blocking wait), and a Stop that ends a motion's waits and nothing else.
#include "platform/platform.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

class OperatorThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform_reset();
        platform_use_operator_thread(&thread);
        thread.start([] { return RunUserInterface(); });
    }
    void TearDown() override {
        thread.post([] { QuitUserInterface(0); });
        thread.join();
        platform_reset();
    }
    void note(std::string what) {
        const std::lock_guard lock(mutex);
        seen.push_back(std::move(what));
    }
    std::vector<std::string> notes() {
        const std::lock_guard lock(mutex);
        return seen;
    }
    // Runs `action` on the operator thread and waits until it has returned.
    void run(std::function<void()> action) {
        std::promise<void> done;
        thread.post([&] {
            action();
            done.set_value();
        });
        done.get_future().wait();
    }
    static double seconds_since(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    OperatorThread thread;
    std::mutex mutex;
    std::vector<std::string> seen;
};

} // namespace

TEST_F(OperatorThreadTest, ActionsQueuedDuringAnOperationRunAtItsEventProcessingOrAfterIt) {
    run([&] {
        note("A begins");
        EXPECT_TRUE(thread.busy());
        thread.post([&] { note("B"); }); // the operator acts while A runs
        thread.post([&] { note("C"); });
        Delay(0.02); // a blocking wait runs nothing
        note("A after Delay");
        ProcessSystemEvents(); // runs what was queued before it, in order
        note("A after events");
        thread.post([&] { note("D"); });
        note("A ends");
    });
    run([] {}); // D was queued before this one
    EXPECT_EQ(notes(), (std::vector<std::string>{"A begins", "A after Delay", "B", "C",
                                                 "A after events", "A ends", "D"}));
    EXPECT_FALSE(thread.busy());
}

TEST_F(OperatorThreadTest, TheEventProcessingWaitRunsAnActionWhenItComes) {
    std::thread front_end;
    run([&] {
        front_end = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            thread.post([&] { note("pressed"); });
        });
        const auto start = std::chrono::steady_clock::now();
        platform_process_events(30.0);
        note("wait over");
        // It ended with the action, not with its 30 s.
        EXPECT_LT(seconds_since(start), 15.0);
    });
    front_end.join();
    EXPECT_EQ(notes(), (std::vector<std::string>{"pressed", "wait over"}));
}

TEST_F(OperatorThreadTest, StopEndsTheWaitsOfAMotionOnlyAndOnlyWhileTheOperationRuns) {
    platform_request_stop(); // nothing runs that could stop
    EXPECT_FALSE(platform_stop_requested());

    std::promise<void> moving;
    std::thread front_end([&] {
        moving.get_future().wait();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        platform_request_stop();
    });
    run([&] {
        const StoppableScope operation;
        {
            const StopInterruptible motion;
            const auto start = std::chrono::steady_clock::now();
            moving.set_value();
            Delay(30.0);
            EXPECT_LT(seconds_since(start), 15.0);
            EXPECT_TRUE(platform_stop_requested());
            Delay(30.0); // while the stop stands, a motion waits no more
            EXPECT_LT(seconds_since(start), 15.0);
        }
        // A reading after the stop waits its full time.
        const auto start = std::chrono::steady_clock::now();
        Delay(0.05);
        EXPECT_GE(seconds_since(start), 0.05);
        EXPECT_TRUE(platform_stop_requested());
    });
    front_end.join();
    // The operation is over: the next one starts unstopped.
    EXPECT_FALSE(platform_stop_requested());
    EXPECT_FALSE(platform_stoppable());
}
