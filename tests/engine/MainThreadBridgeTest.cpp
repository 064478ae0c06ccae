// A call that waits for work on the main thread: cancelled before the work runs, it
// never runs it; cancelled while the work runs, the caller still waits for the end.

#include "engine/MainThreadBridge.h"

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/FakeMainThread.h"
#include "tests/support/WaitFor.h"

namespace {

class SyncCallTest : public testing::Test {
protected:
    TFakeMainThread bridge_;
    std::shared_ptr<TSyncCall> call_ = std::make_shared<TSyncCall>();
    std::atomic<bool> workRan_{false};

    /// Starts the call on its own thread, as an engine thread makes it.
    std::future<bool> StartCall(std::function<void()> work)
    {
        return std::async(std::launch::async, [this, work = std::move(work)] {
            return TSyncCall::Run(&bridge_, work, call_);
        });
    }
};

TEST_F(SyncCallTest, WorkRunsOnTheMainThreadAndTheCallerLearnsItRan)
{
    auto result = StartCall([this] { workRan_ = true; });
    ASSERT_TRUE(WaitFor([&] { return bridge_.Held() == 1; }));
    EXPECT_EQ(result.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    bridge_.RunHeld();
    EXPECT_TRUE(result.get());
    EXPECT_TRUE(workRan_);
}

TEST_F(SyncCallTest, CancelledCallNeverRunsItsWorkEvenWhenTheTaskArrivesLater)
{
    auto result = StartCall([this] { workRan_ = true; });
    ASSERT_TRUE(WaitFor([&] { return bridge_.Held() == 1; }));
    call_->Cancel();
    EXPECT_FALSE(result.get());
    bridge_.RunHeld();
    EXPECT_FALSE(workRan_);
}

TEST_F(SyncCallTest, CancellingWhileTheWorkRunsWaitsForItsEnd)
{
    std::atomic<bool> started{false};
    std::atomic<bool> release{false};
    auto result = StartCall([&] {
        started = true;
        WaitFor([&] { return release.load(); });
        workRan_ = true;
    });
    ASSERT_TRUE(WaitFor([&] { return bridge_.Held() == 1; }));
    const std::jthread mainThread([this] { bridge_.RunHeld(); });
    ASSERT_TRUE(WaitFor([&] { return started.load(); }));

    call_->Cancel();
    EXPECT_EQ(result.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    release = true;
    EXPECT_TRUE(result.get());
    EXPECT_TRUE(workRan_);
}

TEST_F(SyncCallTest, WorkThatThrowsStillEndsTheWait)
{
    auto result = StartCall([] { throw std::runtime_error("refused"); });
    ASSERT_TRUE(WaitFor([&] { return bridge_.Held() == 1; }));
    bridge_.RunHeld();
    EXPECT_TRUE(result.get());
}

TEST(SyncCallWithoutBridgeTest, WorkRunsAtOnceOnTheCallingThread)
{
    const auto call = std::make_shared<TSyncCall>();
    const auto caller = std::this_thread::get_id();
    std::thread::id ranOn;
    EXPECT_TRUE(TSyncCall::Run(nullptr, [&] { ranOn = std::this_thread::get_id(); }, call));
    EXPECT_EQ(ranOn, caller);
}

}  // namespace
