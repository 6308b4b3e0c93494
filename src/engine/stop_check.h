// A stop asked for from outside, seen by the engine's long loops: the reading of a page, its
// style sheets and its tables. A page of a few kilobytes can still make a loop of millions of
// steps, and a stop signal or a cancel button must not wait for its end.
#pragma once

#include <functional>
#include <stdexcept>

namespace quillet::engine {

// Says whether to stop. Set by the program on top (the command line's stop signals, the
// window's cancel button); none by default. Called from any thread that reads a page, so it
// must be safe to call from several at once.
using StopCheck = std::function<bool()>;
void setStopCheck(StopCheck check);

// What a loop throws when the check says stop; what it was reading is dropped.
class ReadingStopped : public std::runtime_error {
public:
    ReadingStopped() : std::runtime_error("reading stopped on request") {}
};

// Counts the steps of one reading and asks the check at its first step and every 1,024th after,
// so that a stop is seen within milliseconds at a cost the steps do not notice.
class StopPoll {
public:
    // Throws ReadingStopped when the check says stop.
    void step() {
        if ((m_steps++ & (kEvery - 1)) == 0) throwIfStopRequested();
    }

    // Asks at once: before a step that may take long by itself, such as reading a picture file.
    static void now() { throwIfStopRequested(); }

private:
    static constexpr unsigned kEvery = 1024;
    static void throwIfStopRequested();
    unsigned m_steps = 0;
};

}  // namespace quillet::engine
