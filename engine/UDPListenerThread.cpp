#include "engine/UDPListenerThread.h"

#include <cerrno>
#include <string_view>

#include <poll.h>

#include "engine/MainThreadBridge.h"
#include "engine/NetException.h"
#include "engine/SocketError.h"
#include "engine/UDPServer.h"
#include "engine/UnexpectedFailure.h"

TUDPListenerThread::TUDPListenerThread(TUDPServer& server, int bufferSize)
    : server_(server), buffer_(static_cast<std::size_t>(bufferSize > 0 ? bufferSize : 0))
{
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
    for (TSocketHandle& binding : server_.Bindings())
        binding.Shutdown();
    WaitFor();
}

void TUDPListenerThread::Run()
{
    std::vector<pollfd> waits;
    std::vector<TSocketHandle*> owners;
    for (TSocketHandle& binding : server_.Bindings()) {
        if (binding.HandleAllocated()) {
            waits.push_back({binding.Handle(), POLLIN, 0});
            owners.push_back(&binding);
        }
    }
    const int ready = ::poll(waits.data(), waits.size(), kSelectWaitMs);
    if (ready <= 0)
        return;
    for (std::size_t i = 0; i < waits.size(); ++i) {
        if (Stopped())
            return;
        if (waits[i].revents == 0)
            continue;
        try {
            ReadDatagram(*owners[i]);
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
    if (const auto length = binding.ReceiveWaiting(buffer_.data(), buffer_.size()))
        HandOver(*length, binding);
}

void TUDPListenerThread::HandOver(std::size_t length, TSocketHandle& binding)
{
    const std::string_view data(buffer_.data(), length);
    if (server_.ThreadedEvent())
        server_.HandleDatagram(data, binding);
    else
        RunOnMainThread([this, data, &binding] { server_.HandleDatagram(data, binding); });
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
