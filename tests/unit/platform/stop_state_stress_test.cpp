// A million Stop presses from several threads against operations opened and closed on
// the operator's thread, each press and each operation accounted for: none lost (a press
// made while an operation was queued or open that did not stop it) and none leaked (an
// operation stopped by no press, or a flag raised while no operation is open).
//
// The operator thread posts the next action before it closes the present operation (as a
// queued click waits behind a running one), so the ticket a press marked tells exactly
// which operation it was meant for, whatever the interleaving: a press that marked ticket
// t came after t was posted and before t+1 was, that is while t was queued or open; one
// that marked t+1 and found t open says so (Press::stopped). So the operation of ticket t
// must end stopped exactly when some press marked t or stopped its generation.
#include "platform/stop_state.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

constexpr int kPressers = 3;
constexpr int kPressesEach = 1'000'000 / kPressers + 1;
// The presses go on past the million until the operator has seen many operations of both
// kinds (how many a million presses give depends on the scheduling: a loaded machine or a
// sanitizer may give a few hundred), but not for ever if something is broken.
constexpr int kPressesAtMost = 20 * kPressesEach;
constexpr int kEachKind = 100;

struct Operation {
    std::uint64_t generation = 0;
    bool ended_stopped = false;
};

TEST(StopStateStress, AMillionPressesNoneLostNoneLeaked) {
    StopState state;
    std::atomic<int> pressing{kPressers};
    std::atomic<bool> enough{false}; // both kinds of operation seen many times
    std::vector<std::vector<StopState::Press>> presses(kPressers);
    std::vector<std::thread> pressers;
    for (int p = 0; p < kPressers; ++p)
        pressers.emplace_back([&, p] {
            std::vector<StopState::Press>& mine = presses[static_cast<std::size_t>(p)];
            mine.reserve(kPressesEach);
            for (int i = 0; i < kPressesAtMost && (i < kPressesEach || !enough.load()); ++i) {
                mine.push_back(state.request());
                // Now and then a pause, so that presses land in every phase of an operation.
                if (i % (64 + p) == 0)
                    std::this_thread::yield();
            }
            --pressing;
        });

    // The operator thread: ticket t is posted while t-1 still runs, then opened, sometimes
    // with a nested operation inside it, then closed.
    std::vector<Operation> operations(1); // by ticket; ticket 0 is none
    int flags_without_operation = 0;
    int nested_disagreements = 0;
    // The operator gives way now and then at each phase, so that presses land in all of
    // them: its operation open, the next one queued behind it, and only that one queued.
    const auto give_way = [](std::uint64_t ticket, int phase) {
        if (ticket % 5 == static_cast<std::uint64_t>(phase))
            std::this_thread::yield();
    };
    int ended_stopped = 0, ended_unstopped = 0;
    std::uint64_t ticket = state.post();
    while (pressing.load() > 0) {
        give_way(ticket, 0);
        const StopState::Opened opened = state.open(ticket);
        EXPECT_TRUE(opened.outermost);
        give_way(ticket, 1);
        if (ticket % 3 == 0) {
            // A queued press run inside this one's event wait: one operation with it.
            const StopState::Opened inner = state.open(0);
            if (inner.outermost || inner.generation != opened.generation ||
                (opened.stopped && !inner.stopped))
                ++nested_disagreements;
            give_way(ticket, 2);
            state.close();
            if (!state.stoppable())
                ++nested_disagreements;
        }
        const std::uint64_t next = state.post(); // queued behind this one
        give_way(ticket, 3);
        operations.push_back(Operation{opened.generation, state.close()});
        (operations.back().ended_stopped ? ended_stopped : ended_unstopped) += 1;
        if (ended_stopped > kEachKind && ended_unstopped > kEachKind)
            enough.store(true);
        // Nothing is open until the next one opens: no flag may stand.
        if (state.stop_requested())
            ++flags_without_operation;
        give_way(ticket, 4);
        ticket = next;
    }
    for (std::thread& t : pressers)
        t.join();

    // Which tickets were marked and which generations stopped by some press.
    const std::uint64_t last_generation = operations.back().generation;
    std::vector<bool> marked(operations.size() + 1), stopped(last_generation + 1);
    std::size_t total = 0;
    for (const auto& mine : presses)
        for (const StopState::Press& press : mine) {
            ++total;
            if (press.marked < marked.size())
                marked[press.marked] = true;
            if (press.stopped != 0) {
                ASSERT_LE(press.stopped, last_generation);
                stopped[press.stopped] = true;
            }
        }
    EXPECT_GE(total, 1'000'000u);

    int lost = 0, leaked = 0, stopped_operations = 0;
    for (std::uint64_t t = 1; t < operations.size(); ++t) {
        const Operation& op = operations[t];
        const bool meant = marked[t] || stopped[op.generation];
        lost += meant && !op.ended_stopped;
        leaked += op.ended_stopped && !meant;
        stopped_operations += op.ended_stopped;
    }
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(leaked, 0);
    EXPECT_EQ(flags_without_operation, 0);
    EXPECT_EQ(nested_disagreements, 0);
    EXPECT_FALSE(state.stop_requested());
    // The run means something only when both kinds of operation were many.
    const auto ops = static_cast<int>(operations.size() - 1);
    EXPECT_GT(stopped_operations, kEachKind) << ops << " operations";
    EXPECT_GT(ops - stopped_operations, kEachKind) << ops << " operations";
}

} // namespace
