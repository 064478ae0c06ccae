#include "tests/support/RawClient.h"

#include <random>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

/// The loopback address of `family` with `port`.
sockaddr_storage Loopback(int family, int port)
{
    sockaddr_storage address{};
    if (family == AF_INET6) {
        auto& six = reinterpret_cast<sockaddr_in6&>(address);
        six.sin6_family = AF_INET6;
        six.sin6_addr = in6addr_loopback;
        six.sin6_port = htons(static_cast<std::uint16_t>(port));
    } else {
        auto& four = reinterpret_cast<sockaddr_in&>(address);
        four.sin_family = AF_INET;
        four.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        four.sin_port = htons(static_cast<std::uint16_t>(port));
    }
    return address;
}

socklen_t LengthOf(int family)
{
    return family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

int PortOf(const sockaddr_storage& address)
{
    return ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                                               : reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

}  // namespace

TRawClient::TRawClient(int family) : family_(family)
{
    fd_ = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_storage local = Loopback(family, 0);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&local), LengthOf(family)) != 0) {
        if (fd_ >= 0)
            ::close(fd_);
        throw std::runtime_error("cannot open the test socket");
    }
    socklen_t length = sizeof local;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length);
    localPort_ = PortOf(local);
}

TRawClient::~TRawClient()
{
    ::close(fd_);
}

void TRawClient::SendTo(int port, std::string_view bytes) const
{
    const sockaddr_storage to = Loopback(family_, port);
    ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), LengthOf(family_));
}

std::optional<std::string> TRawClient::Receive(std::chrono::milliseconds wait)
{
    pollfd entry{fd_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(wait.count())) <= 0)
        return std::nullopt;
    std::string buffer(70000, '\0');
    sockaddr_storage from{};
    socklen_t length = sizeof from;
    const ssize_t got = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &length);
    if (got < 0)
        return std::nullopt;
    lastPort_ = PortOf(from);
    buffer.resize(static_cast<std::size_t>(got));
    return buffer;
}

bool PortIsFree(int port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool free = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    ::close(fd);
    return free;
}

int FreePortRange(int count)
{
    // A start that differs from run to run, so tests running side by side rarely meet.
    std::random_device seed;
    const int first = 20000 + static_cast<int>(seed() % 10000);
    for (int low = first; low + count <= 32000; low += count) {
        int free = 0;
        while (free < count && PortIsFree(low + free))
            ++free;
        if (free == count)
            return low;
    }
    throw std::runtime_error("no free port range for the test");
}

namespace {
std::string Word(std::uint16_t value)
{
    return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}
}  // namespace

std::string Request(std::uint16_t opcode, std::string_view name, std::string_view mode,
                    std::initializer_list<std::pair<std::string_view, std::string_view>> options)
{
    std::string packet = Word(opcode);
    packet.append(name).push_back('\0');
    packet.append(mode).push_back('\0');
    for (const auto& [option, value] : options) {
        packet.append(option).push_back('\0');
        packet.append(value).push_back('\0');
    }
    return packet;
}

std::string Data(std::uint16_t block, std::string_view bytes)
{
    return Word(3) + Word(block) + std::string(bytes);
}

std::string Ack(std::uint16_t block)
{
    return Word(4) + Word(block);
}

std::string Error(std::uint16_t code, std::string_view text)
{
    std::string packet = Word(5) + Word(code);
    packet.append(text).push_back('\0');
    return packet;
}

std::uint16_t Opcode(std::string_view packet)
{
    return packet.size() < 2 ? 0
                             : static_cast<std::uint16_t>((static_cast<unsigned char>(packet[0]) << 8) |
                                                          static_cast<unsigned char>(packet[1]));
}

std::uint16_t Block(std::string_view packet)
{
    return packet.size() < 4 ? 0 : Opcode(packet.substr(2));
}
