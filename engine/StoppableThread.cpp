#include "engine/StoppableThread.h"

#include <cstdint>

#include <sys/eventfd.h>
#include <unistd.h>

#include "engine/SocketError.h"
#include "engine/UnexpectedFailure.h"

TStoppableThread::TStoppableThread() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!wake_.Valid())
        RaiseLastSocketError();
}

TStoppableThread::~TStoppableThread()
{
    Stop();
    WaitFor();
}

void TStoppableThread::Start(std::size_t stackSize)
{
    {
        std::lock_guard guard(flagsLock_);
        stopped_ = false;
    }
    thread_.Start([this] { Body(); }, stackSize);
}

void TStoppableThread::Stop()
{
    {
        std::lock_guard guard(flagsLock_);
        stopped_ = true;
    }
    // The counter only grows, so the wake-up stays readable however often it is given.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_.Get(), &one, sizeof one);
}

bool TStoppableThread::Stopped() const
{
    std::lock_guard guard(flagsLock_);
    return stopped_;
}

void TStoppableThread::WaitFor()
{
    thread_.Join();
}

void TStoppableThread::Body()
{
    while (!Stopped()) {
        try {
            Run();
        } catch (...) {
            // A failed pass must not end the thread; the next pass starts afresh.
            ReportUnexpectedFailure("the listener");
        }
    }
}
