#include "engine/PeerChannel.h"

#include "engine/UDPClient.h"

void TPeerChannel::ConnectToPeer()
{
    std::lock_guard guard(socketLock_);
    client_.ConnectToPeer();
    connected_ = true;
    if (interrupted_)
        client_.InterruptReceive();
}

void TPeerChannel::Send(std::string_view datagram)
{
    client_.Send(datagram);
}

void TPeerChannel::SendEach(std::span<const std::string_view> datagrams)
{
    client_.SendEach(datagrams);
}

std::optional<std::size_t> TPeerChannel::ReceiveFromPeer(std::span<char> buffer, std::chrono::milliseconds wait)
{
    // RFC 1350 section 4: a datagram from any other address or port is not part of this
    // transfer, even one too long for the buffer; the client drops it as if it never came.
    return client_.ReceiveFromPeer(buffer.data(), buffer.size(), static_cast<int>(wait.count()));
}

void TPeerChannel::Interrupt()
{
    std::lock_guard guard(socketLock_);
    interrupted_ = true;
    if (connected_)
        client_.InterruptReceive();
}

void TPeerChannel::Close()
{
    std::lock_guard guard(socketLock_);
    connected_ = false;
    client_.SetActive(false);
}
