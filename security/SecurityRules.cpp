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

/// The index of the first rule `matches` accepts, or none.
template <typename TRule, typename TMatches>
std::optional<std::size_t> FirstMatch(const std::vector<TRule>& rules, TMatches matches)
{
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (matches(rules[i]))
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> DecidingRule(const TSecurityRuleList& rules, std::string_view ip)
{
    return FirstMatch(rules, [ip](const TSecurityRule& rule) { return RuleMatches(rule, ip); });
}

std::optional<std::size_t> DecidingIPv6Rule(const TIPv6RuleList& rules, std::string_view ip)
{
    const auto peer = ParseIPv6Address(ip);
    if (!peer)
        return std::nullopt;
    return FirstMatch(rules, [&peer](const TIPv6Rule& rule) { return IPv6RuleMatches(rule, *peer); });
}

/// The first matching rule decides with its rights; no match refuses.
template <typename TRule>
bool Grants(const std::vector<TRule>& rules, std::optional<std::size_t> rule, TAccessKind kind)
{
    return rule && RightsGrant(rules[*rule].Rights, kind);
}

/// A new copy's rules take over the counts of the old copy's rules that name the same peers.
template <typename TCounted>
void CarryHits(const TCounted& from, const TCounted& to)
{
    std::vector<std::uint64_t> hits;
    hits.reserve(from.Hits.size());
    for (const auto& hit : from.Hits)
        hits.push_back(hit.load(std::memory_order_relaxed));
    const auto carried = HitsOf(to.Rules, from.Rules, hits);
    for (std::size_t i = 0; i < carried.size(); ++i)
        to.Hits[i].store(carried[i].value_or(0), std::memory_order_relaxed);
}

template <typename TCounted>
std::vector<std::uint64_t> HitsNow(const TCounted& counted)
{
    std::vector<std::uint64_t> hits;
    hits.reserve(counted.Hits.size());
    for (const auto& hit : counted.Hits)
        hits.push_back(hit.load(std::memory_order_relaxed));
    return hits;
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
    return Grants(rules, DecidingRule(rules, ip), kind);
}

bool CheckIPv6Access(const TIPv6RuleList& rules, std::string_view ip, TAccessKind kind,
                     bool securityOn)
{
    if (!securityOn)
        return true;
    return Grants(rules, DecidingIPv6Rule(rules, ip), kind);
}

bool CheckAccess(const TSecurityRuleList& rules, const TIPv6RuleList& ipv6Rules,
                 std::string_view ip, TAccessKind kind, bool securityOn)
{
    if (IsIPv6Text(ip))
        return CheckIPv6Access(ipv6Rules, ip, kind, securityOn);
    return CheckAccess(rules, ip, kind, securityOn);
}

TAccessDecision DecideAccess(const TSecurityRuleList& rules, const TIPv6RuleList& ipv6Rules, std::string_view ip,
                             TAccessKind kind)
{
    TAccessDecision decision;
    decision.IPv6 = IsIPv6Text(ip);
    if (decision.IPv6) {
        decision.Rule = DecidingIPv6Rule(ipv6Rules, ip);
        decision.Granted = Grants(ipv6Rules, decision.Rule, kind);
    } else {
        decision.Rule = DecidingRule(rules, ip);
        decision.Granted = Grants(rules, decision.Rule, kind);
    }
    return decision;
}

TSecurityRules::TSecurityRules()
    : rules_(std::make_shared<const TCountedRules>(TSecurityRuleList{})),
      ipv6Rules_(std::make_shared<const TCountedIPv6Rules>(TIPv6RuleList{}))
{
}

void TSecurityRules::Replace(TSecurityRuleList rules)
{
    std::shared_ptr<const TCountedRules> published = std::make_shared<const TCountedRules>(std::move(rules));
    CarryHits(*Counted(), *published);
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
    std::shared_ptr<const TCountedIPv6Rules> published = std::make_shared<const TCountedIPv6Rules>(std::move(rules));
    CarryHits(*CountedIPv6(), *published);
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

std::shared_ptr<const TSecurityRules::TCountedRules> TSecurityRules::Counted() const
{
    const std::lock_guard lock(rulesLock_);
    return rules_;
}

std::shared_ptr<const TSecurityRules::TCountedIPv6Rules> TSecurityRules::CountedIPv6() const
{
    const std::lock_guard lock(rulesLock_);
    return ipv6Rules_;
}

std::shared_ptr<const TSecurityRuleList> TSecurityRules::Snapshot() const
{
    auto counted = Counted();
    return {counted, &counted->Rules};
}

std::shared_ptr<const TIPv6RuleList> TSecurityRules::SnapshotIPv6() const
{
    auto counted = CountedIPv6();
    return {counted, &counted->Rules};
}

bool TSecurityRules::CheckAccess(std::string_view ip, TAccessKind kind, bool securityOn) const
{
    if (!securityOn)
        return true;
    const auto rules = Counted();
    const auto ipv6Rules = CountedIPv6();
    const TAccessDecision decision = DecideAccess(rules->Rules, ipv6Rules->Rules, ip, kind);
    if (decision.Rule) {
        auto& hits = decision.IPv6 ? ipv6Rules->Hits : rules->Hits;
        hits[*decision.Rule].fetch_add(1, std::memory_order_relaxed);
    }
    return decision.Granted;
}

TRuleHitCounts TSecurityRules::HitCounts() const
{
    const auto rules = Counted();
    const auto ipv6Rules = CountedIPv6();
    return {rules->Rules, HitsNow(*rules), ipv6Rules->Rules, HitsNow(*ipv6Rules)};
}

void TSecurityRules::ResetHits()
{
    const auto rules = Counted();
    const auto ipv6Rules = CountedIPv6();
    for (auto* hits : {&rules->Hits, &ipv6Rules->Hits}) {
        for (auto& hit : *hits)
            hit.store(0, std::memory_order_relaxed);
    }
}
