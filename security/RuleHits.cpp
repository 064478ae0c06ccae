#include "security/RuleHits.h"

namespace {

template <typename TList>
std::vector<std::optional<std::uint64_t>> MatchCounts(const TList& rules, const TList& counted,
                                                      const std::vector<std::uint64_t>& hits)
{
    std::vector<bool> used(counted.size(), false);
    std::vector<std::optional<std::uint64_t>> matched;
    matched.reserve(rules.size());
    for (const auto& rule : rules) {
        std::optional<std::uint64_t> count;
        for (std::size_t i = 0; i < counted.size() && i < hits.size(); ++i) {
            if (used[i] || !SameTarget(rule, counted[i]))
                continue;
            used[i] = true;
            count = hits[i];
            break;
        }
        matched.push_back(count);
    }
    return matched;
}

}  // namespace

bool SameTarget(const TSecurityRule& left, const TSecurityRule& right)
{
    return left.Address == right.Address && left.Mask == right.Mask && left.Kind == right.Kind;
}

bool SameTarget(const TIPv6Rule& left, const TIPv6Rule& right)
{
    return left.Address == right.Address && left.PrefixLength == right.PrefixLength && left.Kind == right.Kind;
}

std::vector<std::optional<std::uint64_t>> HitsOf(const TSecurityRuleList& rules, const TSecurityRuleList& counted,
                                                 const std::vector<std::uint64_t>& hits)
{
    return MatchCounts(rules, counted, hits);
}

std::vector<std::optional<std::uint64_t>> HitsOf(const TIPv6RuleList& rules, const TIPv6RuleList& counted,
                                                 const std::vector<std::uint64_t>& hits)
{
    return MatchCounts(rules, counted, hits);
}
