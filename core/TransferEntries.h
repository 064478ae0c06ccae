#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "engine/PeerInfo.h"
#include "log/ActivityEntry.h"

/// What a granted transfer's completion needs: the activity entry it finishes, and
/// whether a successful download counts an access on a listed file (boot tree files
/// have no access count).
struct TGrantedTransfer {
    TActivityEntryId Entry;
    bool Listed = true;
};

/// The activity entry of each granted transfer, by its peer's address and port, so its
/// completion finishes that entry and no other. Owned by the request handlers; safe from
/// any thread (grants come from the listener thread, completions from the main thread).
class TTransferEntries {
public:
    /// The transfer of `peer` just granted reports as `granted` says.
    void Remember(const TPeerInfo& peer, TGrantedTransfer granted);
    /// The oldest granted transfer of `peer` not yet taken, or none.
    std::optional<TGrantedTransfer> Take(const TPeerInfo& peer);

private:
    using TPeerKey = std::pair<std::string, std::int32_t>;

    // A peer whose transfer ended may start the next one before the first completion
    // was handled, so each peer keeps its transfers in the order they were granted.
    std::mutex entriesMutex_;  // guards entries_
    std::map<TPeerKey, std::deque<TGrantedTransfer>> entries_;
};
