#include "security/SecurityRules.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

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
    for (const auto& rule : rules) {
        if (RuleMatches(rule, ip))
            return RightsGrant(rule.Rights, kind);
    }
    return false;
}

TSecurityRules::TSecurityRules() : rules_(std::make_shared<const TSecurityRuleList>()) {}

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

std::shared_ptr<const TSecurityRuleList> TSecurityRules::Snapshot() const
{
    const std::lock_guard lock(rulesLock_);
    return rules_;
}

bool TSecurityRules::CheckAccess(std::string_view ip, TAccessKind kind, bool securityOn) const
{
    return ::CheckAccess(*Snapshot(), ip, kind, securityOn);
}
