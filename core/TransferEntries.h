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

/// The activity entry of each granted transfer, by its peer's address and port, so its
/// completion finishes that entry and no other. Owned by the request handlers; safe from
/// any thread (grants come from the listener thread, completions from the main thread).
class TTransferEntries {
public:
    /// The transfer of `peer` just granted reports on the entry `id`.
    void Remember(const TPeerInfo& peer, TActivityEntryId id);
    /// The entry of the oldest granted transfer of `peer` not yet taken, or none.
    std::optional<TActivityEntryId> Take(const TPeerInfo& peer);

private:
    using TPeerKey = std::pair<std::string, std::int32_t>;

    // A peer whose transfer ended may start the next one before the first completion
    // was handled, so each peer keeps its entries in the order they were granted.
    std::mutex entriesMutex_;  // guards entries_
    std::map<TPeerKey, std::deque<TActivityEntryId>> entries_;
};
