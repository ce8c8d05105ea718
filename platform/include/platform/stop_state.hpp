// The Stop state: the operator's stop request, the operation that may turn a motor and
// its generation, as one state behind one lock, so that no press is lost or outlives the
// operation it was meant for.
//
// A press is tied to the operation it was meant for:
//   - it stops the operation open at the press;
//   - it marks every action posted to the operator thread up to the press: one of them
//     that opens an operation later (it was queued or starting at the press) opens it
//     stopped;
//   - an action posted after the press, or an operation opened by no posted action (the
//     tests' scripted operator, running on the caller's thread), is not stopped by it.
// The stop flag is raised only while an operation is open and is lowered with the
// closing of the outermost one, in the same step, so that no later operation sees it.
//
// The process has one (operator_thread.hpp's platform_* functions use it); the class
// stands alone so that a test can drive one from many threads and account for every press.
#pragma once

#include <cstdint>
#include <mutex>

class StopState {
public:
    // --- The front end (any thread) ------------------------------------------------------
    // An action is posted to the operator thread: its ticket (1, 2, ...), which the
    // operator thread hands to open() when the action opens an operation.
    std::uint64_t post();

    // What a press did.
    struct Press {
        std::uint64_t marked = 0;  // the last ticket it marked (0: none posted yet)
        std::uint64_t stopped = 0; // the generation it stopped now (0: none open, or the
                                   // open one was stopped already)
    };
    Press request();

    // --- The operator thread ------------------------------------------------------------
    struct Opened {
        std::uint64_t generation = 0; // the operation it belongs to (1, 2, ...)
        bool outermost = false;       // false: nested in an open one, whose stop it shares
        bool stopped = false;         // the operation is stopped from the start
    };
    // Opens an operation for the action with `ticket` (0: no posted action). A nested one
    // joins the open operation; a marked ticket stops it.
    Opened open(std::uint64_t ticket);
    // Closes the innermost open operation; the outermost's close lowers the flag. Whether
    // the operation was stopped (at the outermost close: whether it ended stopped).
    bool close();

    // --- Any thread ----------------------------------------------------------------------
    // True from a press (or the opening of a marked action) until the operation ends.
    bool stop_requested() const;
    // True while an operation is open.
    bool stoppable() const;
    // The generation of the open operation, and whether it is stopped; 0 while none is.
    struct Now {
        std::uint64_t generation = 0;
        bool stopped = false;
    };
    Now now() const;

    // Back to the state of a new process (tests).
    void reset();

private:
    mutable std::mutex mutex_;
    std::uint64_t posted_ = 0;     // the last ticket handed out
    std::uint64_t marked_ = 0;     // tickets up to this one are marked by a press
    std::uint64_t generation_ = 0; // operations opened so far (the open one's, while open)
    int depth_ = 0;                // nested opens of the open operation
    bool stop_ = false;            // the open operation is stopped; never true at depth 0
};
