#include "platform/thread.h"

#include <cassert>
#include <utility>

namespace quillet {

Thread::Thread() : m_mainThread(std::this_thread::get_id()) {}

Thread::~Thread() {
    WaitFor();
}

void Thread::Start() {
    assert(!m_started && "Thread::Start called twice");
    m_started = true;
    m_thread = std::thread([this] { run(); });
}

void Thread::run() {
    std::exception_ptr fatal;
    try {
        Execute();
    } catch (...) {
        fatal = std::current_exception();
    }
    std::lock_guard lock(m_mutex);
    m_fatal = fatal;
    m_finished = true;
    m_changed.notify_all();
}

void Thread::Synchronize(const std::function<void()>& call) {
    if (std::this_thread::get_id() == m_mainThread) {
        call();
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_pending = &call;
        m_pendingDone = false;
        m_pendingError = nullptr;
        m_changed.notify_all();
    }
    if (m_wake) m_wake();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_pendingDone; });
    m_pending = nullptr;
    m_pendingDone = false;
    if (std::exception_ptr error = std::exchange(m_pendingError, nullptr))
        std::rethrow_exception(error);
}

void Thread::checkSynchronize() {
    const std::function<void()>* call = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_pending == nullptr || m_pendingDone || m_pendingRunning) return;
        call = m_pending;
        m_pendingRunning = true;
    }
    std::exception_ptr error;
    try {
        (*call)();
    } catch (...) {
        error = std::current_exception();
    }
    std::lock_guard lock(m_mutex);
    m_pendingError = error;
    m_pendingRunning = false;
    m_pendingDone = true;
    m_changed.notify_all();
}

void Thread::WaitFor() {
    if (!m_started) return;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            assert(!m_pendingRunning && "WaitFor called from inside a synchronized call");
            m_changed.wait(
                lock, [this] { return m_finished || (m_pending != nullptr && !m_pendingDone); });
            if (m_finished) break;
        }
        checkSynchronize();
    }
    if (m_thread.joinable()) m_thread.join();
}

bool Thread::servingCall() const {
    std::lock_guard lock(m_mutex);
    return m_pendingRunning;
}

bool Thread::Finished() const {
    std::lock_guard lock(m_mutex);
    return m_finished;
}

std::exception_ptr Thread::FatalException() const {
    std::lock_guard lock(m_mutex);
    return m_fatal;
}

}  // namespace quillet
