#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "security/IPv6Rule.h"
#include "security/SecurityRule.h"

/// How many requests each serving rule decided, beside a copy of the rules themselves, so
/// the counts can be matched to rules however the operator has edited them since. A value.
struct TRuleHitCounts {
    TSecurityRuleList Rules;
    std::vector<std::uint64_t> Hits;
    TIPv6RuleList IPv6Rules;
    std::vector<std::uint64_t> IPv6Hits;
};

/// Whether two rules name the same peers; their rights may differ.
bool SameTarget(const TSecurityRule& left, const TSecurityRule& right);
bool SameTarget(const TIPv6Rule& left, const TIPv6Rule& right);

/// For each of `rules`, the count of the counted rule naming the same peers, each counted
/// rule used once and in order; nothing for a rule that was not counted (added since).
std::vector<std::optional<std::uint64_t>> HitsOf(const TSecurityRuleList& rules,
                                                 const TSecurityRuleList& counted,
                                                 const std::vector<std::uint64_t>& hits);
std::vector<std::optional<std::uint64_t>> HitsOf(const TIPv6RuleList& rules, const TIPv6RuleList& counted,
                                                 const std::vector<std::uint64_t>& hits);
