#include "engine/UDPClient.h"

TUDPClient::~TUDPClient()
{
    Close();
}

void TUDPClient::SetHost(std::string host)
{
    host_ = std::move(host);
    peerResolved_ = false;
}

void TUDPClient::SetPort(int port)
{
    port_ = port;
    peerResolved_ = false;
}

void TUDPClient::Send(std::string_view bytes)
{
    SendEach({&bytes, 1});
}

void TUDPClient::SendEach(std::span<const std::string_view> datagrams)
{
    if (!Active())
        SetActive(true);
    socket_.SendEach(PeerAddress(), datagrams);
}

std::optional<std::size_t> TUDPClient::ReceiveFromPeer(char* buffer, std::size_t size, int waitMs)
{
    try {
        const auto received = socket_.Receive(buffer, size, waitMs);
        if (received && SameEndpoint(received->From, PeerAddress()))
            return received->Size;
    } catch (const EMessageTooLong& failure) {
        if (SameEndpoint(failure.From(), PeerAddress()))
            throw;
    }
    return std::nullopt;
}

void TUDPClient::Open()
{
    // A socket of the peer's family: an IPv6 peer is answered over IPv6.
    socket_.AllocateSocket(AddressFamily(host_));
    MarkActive(true);
    ApplyBroadcast();
}

void TUDPClient::Close()
{
    socket_.CloseSocket();
    MarkActive(false);
}

void TUDPClient::ApplyBroadcast()
{
    socket_.SetBroadcast(BroadcastEnabled());
}

const TSocketAddress& TUDPClient::PeerAddress()
{
    if (!peerResolved_) {
        peerAddress_ = ResolveHost(host_, port_);
        peerResolved_ = true;
    }
    return peerAddress_;
}
