#pragma once

#include <mutex>

#include "engine/Thread.h"
#include "fileio/UniqueFd.h"

/// A thread whose body runs one pass of its work again and again until told to stop.
/// Stop() and Stopped() are safe to call from any thread; the owner joins with WaitFor().
/// A pass that waits for something puts WakeHandle() among what it polls: Stop() makes
/// it readable, so the wait ends at once.
class TStoppableThread {
public:
    /// Raises ESocketError when the wake-up cannot be made (no descriptor left).
    TStoppableThread();
    TStoppableThread(const TStoppableThread&) = delete;
    TStoppableThread& operator=(const TStoppableThread&) = delete;
    virtual ~TStoppableThread();

    void Start(std::size_t stackSize);
    void Stop();
    bool Stopped() const;
    /// Waits until the body has ended.
    void WaitFor();

protected:
    /// One pass of the thread's work; must return soon after Stop().
    virtual void Run() = 0;
    /// Readable from the first Stop() on (an eventfd).
    int WakeHandle() const { return wake_.Get(); }

private:
    void Body();

    mutable std::mutex flagsLock_;
    bool stopped_ = true;
    TUniqueFd wake_;
    TThread thread_;
};
