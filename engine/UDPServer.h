#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "engine/SocketHandle.h"
#include "engine/UDPBase.h"

class IMainThreadBridge;
class TUDPListenerThread;
class TUDPServer;

using TUDPReadEvent =
    std::function<void(TUDPServer& sender, std::string_view aData, TSocketHandle& aBinding)>;

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

    /// The binding that received the datagram being handled (the first one otherwise).
    TSocketHandle* CurrentBinding() const { return currentBinding_; }

    /// Hands one received datagram to the server; called by the listener.
    void HandleDatagram(std::string_view data, TSocketHandle& binding);

protected:
    /// Handles one datagram; fires OnUDPRead here, servers built on this one override it.
    virtual void DispatchDatagram(std::string_view data, TSocketHandle& binding);
    /// From within DispatchDatagram: runs `work` on the main thread and waits for it.
    /// Dropped unrun when the listener is being stopped.
    void RunOnMainThread(const std::function<void()>& work);

    TSocketHandle& Binding() override;
    void Open() override;
    void Close() override;
    void ApplyBroadcast() override;

private:
    void CloseBindings();

    TSocketHandles bindings_;
    bool threadedEvent_ = false;
    IMainThreadBridge* bridge_ = nullptr;
    TSocketHandle* currentBinding_ = nullptr;
    std::unique_ptr<TUDPListenerThread> listener_;
};
