#include "engine/UDPListenerThread.h"

#include <string_view>

#include "engine/MainThreadBridge.h"
#include "engine/NetException.h"
#include "engine/UDPServer.h"
#include "engine/UnexpectedFailure.h"

TUDPListenerThread::TUDPListenerThread(TUDPServer& server, int bufferSize)
    : server_(server), buffer_(static_cast<std::size_t>(bufferSize > 0 ? bufferSize : 0))
{
    waits_.push_back({WakeHandle(), POLLIN, 0});
    for (TSocketHandle& binding : server_.Bindings()) {
        if (binding.HandleAllocated()) {
            waits_.push_back({binding.Handle(), POLLIN, 0});
            owners_.push_back(&binding);
        }
    }
}

TUDPListenerThread::~TUDPListenerThread()
{
    Terminate();
}

void TUDPListenerThread::Terminate()
{
    Stop();
    std::shared_ptr<TSyncCall> pending;
    {
        std::lock_guard guard(pendingLock_);
        pending = pending_;
    }
    if (pending)
        pending->Cancel();
    WaitFor();
}

void TUDPListenerThread::Run()
{
    // Without a time limit: Stop() makes the wake-up readable.
    if (::poll(waits_.data(), waits_.size(), -1) <= 0)
        return;  // interrupted: the next pass waits again
    for (std::size_t i = 1; i < waits_.size(); ++i) {
        if (Stopped())
            return;
        if (waits_[i].revents == 0)
            continue;
        try {
            ReadDatagram(*owners_[i - 1]);
        } catch (const ENetException&) {
            // Failures on the server port (a datagram too long, a refusal that could not
            // be sent) are dropped: the sender simply gets no answer.
        } catch (...) {
            ReportUnexpectedFailure("a request");
        }
    }
}

void TUDPListenerThread::ReadDatagram(TSocketHandle& binding)
{
    // Without waiting: a datagram that woke the poll may be gone by now (a bad checksum
    // is found only on reading), and a blocking read would hold every binding up.
    if (const auto received = binding.Receive(buffer_.data(), buffer_.size(), 0))
        HandOver(*received, binding);
}

void TUDPListenerThread::HandOver(const TReceived& received, TSocketHandle& binding)
{
    const std::string_view data(buffer_.data(), received.Size);
    if (server_.ThreadedEvent())
        server_.HandleDatagram(data, binding, received.From);
    else
        RunOnMainThread([this, data, &binding, &received] { server_.HandleDatagram(data, binding, received.From); });
}

void TUDPListenerThread::RunOnMainThread(const std::function<void()>& work)
{
    auto call = std::make_shared<TSyncCall>();
    {
        std::lock_guard guard(pendingLock_);
        if (Stopped())
            return;
        pending_ = call;
    }
    TSyncCall::Run(server_.MainThreadBridge(), work, call);
    std::lock_guard guard(pendingLock_);
    pending_.reset();
}
