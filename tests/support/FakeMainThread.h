#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/MainThreadBridge.h"

/// The main thread as the engine sees it, for tests. Held (the default), posted tasks
/// wait until the test calls RunHeld(), as a main thread busy elsewhere would. Pumping,
/// a thread of its own runs each task `delay` after it was posted; its id is Id().
class TFakeMainThread final : public IMainThreadBridge {
public:
    TFakeMainThread() = default;
    explicit TFakeMainThread(std::chrono::milliseconds delay) : delay_(delay), pump_([this] { Pump(); }) {}
    TFakeMainThread(const TFakeMainThread&) = delete;
    TFakeMainThread& operator=(const TFakeMainThread&) = delete;
    ~TFakeMainThread() override
    {
        {
            std::lock_guard guard(tasksLock_);
            ending_ = true;
        }
        wake_.notify_all();
        if (pump_.joinable())
            pump_.join();
    }

    void Post(std::function<void()> task) override
    {
        {
            std::lock_guard guard(tasksLock_);
            tasks_.push_back({std::chrono::steady_clock::now() + delay_.value_or(std::chrono::milliseconds(0)),
                              std::move(task)});
        }
        wake_.notify_all();
    }

    std::size_t Held()
    {
        std::lock_guard guard(tasksLock_);
        return tasks_.size();
    }

    /// Runs what was posted so far on the calling thread.
    void RunHeld()
    {
        std::deque<TTask> tasks;
        {
            std::lock_guard guard(tasksLock_);
            tasks.swap(tasks_);
        }
        for (const TTask& task : tasks)
            task.Work();
    }

    std::thread::id Id() const { return pump_.get_id(); }

private:
    struct TTask {
        std::chrono::steady_clock::time_point Due;
        std::function<void()> Work;
    };

    void Pump()
    {
        std::unique_lock guard(tasksLock_);
        while (!ending_) {
            if (tasks_.empty()) {
                wake_.wait(guard);
                continue;
            }
            if (wake_.wait_until(guard, tasks_.front().Due, [this] { return ending_; }))
                return;
            TTask task = std::move(tasks_.front());
            tasks_.pop_front();
            guard.unlock();
            task.Work();
            guard.lock();
        }
    }

    std::optional<std::chrono::milliseconds> delay_;
    std::mutex tasksLock_;  // guards tasks_ and ending_
    std::condition_variable wake_;
    std::deque<TTask> tasks_;
    bool ending_ = false;
    std::thread pump_;
};
