#pragma once

#include <vector>

#include "security/IPv6Address.h"
#include "security/SecurityRule.h"

/// One IPv6 access rule: a single address (rkAddress, all 128 bits compared) or a prefix
/// (rkSubnet, the first PrefixLength bits compared), with its rights. When the address
/// carries an interface, the rule matches only clients on that interface. A plain value.
struct TIPv6Rule {
    TIPv6Address Address;
    int PrefixLength = kIPv6Bits;
    TRuleKind Kind = rkAddress;
    TAccessRights Rights = arRead;

    bool operator==(const TIPv6Rule&) const = default;
};

/// IPv6 rules in the order they are consulted: the first matching rule decides.
using TIPv6RuleList = std::vector<TIPv6Rule>;
