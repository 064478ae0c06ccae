#pragma once

#include <cstddef>
#include <functional>
#include <semaphore>

#include <pthread.h>

/// Owns one system thread started with a chosen stack size. The owner joins it; the
/// destructor joins as a backstop and must never run on the thread itself.
class TThread {
public:
    TThread() = default;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    ~TThread();

    /// Starts `body` on a new thread; raises std::system_error when none can be made.
    void Start(std::function<void()> body, std::size_t stackSize);
    void Join();

private:
    static void* Trampoline(void* self);

    pthread_t handle_{};
    bool started_ = false;
    std::function<void()> body_;
    // The new thread waits here until Start() has recorded it, so a body that ends at
    // once cannot have its owner destroyed before Start() is done with it.
    std::binary_semaphore startGate_{0};
};
