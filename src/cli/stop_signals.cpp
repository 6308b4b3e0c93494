#include "cli/stop_signals.h"

#include "job/chm_to_doc_pdf.h"

#include <atomic>

namespace quillet::cli {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void onStopSignal(int) {
    g_requested = true;
}

}  // namespace

StopSignals::StopSignals() {
    static_assert(std::size(kStopSignals) == kCount);
    g_requested = false;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t n = 0; n < kCount; ++n) {
        if (::sigaction(kStopSignals[n], nullptr, &m_previous[n]) != 0) continue;
        if (m_previous[n].sa_handler == SIG_IGN) continue;
        m_installed[n] = ::sigaction(kStopSignals[n], &action, nullptr) == 0;
    }
}

StopSignals::~StopSignals() {
    for (std::size_t n = 0; n < kCount; ++n)
        if (m_installed[n]) ::sigaction(kStopSignals[n], &m_previous[n], nullptr);
}

bool StopSignals::requested() {
    return g_requested;
}

void StopSignals::throwIfRequested() {
    if (g_requested) throw EUserCancel();
}

}  // namespace quillet::cli
