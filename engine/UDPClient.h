#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/UDPBase.h"

/// A UDP endpoint talking to one peer (`Host`, `Port`). Its socket opens at the first
/// send or receive, on a port the system picks, and closes with the client.
/// Used by one thread at a time.
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

    /// Waits at most `waitMs` (> 0) for a datagram from Host and Port and gives its length.
    /// A datagram from anyone else is not part of the conversation (RFC 1350 section 4):
    /// it is passed over, even one too long for the buffer, and gives no value like a
    /// wait in which nothing came. Raises a failure of the receive itself.
    std::optional<std::size_t> ReceiveFromPeer(char* buffer, std::size_t size, int waitMs);
    /// Ties the socket to Host and Port: the system then drops datagrams from anyone
    /// else before they wake the receiver, and sends skip the address and route lookup.
    void ConnectToPeer() { socket_.Connect(PeerAddress()); }
    /// Ends a receive in progress at once, and every later one (the socket is shut for
    /// reading). The socket must stay open meanwhile: the caller keeps Close() away.
    void InterruptReceive() { socket_.ShutdownReceive(); }
    /// Takes `socket` as the client's own, already bound socket; an unopened one leaves
    /// the client to open its socket at first use. Before the client is used.
    void AdoptSocket(TSocketHandle socket) { socket_ = std::move(socket); }
    /// Sends through `calls` rather than the system's own (tests play a refusing system).
    void UseSendCalls(const TSendCalls& calls) { socket_.SetSendCalls(calls); }

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
