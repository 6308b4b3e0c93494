// A worker thread with the hand-over rules of the conversion job: the worker runs calls on the
// main thread through Synchronize and blocks until they have run; the main thread serves those
// calls from its event loop (checkSynchronize) or while it waits for the worker (WaitFor).
// It does not provide cancellation: callers keep their own flag.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace quillet {

class Thread {
public:
    // Created suspended; the thread that creates the object is taken as the main thread.
    Thread();
    // A derived class must call WaitFor in its own destructor while its members still live.
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Lets the suspended thread run Execute. Calling it twice is a programming error.
    void Start();

    // Main thread: returns when Execute has ended, running the worker's synchronized calls while
    // it waits, so a worker blocked in Synchronize can go on and end. Returns at once when the
    // thread never started or has already ended. Must not be called from inside a synchronized
    // call: the worker waits for that call to finish and could never end.
    void WaitFor();

    // Main thread: runs the synchronized call that the worker is waiting on, if any. An event
    // loop calls this when woken by the hook below.
    void checkSynchronize();

    // Called from the worker each time it posts a synchronized call, so that an event loop can
    // schedule checkSynchronize on the main thread. Set before Start.
    void setWakeMainThread(std::function<void()> wake) { m_wake = std::move(wake); }

    // Runs `call` on the main thread and blocks until it has run. An exception thrown by `call`
    // is raised again here, on the calling thread. Called on the main thread, it runs directly.
    void Synchronize(const std::function<void()>& call);

    // Main thread: true while it runs one of the worker's calls; WaitFor must wait until the
    // call has returned.
    bool servingCall() const;

    bool Finished() const;
    // The exception that escaped Execute, if any.
    std::exception_ptr FatalException() const;

protected:
    virtual void Execute() = 0;

private:
    void run();

    std::thread::id m_mainThread;
    std::thread m_thread;
    std::function<void()> m_wake;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::function<void()>* m_pending = nullptr;  // call the worker waits on
    bool m_pendingRunning = false;                     // main thread is running it
    bool m_pendingDone = false;                        // main thread has run it
    std::exception_ptr m_pendingError;                 // what it threw
    bool m_started = false;
    bool m_finished = false;
    std::exception_ptr m_fatal;
};

}  // namespace quillet
