#include "app/HeadlessLoop.h"

void THeadlessLoop::Post(std::function<void()> task)
{
    {
        std::lock_guard guard(queueLock_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void THeadlessLoop::RequestStop()
{
    {
        std::lock_guard guard(queueLock_);
        stopRequested_ = true;
        ++wakeups_;
    }
    wake_.notify_all();
}

bool THeadlessLoop::StopRequested() const
{
    std::lock_guard guard(queueLock_);
    return stopRequested_;
}

void THeadlessLoop::SetTimer(std::optional<std::chrono::milliseconds> period, std::function<void()> onTick)
{
    std::lock_guard guard(queueLock_);
    period_ = period;
    onTick_ = std::move(onTick);
    if (period_)
        nextTick_ = TClock::now() + *period_;
}

void THeadlessLoop::Run(const std::function<bool()>& until, std::optional<TClock::time_point> deadline)
{
    std::unique_lock guard(queueLock_);
    for (;;) {
        RunDue(guard);
        guard.unlock();
        const bool done = until();
        guard.lock();
        if (done || (deadline && TClock::now() >= *deadline))
            return;
        // Wake at least every 100 ms so `until` is seen even when nothing is posted.
        auto wakeAt = TClock::now() + std::chrono::milliseconds(100);
        if (period_ && nextTick_ < wakeAt)
            wakeAt = nextTick_;
        if (deadline && *deadline < wakeAt)
            wakeAt = *deadline;
        const unsigned seen = wakeups_;
        wake_.wait_until(guard, wakeAt, [this, seen] { return !tasks_.empty() || wakeups_ != seen; });
    }
}

void THeadlessLoop::RunDue(std::unique_lock<std::mutex>& guard)
{
    while (!tasks_.empty()) {
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        guard.unlock();
        task();
        guard.lock();
    }
    if (period_ && TClock::now() >= nextTick_) {
        nextTick_ = TClock::now() + *period_;
        auto tick = onTick_;
        guard.unlock();
        if (tick)
            tick();
        guard.lock();
    }
}
