#include "engine/Thread.h"

#include <system_error>

#include "engine/UnexpectedFailure.h"

TThread::~TThread()
{
    Join();
}

void TThread::Start(std::function<void()> body, std::size_t stackSize)
{
    body_ = std::move(body);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackSize);
    const int error = pthread_create(&handle_, &attributes, &TThread::Trampoline, this);
    pthread_attr_destroy(&attributes);
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "cannot start a thread");
    started_ = true;
    startGate_.release();
}

void TThread::Join()
{
    if (started_) {
        pthread_join(handle_, nullptr);
        started_ = false;
    }
}

void* TThread::Trampoline(void* self)
{
    // The body owns its error handling; nothing may escape a thread.
    auto* thread = static_cast<TThread*>(self);
    thread->startGate_.acquire();
    try {
        thread->body_();
    } catch (...) {
        ReportUnexpectedFailure("a thread");
    }
    return nullptr;
}
