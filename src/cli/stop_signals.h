// Stopping a command from outside. Ctrl-C, a closed terminal (SIGHUP) and a polite kill (SIGTERM)
// ask the running command to stop at its next check instead of ending the process at once, so
// that it removes its working folder and temporary files first. It cannot help against SIGKILL.
#pragma once

#include <signal.h>

#include <cstddef>

namespace quillet::cli {

// While one lives, SIGINT, SIGTERM and SIGHUP only note that a stop was asked for; the handlers
// before it come back when it ends. A signal ignored when it was made (under nohup, or in the
// background of a script) stays ignored. Made on the main thread, one at a time. Its handler does
// not restart an interrupted read or write, so a question waiting on the terminal ends too.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Whether a stop signal has come since the current one was made. Any thread.
    static bool requested();

    // Throws EUserCancel when one has: the progress event of a command that runs without a
    // worker.
    static void throwIfRequested();

private:
    static constexpr std::size_t kCount = 3;
    struct sigaction m_previous[kCount] = {};
    bool m_installed[kCount] = {};
};

}  // namespace quillet::cli
