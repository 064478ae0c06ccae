#pragma once

#include <mutex>

#include "engine/Thread.h"

/// A thread whose body runs one pass of its work again and again until told to stop.
/// Stop() and Stopped() are safe to call from any thread; the owner joins with WaitFor().
class TStoppableThread {
public:
    TStoppableThread() = default;
    TStoppableThread(const TStoppableThread&) = delete;
    TStoppableThread& operator=(const TStoppableThread&) = delete;
    virtual ~TStoppableThread();

    void Start(std::size_t stackSize);
    void Stop();
    bool Stopped() const;
    /// Waits until the body has ended.
    void WaitFor();

protected:
    /// One pass of the thread's work; must return soon enough for a stop to be seen.
    virtual void Run() = 0;

private:
    void Body();

    mutable std::mutex flagsLock_;
    bool stopped_ = true;
    TThread thread_;
};
