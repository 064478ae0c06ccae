#include "engine/UDPBase.h"

void TUDPBase::SetActive(bool active)
{
    if (active == active_)
        return;
    if (active)
        Open();
    else
        Close();
}

void TUDPBase::SetBroadcastEnabled(bool enabled)
{
    broadcastEnabled_ = enabled;
    ApplyBroadcast();
}

void TUDPBase::Send(const std::string& host, int port, std::string_view bytes)
{
    if (!active_)
        SetActive(true);
    Binding().SendTo(ResolveHost(host, port), bytes);
}

std::optional<std::size_t> TUDPBase::ReceiveBuffer(char* buffer, std::size_t size, int waitMs)
{
    if (!active_)
        SetActive(true);
    const int wait = waitMs == kUseReceiveTimeout ? receiveTimeout_ : waitMs;
    TSocketHandle& socket = Binding();
    if (!socket.WaitReadable(wait == kWaitForever ? -1 : wait))
        return std::nullopt;
    return socket.ReceiveFrom(buffer, size);
}

std::string TUDPBase::ReceiveString(int waitMs)
{
    std::string text(static_cast<std::size_t>(bufferSize_ > 0 ? bufferSize_ : 0), '\0');
    const auto received = ReceiveBuffer(text.data(), text.size(), waitMs);
    text.resize(received.value_or(0));
    return text;
}
