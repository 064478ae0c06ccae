#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// An IPv6 address as its 16 bytes, with the interface (RFC 4007 zone) a link-local
/// address was written with ("fe80::1%eth0"); Zone is empty when none was given. A plain
/// value; the functions below are pure apart from the interface lookup and safe on any thread.
struct TIPv6Address {
    std::array<std::uint8_t, 16> Bytes{};
    std::string Zone;

    bool operator==(const TIPv6Address&) const = default;
};

/// Longest prefix an IPv6 rule may compare.
inline constexpr int kIPv6Bits = 128;

/// Whether `ip` is IPv6 text rather than dotted IPv4: IPv6 text always holds a colon.
bool IsIPv6Text(std::string_view ip);

/// The address in `text`: anything inet_pton(AF_INET6) reads, optionally followed by
/// "%<interface>" (1 to 15 characters, no blanks, '/', '%' or '#'). Nothing for any other text.
std::optional<TIPv6Address> ParseIPv6Address(std::string_view text);

/// A prefix length: one to three decimal digits giving 0 to 128.
std::optional<int> ParsePrefixLength(std::string_view text);

/// The RFC 5952 text of `address`, with "%<interface>" when it has one.
std::string IPv6AddressText(const TIPv6Address& address);

/// Whether the first `bits` bits (0 to 128) of `a` and `b` agree.
bool SharePrefix(const TIPv6Address& a, const TIPv6Address& b, int bits);

/// Whether two interface texts name the same interface: the same text, or a name and a
/// number (or two names) that the system resolves to the same interface index.
bool SameInterface(const std::string& a, const std::string& b);
