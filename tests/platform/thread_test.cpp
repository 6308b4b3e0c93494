#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace quillet {
namespace {

// A worker whose body is given by the test.
class LambdaThread final : public Thread {
public:
    explicit LambdaThread(std::function<void(LambdaThread&)> body) : m_body(std::move(body)) {}
    ~LambdaThread() override { WaitFor(); }

protected:
    void Execute() override { m_body(*this); }

private:
    std::function<void(LambdaThread&)> m_body;
};

TEST(Thread, SynchronizedCallsRunOnTheMainThreadWhileItWaits) {
    const auto mainId = std::this_thread::get_id();
    int calls = 0;
    bool allOnMain = true;
    LambdaThread worker([&](LambdaThread& self) {
        for (int i = 0; i < 100; ++i)
            self.Synchronize([&] {
                ++calls;  // no lock: the worker is blocked while this runs
                allOnMain = allOnMain && std::this_thread::get_id() == mainId;
            });
    });
    worker.Start();
    worker.WaitFor();
    EXPECT_EQ(calls, 100);
    EXPECT_TRUE(allOnMain);
    EXPECT_TRUE(worker.Finished());
    EXPECT_FALSE(worker.FatalException());
}

TEST(Thread, ExceptionsTravelBackToTheirThread) {
    bool caughtOnWorker = false;
    LambdaThread worker([&](LambdaThread& self) {
        try {
            self.Synchronize([] { throw std::runtime_error("from the main thread"); });
        } catch (const std::runtime_error&) {
            caughtOnWorker = true;
        }
        throw std::logic_error("escaped Execute");
    });
    worker.Start();
    worker.WaitFor();
    EXPECT_TRUE(caughtOnWorker);
    ASSERT_TRUE(worker.FatalException());
    EXPECT_THROW(std::rethrow_exception(worker.FatalException()), std::logic_error);
}

TEST(Thread, AnEventLoopCanServeCallsThroughTheWakeHook) {
    std::atomic<int> wakes{0};
    LambdaThread worker([](LambdaThread& self) { self.Synchronize([] {}); });
    worker.setWakeMainThread([&] { ++wakes; });
    worker.Start();
    while (!worker.Finished()) worker.checkSynchronize();  // what an event loop would do
    worker.WaitFor();
    EXPECT_EQ(wakes, 1);
}

TEST(Thread, WaitForReturnsAtOnceForAThreadThatNeverStartedOrHasEnded) {
    LambdaThread idle([](LambdaThread&) {});
    idle.WaitFor();
    LambdaThread done([](LambdaThread&) {});
    done.Start();
    done.WaitFor();
    done.WaitFor();
    EXPECT_TRUE(done.Finished());
}

}  // namespace
}  // namespace quillet
