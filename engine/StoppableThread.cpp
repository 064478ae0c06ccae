#include "engine/StoppableThread.h"

#include "engine/UnexpectedFailure.h"

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
    std::lock_guard guard(flagsLock_);
    stopped_ = true;
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
