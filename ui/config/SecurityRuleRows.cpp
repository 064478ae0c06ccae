#include "ui/config/SecurityRuleRows.h"

#include <utility>

namespace {

/// Swaps entry `from` with entry `to` when both lie in `rules`; the index the entry stands
/// on afterwards.
template <typename TRules>
int SwapWithin(TRules& rules, int from, int to)
{
    if (to < 0 || to >= static_cast<int>(rules.size()))
        return from;
    std::swap(rules[static_cast<std::size_t>(from)], rules[static_cast<std::size_t>(to)]);
    return to;
}

}  // namespace

QString RuleCaption(const TSecurityRule& rule)
{
    const QString address = QString::fromStdString(rule.Address);
    if (rule.Kind == rkAddress)
        return address;
    return address + QStringLiteral("  (") + QString::fromStdString(rule.Mask)
           + QStringLiteral(")");
}

QString RuleCaption(const TIPv6Rule& rule)
{
    const QString address = QString::fromStdString(IPv6AddressText(rule.Address));
    if (rule.Kind == rkAddress)
        return address;
    return address + QLatin1Char('/') + QString::number(rule.PrefixLength);
}

int TSecurityRuleRows::Count() const
{
    return static_cast<int>(rules_.size() + ipv6Rules_.size());
}

QString TSecurityRuleRows::Caption(int row) const
{
    if (IsIPv6Row(row))
        return RuleCaption(ipv6Rules_[IPv6Index(row)]);
    return RuleCaption(rules_[static_cast<std::size_t>(row)]);
}

TAccessRights TSecurityRuleRows::Rights(int row) const
{
    if (IsIPv6Row(row))
        return ipv6Rules_[IPv6Index(row)].Rights;
    return rules_[static_cast<std::size_t>(row)].Rights;
}

void TSecurityRuleRows::SetRights(int row, TAccessRights rights)
{
    if (IsIPv6Row(row))
        ipv6Rules_[IPv6Index(row)].Rights = rights;
    else
        rules_[static_cast<std::size_t>(row)].Rights = rights;
}

bool TSecurityRuleRows::HasCaption(const QString& caption) const
{
    for (int row = 0; row < Count(); ++row) {
        if (Caption(row) == caption)
            return true;
    }
    return false;
}

void TSecurityRuleRows::Remove(int row)
{
    if (IsIPv6Row(row))
        ipv6Rules_.erase(ipv6Rules_.begin() + static_cast<std::ptrdiff_t>(IPv6Index(row)));
    else
        rules_.erase(rules_.begin() + row);
}

void TSecurityRuleRows::Clear()
{
    rules_.clear();
    ipv6Rules_.clear();
}

int TSecurityRuleRows::Move(int row, int offset)
{
    if (!IsIPv6Row(row))
        return SwapWithin(rules_, row, row + offset);
    const int first = static_cast<int>(rules_.size());
    return first + SwapWithin(ipv6Rules_, row - first, row - first + offset);
}
