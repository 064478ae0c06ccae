#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <netinet/in.h>
#include <sys/socket.h>

/// An IPv4 or IPv6 socket address (an IPv6 one with its interface index), as the socket
/// calls take and give it. A plain value.
struct TSocketAddress {
    sockaddr_storage Storage{};

    int Family() const { return Storage.ss_family; }
    socklen_t Length() const;
    int Port() const;
    const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&Storage); }
    sockaddr* Raw() { return reinterpret_cast<sockaddr*>(&Storage); }
};

/// The family of an address text: IPv6 text always holds a colon, anything else is IPv4.
int AddressFamily(std::string_view ip);

/// The numeric address in `ip` with `port`: dotted IPv4, or IPv6 text optionally with
/// "%<interface>". Empty text is every local address of `family`. Nothing for any other
/// text, or for text of the other family.
std::optional<TSocketAddress> NumericAddress(const std::string& ip, int port, int family);

/// Resolves a host text for sending: "LOCALHOST" in any case is 127.0.0.1, numeric IPv4
/// or IPv6 text is taken as it is, anything else is looked up by name (IPv4). Raises
/// ESocketError 11001 when the name does not resolve.
TSocketAddress ResolveHost(const std::string& host, int port);

/// The dotted text of an IPv4 address; the RFC 5952 text of an IPv6 one, followed by
/// "%<interface>" when it carries an interface (a link-local peer).
std::string AddressText(const TSocketAddress& address);

/// Whether two addresses are one endpoint: the same family, address, port and interface.
bool SameEndpoint(const TSocketAddress& a, const TSocketAddress& b);
