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

void TUDPServer::HandleDatagram(std::string_view data, TSocketHandle& binding)
{
    currentBinding_ = &binding;
    DispatchDatagram(data, binding);
}

void TUDPServer::DispatchDatagram(std::string_view data, TSocketHandle& binding)
{
    if (OnUDPRead)
        OnUDPRead(*this, data, binding);
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
    if (currentBinding_ != nullptr)
        return *currentBinding_;
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
        bool anyBound = false;
        for (TSocketHandle& binding : bindings_) {
            binding.CloseSocket();
            anyBound = binding.BindUnlessNoIPv6() || anyBound;
        }
        if (!anyBound)
            throw ESocketError(WinsockErrorNumber(EAFNOSUPPORT));
    } catch (...) {
        // Ports bound for earlier bindings are released at once, so a corrected setting
        // can take them at the next start.
        CloseBindings();
        throw;
    }
    currentBinding_ = &bindings_[0];
    listener_ = std::make_unique<TUDPListenerThread>(*this, BufferSize());
    listener_->Start(kListenerStackSize);
    MarkActive(true);
    ApplyBroadcast();
}

void TUDPServer::Close()
{
    if (listener_) {
        listener_->Terminate();
        listener_.reset();
    }
    CloseBindings();
    currentBinding_ = nullptr;
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
