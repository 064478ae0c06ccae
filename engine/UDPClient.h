#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/UDPBase.h"

/// A UDP endpoint talking to one peer (`Host`, `Port`). Its socket opens at the first
/// send or receive, on a port the system picks, and closes with the client.
/// Used by one thread at a time, except Shutdown().
class TUDPClient : public TUDPBase {
public:
    ~TUDPClient() override;

    const std::string& Host() const { return host_; }
    void SetHost(std::string host);
    int Port() const { return port_; }
    void SetPort(int port);

    /// Sends to Host and Port; the address is resolved once and kept.
    void Send(std::string_view bytes);
    using TUDPBase::Send;
    /// Sends each of `datagrams` to Host and Port, several per system call.
    void SendEach(std::span<const std::string_view> datagrams);

    /// Waits at most `waitMs` (> 0) for one datagram; see TSocketHandle::ReceiveFromWithin.
    std::optional<std::size_t> ReceiveWithin(char* buffer, std::size_t size, int waitMs)
    {
        return socket_.ReceiveFromWithin(buffer, size, waitMs);
    }
    /// Whether the sender of the last datagram received is the peer itself.
    bool LastSenderIsPeer();
    /// Ties the socket to Host and Port: the system then drops datagrams from anyone
    /// else before they wake the receiver, and sends skip the address and route lookup.
    void ConnectToPeer() { socket_.Connect(PeerAddress()); }
    /// Takes `socket` as the client's own, already bound socket; an unopened one leaves
    /// the client to open its socket at first use. Before the client is used.
    void AdoptSocket(TSocketHandle socket) { socket_ = std::move(socket); }
    /// Sends through `calls` rather than the system's own (tests play a refusing system).
    void UseSendCalls(const TSendCalls& calls) { socket_.SetSendCalls(calls); }
    /// Wakes a thread waiting in a receive.
    void Shutdown() { socket_.Shutdown(); }

protected:
    TSocketHandle& Binding() override { return socket_; }
    void Open() override;
    void Close() override;
    void ApplyBroadcast() override;

private:
    const TSocketAddress& PeerAddress();

    std::string host_;
    int port_ = 0;
    bool peerResolved_ = false;
    TSocketAddress peerAddress_;
    TSocketHandle socket_;
};
