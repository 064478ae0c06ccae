#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

/// How a transfer session talks to its one peer: it sends datagrams to it and receives
/// only what the peer sends. Production talks through the session's UDP socket; tests
/// play the peer. Used by one thread at a time.
class IDatagramChannel {
public:
    virtual ~IDatagramChannel() = default;

    /// Ties the channel to the peer before the first exchange.
    virtual void ConnectToPeer() = 0;
    /// Sends one datagram; raises ESendRefusedForNow when this machine refuses it for the
    /// moment, ESocketError on any other failure.
    virtual void Send(std::string_view datagram) = 0;
    /// Sends each of `datagrams` in order, several per system call where it can.
    virtual void SendEach(std::span<const std::string_view> datagrams) = 0;
    /// Waits at most `wait` for a datagram from the peer and reads it into `buffer`: its
    /// length, or nothing when the wait passed without one. Datagrams from anyone else
    /// are dropped, and the wait may then end early with nothing.
    virtual std::optional<std::size_t> ReceiveFromPeer(std::span<char> buffer, std::chrono::milliseconds wait) = 0;
    /// Ends a receive in progress at once, and every later one; sends still go out.
    /// The one call that is safe from another thread while the channel is in use.
    virtual void Interrupt() = 0;
};
