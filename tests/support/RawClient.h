#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <sys/socket.h>

/// A bare UDP socket on 127.0.0.1 (or ::1 for AF_INET6) for tests: sends hand-made
/// datagrams to the same loopback address and reads what comes back, with the sender's port.
class TRawClient {
public:
    explicit TRawClient(int family = AF_INET);
    ~TRawClient();
    TRawClient(const TRawClient&) = delete;
    TRawClient& operator=(const TRawClient&) = delete;

    int LocalPort() const { return localPort_; }
    void SendTo(int port, std::string_view bytes) const;
    /// Sends to the port of the last datagram received (the session's port).
    void Reply(std::string_view bytes) const { SendTo(lastPort_, bytes); }
    /// The next datagram within `wait`, or nothing.
    std::optional<std::string> Receive(std::chrono::milliseconds wait = std::chrono::seconds(30));
    int LastPort() const { return lastPort_; }

private:
    int family_;
    int fd_ = -1;
    int localPort_ = 0;
    int lastPort_ = 0;
};

/// Whether no socket holds UDP `port` on any IPv4 address right now.
bool PortIsFree(int port);

/// The first of `count` consecutive UDP ports, below the system's ephemeral range, that are
/// all free on every local address right now; for tests of the transfer port range.
int FreePortRange(int count);

/// Packet builders for tests.
std::string Request(std::uint16_t opcode, std::string_view name, std::string_view mode,
                    std::initializer_list<std::pair<std::string_view, std::string_view>> options = {});
std::string Data(std::uint16_t block, std::string_view bytes);
std::string Ack(std::uint16_t block);
std::string Error(std::uint16_t code, std::string_view text);
std::uint16_t Opcode(std::string_view packet);
std::uint16_t Block(std::string_view packet);
