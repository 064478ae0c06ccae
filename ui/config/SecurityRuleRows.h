#pragma once

#include <cstddef>
#include <utility>

#include <QString>

#include "security/IPv6Rule.h"
#include "security/SecurityRule.h"

/// A rule's row caption: the address, or for a subnet the network ID, two blanks and the
/// mask in parentheses ("10.0.0.0  (255.0.0.0)").
QString RuleCaption(const TSecurityRule& rule);

/// An IPv6 rule's row caption: the address in RFC 5952 text, with "/<length>" for a prefix
/// ("2001:db8::/32").
QString RuleCaption(const TIPv6Rule& rule);

/// The editing copy of the rules of both families as the Security page lists them: the
/// IPv4 rules first, then the IPv6 rules. A row moves only among the rules of its own
/// family, since each family's order decides only its own clients. A plain value.
class TSecurityRuleRows {
public:
    void SetRules(TSecurityRuleList rules) { rules_ = std::move(rules); }
    void SetIPv6Rules(TIPv6RuleList rules) { ipv6Rules_ = std::move(rules); }
    const TSecurityRuleList& Rules() const { return rules_; }
    const TIPv6RuleList& IPv6Rules() const { return ipv6Rules_; }

    int Count() const;
    QString Caption(int row) const;
    TAccessRights Rights(int row) const;
    void SetRights(int row, TAccessRights rights);
    /// Whether a row of either family has this caption.
    bool HasCaption(const QString& caption) const;

    /// Appends at the end of the rule's own family.
    void Append(TSecurityRule rule) { rules_.push_back(std::move(rule)); }
    void Append(TIPv6Rule rule) { ipv6Rules_.push_back(std::move(rule)); }
    void Remove(int row);
    void Clear();
    /// Swaps `row` with its neighbour `offset` rows away when that neighbour is of the same
    /// family; the row the rule stands on afterwards.
    int Move(int row, int offset);

private:
    bool IsIPv6Row(int row) const { return row >= static_cast<int>(rules_.size()); }
    std::size_t IPv6Index(int row) const { return static_cast<std::size_t>(row) - rules_.size(); }

    TSecurityRuleList rules_;
    TIPv6RuleList ipv6Rules_;
};
