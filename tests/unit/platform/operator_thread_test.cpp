// The operator thread on the machine's clock: where an action queued by the front end
// runs (at once when idle; inside the running operation's event processing or after it,
// never inside a blocking wait), and a Stop that ends a motion's waits and nothing else.
#include "platform/platform.hpp"

#include <gtest/gtest.h>

#include <atomic>
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

// The front end's press tied to the operation it was meant for, through the operator
// thread's queue: an operation queued (behind a running action) or starting at the press
// is stopped when it opens, whatever the timing; one posted after the press is not.
TEST_F(OperatorThreadTest, APressStopsWhatWasQueuedOrStartingAndNothingPostedAfterIt) {
    constexpr int kRounds = 500;
    int queued_stopped = 0, later_stopped = 0;
    for (int i = 0; i < kRounds; ++i) {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        if (i % 2 == 0) // the operator thread busy: the operation waits in the queue
            thread.post([released] { released.wait(); });
        std::promise<bool> queued, later;
        std::atomic<bool> pressed{false};
        thread.post([&] {
            const StoppableScope operation;
            while (!pressed.load()) // the press may come before or after the opening
                std::this_thread::yield();
            queued.set_value(platform_stop_requested());
        });
        platform_request_stop();
        pressed = true;
        release.set_value();
        queued_stopped += queued.get_future().get();
        thread.post([&] {
            const StoppableScope operation;
            later.set_value(platform_stop_requested());
        });
        later_stopped += later.get_future().get();
    }
    EXPECT_EQ(queued_stopped, kRounds);
    EXPECT_EQ(later_stopped, 0);
    run([] {}); // the last operation has closed
    EXPECT_FALSE(platform_stoppable());
}

// A queued press run inside an operation's event wait is part of that operation: its
// end neither lowers the stop nor ends the operation; the listener hears the one press
// that stopped it.
TEST_F(OperatorThreadTest, ANestedOperationSharesTheStopOfTheOneItRunsIn) {
    std::atomic<int> heard{0};
    platform_set_stop_listener([&] { ++heard; });
    platform_request_stop(); // nothing runs: nobody hears of it
    run([&] {
        const StoppableScope outer;
        thread.post([&] {
            const StoppableScope inner;
            platform_request_stop();
            platform_request_stop(); // stopped already
            EXPECT_TRUE(platform_stop_requested());
        });
        ProcessSystemEvents();
        note("inner ended");
        EXPECT_TRUE(platform_stoppable());
        EXPECT_TRUE(platform_stop_requested());
    });
    EXPECT_EQ(notes(), std::vector<std::string>{"inner ended"});
    EXPECT_EQ(heard.load(), 1);
    EXPECT_FALSE(platform_stop_requested());
    platform_set_stop_listener({});
}
