#include "engine/UDPServer.h"

#include <cerrno>

#include "engine/NetException.h"
#include "engine/SocketError.h"
#include "engine/UDPListenerThread.h"

namespace {
// The listener runs the application's request handlers, so it gets a roomy stack.
constexpr std::size_t kListenerStackSize = 1024 * 1024;
}  // namespace

TUDPServer::TUDPServer() = default;

TUDPServer::~TUDPServer()
{
    Close();
}

void TUDPServer::DispatchDatagram(std::string_view data, TSocketHandle& binding, const TSocketAddress& peer)
{
    if (OnUDPRead)
        OnUDPRead(*this, data, binding, peer);
}

void TUDPServer::RunOnMainThread(const std::function<void()>& work)
{
    // Without threaded events the datagram is handled on the main thread already.
    if (!threadedEvent_ || !listener_)
        work();
    else
        listener_->RunOnMainThread(work);
}

TSocketHandle& TUDPServer::Binding()
{
    if (bindings_.Count() == 0)
        bindings_.Add();
    bindings_[0].AllocateSocket();
    return bindings_[0];
}

void TUDPServer::Open()
{
    if (bindings_.Count() == 0)
        bindings_.Add();
    try {
        BindAll();
        listener_ = std::make_unique<TUDPListenerThread>(*this, BufferSize());
        listener_->Start(kListenerStackSize);
    } catch (...) {
        // Ports bound for earlier bindings are released at once, so a corrected setting
        // can take them at the next start.
        listener_.reset();
        CloseBindings();
        throw;
    }
    MarkActive(true);
    ApplyBroadcast();
}

void TUDPServer::BindAll()
{
    bool anyBound = false;
    for (TSocketHandle& binding : bindings_) {
        binding.CloseSocket();
        anyBound = binding.BindUnlessNoIPv6() || anyBound;
    }
    if (!anyBound)
        throw ESocketError(WinsockErrorNumber(EAFNOSUPPORT));
}

void TUDPServer::Close()
{
    if (listener_) {
        listener_->Terminate();
        listener_.reset();
    }
    CloseBindings();
    MarkActive(false);
}

void TUDPServer::ApplyBroadcast()
{
    for (TSocketHandle& binding : bindings_)
        binding.SetBroadcast(BroadcastEnabled());
}

void TUDPServer::CloseBindings()
{
    for (TSocketHandle& binding : bindings_)
        binding.CloseSocket();
}
