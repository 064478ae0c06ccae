#pragma once

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

private:
    TUDPClient& client_;
};
