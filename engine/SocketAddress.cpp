#include "engine/SocketAddress.h"

#include <cstring>

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#include <strings.h>

#include "engine/NetException.h"
#include "engine/SocketError.h"

namespace {

const sockaddr_in& AsIPv4(const TSocketAddress& address)
{
    return reinterpret_cast<const sockaddr_in&>(address.Storage);
}

const sockaddr_in6& AsIPv6(const TSocketAddress& address)
{
    return reinterpret_cast<const sockaddr_in6&>(address.Storage);
}

/// IPv6 text through getaddrinfo, which also reads the "%<interface>" of RFC 4007.
std::optional<TSocketAddress> NumericIPv6(const std::string& ip)
{
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (::getaddrinfo(ip.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return std::nullopt;
    TSocketAddress address;
    std::memcpy(&address.Storage, found->ai_addr, found->ai_addrlen);
    ::freeaddrinfo(found);
    return address;
}

}  // namespace

socklen_t TSocketAddress::Length() const
{
    return Family() == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

int TSocketAddress::Port() const
{
    return ntohs(Family() == AF_INET6 ? AsIPv6(*this).sin6_port : AsIPv4(*this).sin_port);
}

int AddressFamily(std::string_view ip)
{
    return ip.find(':') != std::string_view::npos ? AF_INET6 : AF_INET;
}

std::optional<TSocketAddress> NumericAddress(const std::string& ip, int port, int family)
{
    if (!ip.empty() && AddressFamily(ip) != family)
        return std::nullopt;
    TSocketAddress address;
    const auto networkPort = htons(static_cast<std::uint16_t>(port));
    if (family == AF_INET6) {
        if (!ip.empty()) {
            const auto parsed = NumericIPv6(ip);
            if (!parsed)
                return std::nullopt;
            address = *parsed;
        }
        auto& six = reinterpret_cast<sockaddr_in6&>(address.Storage);
        six.sin6_family = AF_INET6;
        six.sin6_port = networkPort;
        return address;
    }
    auto& four = reinterpret_cast<sockaddr_in&>(address.Storage);
    four.sin_family = AF_INET;
    four.sin_port = networkPort;
    if (!ip.empty() && ::inet_pton(AF_INET, ip.c_str(), &four.sin_addr) != 1)
        return std::nullopt;
    return address;
}

TSocketAddress ResolveHost(const std::string& host, int port)
{
    const std::string numeric = strcasecmp(host.c_str(), "LOCALHOST") == 0 ? "127.0.0.1" : host;
    if (!numeric.empty())
        if (auto address = NumericAddress(numeric, port, AddressFamily(numeric)))
            return *address;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        throw ESocketError(11001);
    TSocketAddress address;
    std::memcpy(&address.Storage, found->ai_addr, found->ai_addrlen);
    ::freeaddrinfo(found);
    reinterpret_cast<sockaddr_in&>(address.Storage).sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

std::string AddressText(const TSocketAddress& address)
{
    if (address.Family() != AF_INET6) {
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &AsIPv4(address).sin_addr, text, sizeof text);
        return text;
    }
    // inet_ntop writes RFC 5952 text: lower case, the longest zero run compressed.
    const sockaddr_in6& six = AsIPv6(address);
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, &six.sin6_addr, text, sizeof text);
    std::string result = text;
    if (six.sin6_scope_id != 0) {
        char name[IF_NAMESIZE] = {};
        result += '%';
        result += ::if_indextoname(six.sin6_scope_id, name) != nullptr ? std::string(name)
                                                                       : std::to_string(six.sin6_scope_id);
    }
    return result;
}

bool SameEndpoint(const TSocketAddress& a, const TSocketAddress& b)
{
    if (a.Family() != b.Family() || a.Port() != b.Port())
        return false;
    if (a.Family() != AF_INET6)
        return AsIPv4(a).sin_addr.s_addr == AsIPv4(b).sin_addr.s_addr;
    const sockaddr_in6& sixA = AsIPv6(a);
    const sockaddr_in6& sixB = AsIPv6(b);
    return std::memcmp(&sixA.sin6_addr, &sixB.sin6_addr, sizeof sixA.sin6_addr) == 0 &&
           sixA.sin6_scope_id == sixB.sin6_scope_id;
}
