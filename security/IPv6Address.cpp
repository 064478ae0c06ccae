#include "security/IPv6Address.h"

#include <algorithm>

#include <arpa/inet.h>
#include <net/if.h>

namespace {

constexpr std::size_t kZoneMax = IF_NAMESIZE - 1;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

/// An interface text the rules file can carry: printable ASCII without the characters
/// that separate a rule's parts.
bool IsZoneText(std::string_view zone)
{
    if (zone.empty() || zone.size() > kZoneMax)
        return false;
    return std::all_of(zone.begin(), zone.end(), [](char c) {
        return c > ' ' && c < 0x7f && c != '/' && c != '%' && c != '#';
    });
}

/// The interface index a zone text stands for: its number, or the index of the interface of
/// that name; 0 when it stands for none.
unsigned InterfaceIndex(const std::string& zone)
{
    if (std::all_of(zone.begin(), zone.end(), IsDigit)) {
        unsigned long index = 0;
        for (const char c : zone)
            index = index * 10 + static_cast<unsigned long>(c - '0');
        return index <= 0xFFFFFFFFul ? static_cast<unsigned>(index) : 0;
    }
    return ::if_nametoindex(zone.c_str());
}

}  // namespace

bool IsIPv6Text(std::string_view ip)
{
    return ip.find(':') != std::string_view::npos;
}

std::optional<TIPv6Address> ParseIPv6Address(std::string_view text)
{
    TIPv6Address address;
    const auto percent = text.find('%');
    if (percent != std::string_view::npos) {
        address.Zone = std::string(text.substr(percent + 1));
        if (!IsZoneText(address.Zone))
            return std::nullopt;
        text = text.substr(0, percent);
    }
    // Longer than the longest IPv6 text ("ffff:...:255.255.255.255") cannot be one, and
    // inet_pton would stop reading at an embedded NUL.
    if (text.size() >= INET6_ADDRSTRLEN || text.find('\0') != std::string_view::npos)
        return std::nullopt;
    const std::string bare(text);
    if (::inet_pton(AF_INET6, bare.c_str(), address.Bytes.data()) != 1)
        return std::nullopt;
    return address;
}

std::optional<int> ParsePrefixLength(std::string_view text)
{
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), IsDigit))
        return std::nullopt;
    int length = 0;
    for (const char c : text)
        length = length * 10 + (c - '0');
    if (length > kIPv6Bits)
        return std::nullopt;
    return length;
}

std::string IPv6AddressText(const TIPv6Address& address)
{
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, address.Bytes.data(), text, sizeof text);
    std::string result(text);
    if (!address.Zone.empty())
        result += '%' + address.Zone;
    return result;
}

bool SharePrefix(const TIPv6Address& a, const TIPv6Address& b, int bits)
{
    const int whole = std::clamp(bits, 0, kIPv6Bits) / 8;
    const int rest = std::clamp(bits, 0, kIPv6Bits) % 8;
    const auto wholeEnd = static_cast<std::size_t>(whole);
    if (!std::equal(a.Bytes.begin(), a.Bytes.begin() + whole, b.Bytes.begin()))
        return false;
    if (rest == 0)
        return true;
    const auto mask = static_cast<std::uint8_t>(0xFFu << (8 - rest));
    return (a.Bytes[wholeEnd] & mask) == (b.Bytes[wholeEnd] & mask);
}

bool SameInterface(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    const unsigned index = InterfaceIndex(a);
    return index != 0 && index == InterfaceIndex(b);
}
