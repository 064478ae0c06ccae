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

std::optional<TReceived> TUDPBase::ReceiveBuffer(char* buffer, std::size_t size, int waitMs)
{
    if (!active_)
        SetActive(true);
    const int wait = waitMs == kUseReceiveTimeout ? receiveTimeout_ : waitMs;
    return Binding().Receive(buffer, size, wait == kWaitForever ? -1 : wait);
}
