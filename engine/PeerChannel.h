#pragma once

#include <mutex>

#include "engine/DatagramChannel.h"

class TUDPClient;

/// A session's channel over its UDP client, whose Host and Port name the peer.
class TPeerChannel final : public IDatagramChannel {
public:
    explicit TPeerChannel(TUDPClient& client) : client_(client) {}

    void ConnectToPeer() override;
    void Send(std::string_view datagram) override;
    void SendEach(std::span<const std::string_view> datagrams) override;
    std::optional<std::size_t> ReceiveFromPeer(std::span<char> buffer, std::chrono::milliseconds wait) override;
    void Interrupt() override;
    /// Closes the client's socket; an Interrupt() from then on has nothing to end.
    void Close();

private:
    TUDPClient& client_;
    std::mutex socketLock_;  // guards the socket's opening and closing against Interrupt()
    bool connected_ = false;
    bool interrupted_ = false;
};
