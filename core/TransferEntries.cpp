#include "core/TransferEntries.h"

void TTransferEntries::Remember(const TPeerInfo& peer, TGrantedTransfer granted)
{
    std::lock_guard lock(entriesMutex_);
    entries_[{peer.IP, peer.Port}].push_back(granted);
}

std::optional<TGrantedTransfer> TTransferEntries::Take(const TPeerInfo& peer)
{
    std::lock_guard lock(entriesMutex_);
    const auto found = entries_.find({peer.IP, peer.Port});
    if (found == entries_.end())
        return std::nullopt;
    const TGrantedTransfer granted = found->second.front();
    found->second.pop_front();
    if (found->second.empty())
        entries_.erase(found);
    return granted;
}
