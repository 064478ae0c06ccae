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
    if (!Active())
        SetActive(true);
    socket_.SendTo(PeerAddress(), bytes);
}

bool TUDPClient::LastSenderIsPeer()
{
    const sockaddr_in& peer = PeerAddress();
    const sockaddr_in& sender = socket_.PeerAddress();
    return sender.sin_addr.s_addr == peer.sin_addr.s_addr && sender.sin_port == peer.sin_port;
}

void TUDPClient::Open()
{
    socket_.AllocateSocket();
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

const sockaddr_in& TUDPClient::PeerAddress()
{
    if (!peerResolved_) {
        peerAddress_ = ResolveHost(host_, port_);
        peerResolved_ = true;
    }
    return peerAddress_;
}
