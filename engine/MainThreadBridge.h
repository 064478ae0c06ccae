#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

/// Runs work on the program's main thread. The window posts to its event loop, the
/// headless mode to its own queue, tests to a pump they drive. Post() is called from
/// engine threads and must not block.
class IMainThreadBridge {
public:
    virtual ~IMainThreadBridge() = default;
    virtual void Post(std::function<void()> task) = 0;
};

/// One piece of work run on the main thread while the calling thread waits for it.
/// The wait ends when the work has run or when the call is cancelled (the engine is
/// closing and the main thread will not run it); a cancelled call never runs its work,
/// even if the posted task reaches the main thread later.
class TSyncCall {
public:
    /// Posts `work` through `bridge` (or runs it at once without one) and waits.
    /// Returns whether the work ran.
    static bool Run(IMainThreadBridge* bridge, std::function<void()> work,
                    const std::shared_ptr<TSyncCall>& call);

    /// Ends the wait without running the work, unless the work has already begun, in
    /// which case the wait ends when it is done. Never blocks.
    void Cancel();

private:
    enum class TState { Pending, Running, Done, Cancelled };

    void RunIfPending(const std::function<void()>& work);
    bool Wait();

    std::mutex stateLock_;
    std::condition_variable stateChanged_;
    TState state_ = TState::Pending;
};
