#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/SocketHandle.h"

/// A UDP endpoint: its socket(s), sending, and receiving with a bounded wait.
/// Properties are set by the owner before use; one thread uses an endpoint at a time.
class TUDPBase {
public:
    /// ReceiveTimeout value meaning: wait without limit.
    static constexpr int kWaitForever = -2;
    /// Wait value meaning: use ReceiveTimeout.
    static constexpr int kUseReceiveTimeout = -1;

    TUDPBase() = default;
    TUDPBase(const TUDPBase&) = delete;
    TUDPBase& operator=(const TUDPBase&) = delete;
    virtual ~TUDPBase() = default;

    bool Active() const { return active_; }
    void SetActive(bool active);
    int BufferSize() const { return bufferSize_; }
    void SetBufferSize(int size) { bufferSize_ = size; }
    bool BroadcastEnabled() const { return broadcastEnabled_; }
    void SetBroadcastEnabled(bool enabled);
    int ReceiveTimeout() const { return receiveTimeout_; }
    void SetReceiveTimeout(int milliseconds) { receiveTimeout_ = milliseconds; }

    /// Sends one datagram to host and port from the endpoint's socket.
    void Send(const std::string& host, int port, std::string_view bytes);
    /// Waits up to `waitMs` (kUseReceiveTimeout, or kWaitForever) for one datagram and reads
    /// it into `buffer`; nothing within the wait gives no value.
    std::optional<TReceived> ReceiveBuffer(char* buffer, std::size_t size, int waitMs);

protected:
    /// The socket sends and receives go through.
    virtual TSocketHandle& Binding() = 0;
    virtual void Open() = 0;
    virtual void Close() = 0;
    /// Applies BroadcastEnabled to every open socket.
    virtual void ApplyBroadcast() = 0;
    void MarkActive(bool active) { active_ = active; }

private:
    bool active_ = false;
    int bufferSize_ = 8192;
    bool broadcastEnabled_ = false;
    int receiveTimeout_ = kWaitForever;
};
