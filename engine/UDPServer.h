#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "engine/SocketHandle.h"
#include "engine/UDPBase.h"

class IMainThreadBridge;
class TUDPListenerThread;
class TUDPServer;

/// Told of every datagram a binding receives, with its sender (`aPeer`).
using TUDPReadEvent = std::function<void(TUDPServer& sender, std::string_view aData, TSocketHandle& aBinding,
                                         const TSocketAddress& aPeer)>;

/// A UDP server: a list of local bindings served by one listener thread. Properties and
/// events are set on the owner's thread while the server is inactive. With ThreadedEvent
/// the datagrams are handled on the listener thread, otherwise on the main thread through
/// the bridge while the listener waits.
class TUDPServer : public TUDPBase {
public:
    TUDPServer();
    ~TUDPServer() override;

    TSocketHandles& Bindings() { return bindings_; }
    int DefaultPort() const { return bindings_.DefaultPort(); }
    void SetDefaultPort(int port) { bindings_.SetDefaultPort(port); }
    bool ThreadedEvent() const { return threadedEvent_; }
    void SetThreadedEvent(bool threaded) { threadedEvent_ = threaded; }
    TUDPReadEvent OnUDPRead;

    /// Where work for the main thread goes; none runs it on the calling thread.
    void SetMainThreadBridge(IMainThreadBridge* bridge) { bridge_ = bridge; }
    IMainThreadBridge* MainThreadBridge() const { return bridge_; }

    /// Hands one datagram that `binding` received from `peer` to the server; called by
    /// the listener.
    void HandleDatagram(std::string_view data, TSocketHandle& binding, const TSocketAddress& peer)
    {
        DispatchDatagram(data, binding, peer);
    }

protected:
    /// Handles one datagram; fires OnUDPRead here, servers built on this one override it.
    virtual void DispatchDatagram(std::string_view data, TSocketHandle& binding, const TSocketAddress& peer);
    /// From within DispatchDatagram: runs `work` on the main thread and waits for it.
    /// Dropped unrun when the listener is being stopped.
    void RunOnMainThread(const std::function<void()>& work);

    /// The first binding: sends and receives of the server itself go through it.
    TSocketHandle& Binding() override;
    void Open() override;
    void Close() override;
    void ApplyBroadcast() override;

private:
    void BindAll();
    void CloseBindings();

    TSocketHandles bindings_;
    bool threadedEvent_ = false;
    IMainThreadBridge* bridge_ = nullptr;
    std::unique_ptr<TUDPListenerThread> listener_;
};
