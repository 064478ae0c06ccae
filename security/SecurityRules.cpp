#include "security/SecurityRules.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace {

using TOctets = std::array<std::uint8_t, 4>;

/// One decimal octet: one to three ASCII digits with a value of at most 255.
std::optional<std::uint8_t> ParseOctet(std::string_view text)
{
    if (text.empty() || text.size() > 3)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 255)
        return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

/// Four dot-separated decimal octets, or nothing.
std::optional<TOctets> ParseDottedQuad(std::string_view text)
{
    TOctets octets{};
    for (std::size_t i = 0; i < octets.size(); ++i) {
        const bool last = i + 1 == octets.size();
        const auto dot = text.find('.');
        if (last != (dot == std::string_view::npos))
            return std::nullopt;
        const auto octet = ParseOctet(text.substr(0, dot));
        if (!octet)
            return std::nullopt;
        octets[i] = *octet;
        text.remove_prefix(last ? text.size() : dot + 1);
    }
    return octets;
}

bool RuleMatches(const TSecurityRule& rule, std::string_view ip)
{
    // An address rule compares the texts as they are; there is no numeric comparison.
    if (rule.Kind == rkAddress)
        return ip == rule.Address;
    return AddressInSubnet(ip, rule.Address, rule.Mask);
}

bool IPv6RuleMatches(const TIPv6Rule& rule, const TIPv6Address& peer)
{
    // A rule without an interface names the address on every link.
    if (!rule.Address.Zone.empty() && !SameInterface(rule.Address.Zone, peer.Zone))
        return false;
    const int bits = rule.Kind == rkAddress ? kIPv6Bits : rule.PrefixLength;
    return SharePrefix(rule.Address, peer, bits);
}

bool RightsGrant(TAccessRights rights, TAccessKind kind)
{
    switch (rights) {
    case arRead:
        return kind == akRead;
    case arWrite:
        return kind == akWrite;
    case arReadWrite:
        return kind == akRead || kind == akWrite;
    case arDeny:
        return false;
    }
    return false;
}

/// The first rule `matches` accepts decides with its rights; no match refuses.
template <typename TRule, typename TMatches>
bool FirstMatchDecides(const std::vector<TRule>& rules, TMatches matches, TAccessKind kind)
{
    for (const auto& rule : rules) {
        if (matches(rule))
            return RightsGrant(rule.Rights, kind);
    }
    return false;
}

}  // namespace

bool AddressInSubnet(std::string_view ip, std::string_view networkId, std::string_view mask)
{
    const auto address = ParseDottedQuad(ip);
    const auto network = ParseDottedQuad(networkId);
    const auto bits = ParseDottedQuad(mask);
    if (!address || !network || !bits)
        return false;
    for (std::size_t i = 0; i < bits->size(); ++i) {
        if (((*address)[i] & (*bits)[i]) != ((*network)[i] & (*bits)[i]))
            return false;
    }
    return true;
}

bool CheckAccess(const TSecurityRuleList& rules, std::string_view ip, TAccessKind kind,
                 bool securityOn)
{
    if (!securityOn)
        return true;
    return FirstMatchDecides(
        rules, [ip](const TSecurityRule& rule) { return RuleMatches(rule, ip); }, kind);
}

bool CheckIPv6Access(const TIPv6RuleList& rules, std::string_view ip, TAccessKind kind,
                     bool securityOn)
{
    if (!securityOn)
        return true;
    const auto peer = ParseIPv6Address(ip);
    if (!peer)
        return false;
    return FirstMatchDecides(
        rules, [&peer](const TIPv6Rule& rule) { return IPv6RuleMatches(rule, *peer); }, kind);
}

bool CheckAccess(const TSecurityRuleList& rules, const TIPv6RuleList& ipv6Rules,
                 std::string_view ip, TAccessKind kind, bool securityOn)
{
    if (IsIPv6Text(ip))
        return CheckIPv6Access(ipv6Rules, ip, kind, securityOn);
    return CheckAccess(rules, ip, kind, securityOn);
}

TSecurityRules::TSecurityRules()
    : rules_(std::make_shared<const TSecurityRuleList>()),
      ipv6Rules_(std::make_shared<const TIPv6RuleList>())
{
}

void TSecurityRules::Replace(TSecurityRuleList rules)
{
    auto published = std::make_shared<const TSecurityRuleList>(std::move(rules));
    const std::lock_guard lock(rulesLock_);
    rules_.swap(published);
}

bool TSecurityRules::Reload(const std::filesystem::path& file)
{
    try {
        Replace(LoadSecurityRules(file));
        return true;
    } catch (const ESecurityRulesError&) {
        return false;
    }
}

void TSecurityRules::ReplaceIPv6(TIPv6RuleList rules)
{
    auto published = std::make_shared<const TIPv6RuleList>(std::move(rules));
    const std::lock_guard lock(rulesLock_);
    ipv6Rules_.swap(published);
}

std::optional<TDamagedLines> TSecurityRules::ReloadIPv6(const std::filesystem::path& file)
{
    try {
        auto read = LoadIPv6Rules(file);
        ReplaceIPv6(std::move(read.Rules));
        return read.Damaged;
    } catch (const ESecurityRulesError&) {
        return std::nullopt;
    }
}

std::shared_ptr<const TSecurityRuleList> TSecurityRules::Snapshot() const
{
    const std::lock_guard lock(rulesLock_);
    return rules_;
}

std::shared_ptr<const TIPv6RuleList> TSecurityRules::SnapshotIPv6() const
{
    const std::lock_guard lock(rulesLock_);
    return ipv6Rules_;
}

bool TSecurityRules::CheckAccess(std::string_view ip, TAccessKind kind, bool securityOn) const
{
    return ::CheckAccess(*Snapshot(), *SnapshotIPv6(), ip, kind, securityOn);
}
