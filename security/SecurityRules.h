#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "security/IPv6Rule.h"
#include "security/IPv6RulesFile.h"
#include "security/RuleHits.h"
#include "security/SecurityRule.h"
#include "security/SecurityRulesFile.h"

/// Whether `ip` lies in the subnet `networkId` / `mask`: for each of the four octets,
/// (address AND mask) equals (network ID AND mask). A text that is not four dot-separated
/// decimal octets of 0 to 255 never matches.
bool AddressInSubnet(std::string_view ip, std::string_view networkId, std::string_view mask);

/// Whether the peer `ip` (its dotted text as the socket reported it) may have `kind` access
/// under `rules`. With `securityOn` false everyone is granted; otherwise the first matching
/// rule decides and a peer no rule matches is refused.
bool CheckAccess(const TSecurityRuleList& rules, std::string_view ip, TAccessKind kind,
                 bool securityOn);

/// The same decision for an IPv6 peer (its text as the socket reported it, with its
/// interface when link-local) under IPv6 rules: an address rule matches the same 16 bytes
/// however either side was written, a prefix rule the same leading bits, and a rule with an
/// interface only peers on that interface.
bool CheckIPv6Access(const TIPv6RuleList& rules, std::string_view ip, TAccessKind kind,
                     bool securityOn);

/// Decides a peer of either family: IPv6 text by the IPv6 rules, any other by the IPv4 rules.
/// Rules of one family never match a peer of the other.
bool CheckAccess(const TSecurityRuleList& rules, const TIPv6RuleList& ipv6Rules,
                 std::string_view ip, TAccessKind kind, bool securityOn);

/// Which rule decides a peer under rules that are in force: the first of its family's rules
/// that matches (its index in that list), and whether that rule grants `kind`. No rule
/// matching refuses. Whether security is on at all is the caller's question.
struct TAccessDecision {
    bool IPv6 = false;
    std::optional<std::size_t> Rule;
    bool Granted = false;
};

TAccessDecision DecideAccess(const TSecurityRuleList& rules, const TIPv6RuleList& ipv6Rules, std::string_view ip,
                             TAccessKind kind);

/// The serving copies of the IPv4 and the IPv6 security rules, owned by the application core. It is replaced
/// on the main thread and checked from the listener thread; a check sees the whole old list
/// or the whole new one, never a mixture. Each family's copy is replaced on its own.
/// Each rule counts the requests it decided (an atomic per rule); a rule that stays in a
/// new copy keeps its count. Every method is safe to call from any thread.
class TSecurityRules {
public:
    TSecurityRules();

    /// Publishes `rules` as the new serving copy, whole.
    void Replace(TSecurityRuleList rules);

    /// Loads the rules file and publishes it. When the file cannot be read, the previous
    /// serving copy stays in force and false is returned for the caller to report.
    bool Reload(const std::filesystem::path& file);

    /// Publishes `rules` as the new serving copy of the IPv6 rules, whole.
    void ReplaceIPv6(TIPv6RuleList rules);

    /// Loads the IPv6 rules file and publishes the rules it holds. When the file cannot be
    /// read, the previous IPv6 copy stays in force and nothing is returned for the caller to
    /// report; otherwise the lines that were skipped as damaged.
    std::optional<TDamagedLines> ReloadIPv6(const std::filesystem::path& file);

    /// The current serving copy; it never changes under the holder.
    std::shared_ptr<const TSecurityRuleList> Snapshot() const;
    std::shared_ptr<const TIPv6RuleList> SnapshotIPv6() const;

    /// Decides a peer of either family by the rules of its family, and counts the request
    /// on the rule that decided it. With security off nothing is counted.
    bool CheckAccess(std::string_view ip, TAccessKind kind, bool securityOn) const;

    /// The serving rules with the number of requests each decided.
    TRuleHitCounts HitCounts() const;
    /// Sets every count back to 0, as when the server starts.
    void ResetHits();

private:
    /// One published list with a counter per rule; the list never changes, the counters do.
    template <typename TList>
    struct TCounted {
        explicit TCounted(TList list) : Rules(std::move(list)), Hits(Rules.size()) {}
        TList Rules;
        mutable std::vector<std::atomic<std::uint64_t>> Hits;
    };
    using TCountedRules = TCounted<TSecurityRuleList>;
    using TCountedIPv6Rules = TCounted<TIPv6RuleList>;

    std::shared_ptr<const TCountedRules> Counted() const;
    std::shared_ptr<const TCountedIPv6Rules> CountedIPv6() const;

    mutable std::mutex rulesLock_;  // guards rules_ and ipv6Rules_ (the pointers, not the lists)
    std::shared_ptr<const TCountedRules> rules_;
    std::shared_ptr<const TCountedIPv6Rules> ipv6Rules_;
};
