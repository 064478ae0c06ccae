#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// How a rule names its peers. A rules file may carry other values; a rule of any kind
/// other than rkAddress is matched as a subnet.
enum TRuleKind : std::int32_t { rkAddress = 1, rkSubnet = 2 };

/// What a rule allows. Deny is a value of its own, never combined with Read or Write.
enum TAccessRights : std::int32_t { arRead = 1, arWrite = 2, arDeny = 3, arReadWrite = 4 };

/// The access a request asks for: a download (read request) or an upload (write request).
enum TAccessKind : std::int32_t { akRead = 1, akWrite = 2 };

/// Longest address or mask text a rule keeps; the rules file has room for no more.
inline constexpr std::size_t kRuleTextMax = 15;

/// One access rule: a single address (rkAddress, mask "255.255.255.255") or a subnet
/// (network ID and mask), with its rights. A plain value, owned by whoever holds it.
struct TSecurityRule {
    std::string Address;
    std::string Mask;
    TRuleKind Kind = rkAddress;
    TAccessRights Rights = arRead;

    bool operator==(const TSecurityRule&) const = default;
};

/// Rules in the order they are consulted: the first matching rule decides.
using TSecurityRuleList = std::vector<TSecurityRule>;
