#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>

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

/// The serving copy of the security rules, owned by the application core. It is replaced
/// on the main thread and checked from the listener thread; a check sees the whole old list
/// or the whole new one, never a mixture. Every method is safe to call from any thread.
class TSecurityRules {
public:
    TSecurityRules();

    /// Publishes `rules` as the new serving copy, whole.
    void Replace(TSecurityRuleList rules);

    /// Loads the rules file and publishes it. When the file cannot be read, the previous
    /// serving copy stays in force and false is returned for the caller to report.
    bool Reload(const std::filesystem::path& file);

    /// The current serving copy; it never changes under the holder.
    std::shared_ptr<const TSecurityRuleList> Snapshot() const;

    bool CheckAccess(std::string_view ip, TAccessKind kind, bool securityOn) const;

private:
    mutable std::mutex rulesLock_;  // guards rules_ (the pointer, not the list it points to)
    std::shared_ptr<const TSecurityRuleList> rules_;
};
