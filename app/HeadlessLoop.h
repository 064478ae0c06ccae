#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "engine/MainThreadBridge.h"

/// The headless mode's main thread: runs posted work (the engine's completion reports),
/// the auto-refresh timer, and waits for a stop request. Post() and RequestStop() are
/// safe from any thread; the rest runs on the thread that calls Run().
class THeadlessLoop : public IMainThreadBridge {
public:
    using TClock = std::chrono::steady_clock;

    void Post(std::function<void()> task) override;
    void RequestStop();
    bool StopRequested() const;

    /// Calls `onTick` every `period` (none: no timer).
    void SetTimer(std::optional<std::chrono::milliseconds> period, std::function<void()> onTick);

    /// Runs posted work until `until` holds (checked after each wake) or `deadline` passes.
    void Run(const std::function<bool()>& until, std::optional<TClock::time_point> deadline = std::nullopt);

private:
    void RunDue(std::unique_lock<std::mutex>& guard);

    mutable std::mutex queueLock_;  // guards everything below
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopRequested_ = false;
    unsigned wakeups_ = 0;  // grows with each RequestStop, to end a wait
    std::optional<std::chrono::milliseconds> period_;
    TClock::time_point nextTick_{};
    std::function<void()> onTick_;
};
