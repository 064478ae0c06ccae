#include "core/TransferLog.h"

#include <algorithm>
#include <chrono>

#include "core/FileSize.h"

namespace {

// Records keep the requested name only to this length.
constexpr std::size_t kMaxRecordedName = 100;

bool SamePeer(const TTransferInfo& info, const TPeerInfo& peer)
{
    return info.IP == peer.IP && info.Port == peer.Port;
}

}  // namespace

std::string TTransferRow::StatusText() const
{
    switch (Status) {
    case TTransferStatus::Starting:
        return "Starting Transfer...";
    case TTransferStatus::Percent:
        return std::to_string(Divisor > 0 ? Position * 100 / Divisor : 0) + "% Complete...";
    case TTransferStatus::Received:
        return FormatFileSizeValue(Position) + " Received...";
    case TTransferStatus::Finished:
        break;
    }
    return "Finished";
}

std::uint32_t CurrentTick()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void TTransferLog::ReportProgress(TProgressCursor& cursor, const std::string& fileName,
                                  const TPeerInfo& peer, std::int64_t position, std::int64_t size,
                                  bool isUpload)
{
    bool rowAdded = false;
    {
        std::lock_guard guard(transferLock_);
        // The first report of a transfer only finds or makes its row.
        if (!cursor.Row)
            rowAdded = LocateLocked(cursor, fileName, peer, isUpload);
        if (!rowAdded)
            UpdateLocked(cursor, peer, position, size, isUpload);
    }
    if (rowAdded)
        Notify();
    else
        progressVersion_.fetch_add(1, std::memory_order_relaxed);
}

void TTransferLog::UpdateLocked(TProgressCursor& cursor, const TPeerInfo& peer, std::int64_t position,
                                std::int64_t size, bool isUpload)
{
    if (!cursor.Info)
        cursor.Info = FindInfoLocked(peer);
    TTransferRow& row = *cursor.Row;
    if (!isUpload) {
        row.Status = TTransferStatus::Percent;
        row.Position = position;
        row.Divisor = size;
    } else if (cursor.Info) {
        const std::int64_t total = cursor.Info->TotalSize;
        row.Status = total > 0 ? TTransferStatus::Percent : TTransferStatus::Received;
        row.Position = position;
        row.Divisor = total;
    }
    if (cursor.Info)
        cursor.Info->BytesDone = position;
}

bool TTransferLog::LocateLocked(TProgressCursor& cursor, const std::string& fileName,
                                const TPeerInfo& peer, bool isUpload)
{
    // A transfer that holds its record makes its own row: two transfers never share one.
    if (cursor.Info) {
        cursor.Row = AddRowLocked(fileName, peer, isUpload, cursor.Info).Row;
        return true;
    }
    // A row is known by name, address and port, so two transfers from one address (two
    // boards behind one NAT) keep a row each, uploads as well as downloads.
    const auto found = std::find_if(rows_.begin(), rows_.end(), [&](const TRowSlot& slot) {
        return slot.Row->FileName == fileName && slot.Row->IP == peer.IP && slot.Row->Port == peer.Port;
    });
    if (found != rows_.end()) {
        cursor.Row = found->Row;
        return false;
    }
    cursor.Row = AddRowLocked(fileName, peer, isUpload, FindInfoLocked(peer)).Row;
    return true;
}

TTransferLog::TRowSlot& TTransferLog::AddRowLocked(const std::string& fileName, const TPeerInfo& peer,
                                                   bool isUpload, TInfoPtr info)
{
    auto row = std::make_shared<TTransferRow>();
    row->Id = nextRowId_++;
    row->IsUpload = isUpload;
    row->FileName = fileName;
    row->IP = peer.IP;
    row->Port = peer.Port;
    return rows_.emplace_back(TRowSlot{std::move(row), std::move(info)});
}

TProgressCursor TTransferLog::OpenTransferInfo(const TPeerInfo& peer, const std::string& fileName,
                                               std::uint32_t startTick, bool isUpload, std::int64_t totalSize)
{
    std::lock_guard guard(transferLock_);
    DropInfoLocked(peer);
    auto info = std::make_shared<TTransferInfo>();
    info->IP = peer.IP;
    info->Port = peer.Port;
    info->FileName = fileName.substr(0, kMaxRecordedName);
    info->TotalSize = totalSize;
    info->IsUpload = isUpload;
    info->StartTick = startTick;
    infos_.push_back(info);
    return {nullptr, std::move(info)};
}

void TTransferLog::StartTransferInfo(const TPeerInfo& peer, const std::string& fileName,
                                     std::uint32_t startTick, bool isUpload, std::int64_t totalSize)
{
    OpenTransferInfo(peer, fileName, startTick, isUpload, totalSize);
}

std::optional<std::size_t> TTransferLog::FindTransferInfo(const TPeerInfo& peer) const
{
    std::lock_guard guard(transferLock_);
    const auto found = std::find_if(infos_.begin(), infos_.end(),
                                    [&](const TInfoPtr& info) { return SamePeer(*info, peer); });
    if (found == infos_.end())
        return std::nullopt;
    return static_cast<std::size_t>(found - infos_.begin());
}

std::optional<TTransferInfo> TTransferLog::TransferInfo(const TPeerInfo& peer) const
{
    std::lock_guard guard(transferLock_);
    const TInfoPtr info = FindInfoLocked(peer);
    return info ? std::optional<TTransferInfo>(*info) : std::nullopt;
}

void TTransferLog::FinishTransferInfo(const TPeerInfo& peer, std::uint32_t tick)
{
    std::lock_guard guard(transferLock_);
    if (const TInfoPtr info = FindInfoLocked(peer))
        info->FinishTick = tick;
}

void TTransferLog::DropTransferInfo(const TPeerInfo& peer)
{
    std::lock_guard guard(transferLock_);
    DropInfoLocked(peer);
}

void TTransferLog::DropTransferInfo(const TProgressCursor& transfer)
{
    std::lock_guard guard(transferLock_);
    std::erase(infos_, transfer.Info);
}

std::optional<TTransferInfo> TTransferLog::TransferInfoForRow(const TTransferRow& row) const
{
    std::lock_guard guard(transferLock_);
    const auto slot = std::find_if(rows_.begin(), rows_.end(),
                                   [&](const TRowSlot& candidate) { return candidate.Row->Id == row.Id; });
    // A row made before its record was opened knows it only by its peer.
    const TInfoPtr info = slot != rows_.end() && slot->Info ? slot->Info : FindInfoLocked({row.IP, row.Port});
    if (!info || std::find(infos_.begin(), infos_.end(), info) == infos_.end())
        return std::nullopt;
    return *info;
}

std::size_t TTransferLog::TransferInfoCount() const
{
    std::lock_guard guard(transferLock_);
    return infos_.size();
}

void TTransferLog::FinishTransfer(const TPeerInfo& peer, bool removeRow, std::uint32_t tick)
{
    {
        std::lock_guard guard(transferLock_);
        const auto slot = std::find_if(rows_.begin(), rows_.end(), [&](const TRowSlot& candidate) {
            return candidate.Row->IP == peer.IP && candidate.Row->Port == peer.Port;
        });
        if (slot == rows_.end()) {
            DropInfoLocked(peer);
            return;
        }
        FinishRowLocked(slot, removeRow, tick);
    }
    Notify();
}

void TTransferLog::FinishTransfer(const TProgressCursor& transfer, bool removeRow, std::uint32_t tick)
{
    {
        std::lock_guard guard(transferLock_);
        const auto slot = std::find_if(rows_.begin(), rows_.end(),
                                       [&](const TRowSlot& candidate) { return candidate.Row == transfer.Row; });
        if (!transfer.Row || slot == rows_.end()) {
            std::erase(infos_, transfer.Info);
            return;
        }
        FinishRowLocked(slot, removeRow, tick);
    }
    Notify();
}

void TTransferLog::FinishRowLocked(std::vector<TRowSlot>::iterator slot, bool removeRow, std::uint32_t tick)
{
    slot->Row->Status = TTransferStatus::Finished;
    const TInfoPtr info = slot->Info;
    if (removeRow) {
        rows_.erase(slot);
        if (!transferWindowOpen_)
            std::erase(infos_, info);
        else if (info)
            info->FinishTick = tick;
    } else if (info) {
        info->FinishTick = tick;
    }
}

void TTransferLog::SetTransferWindowOpen(bool open)
{
    transferWindowOpen_ = open;
    if (open)
        return;
    std::lock_guard guard(transferLock_);
    std::erase_if(infos_, [this](const TInfoPtr& info) {
        const bool rowless = std::none_of(rows_.begin(), rows_.end(),
                                          [&](const TRowSlot& slot) { return slot.Info == info; });
        return info->FinishTick != 0 && rowless;
    });
}

std::vector<TTransferRow> TTransferLog::Rows() const
{
    std::lock_guard guard(transferLock_);
    std::vector<TTransferRow> rows;
    rows.reserve(rows_.size());
    for (const TRowSlot& slot : rows_)
        rows.push_back(*slot.Row);
    return rows;
}

std::optional<TTransferRow> TTransferLog::Row(std::uint64_t id) const
{
    std::lock_guard guard(transferLock_);
    for (const TRowSlot& slot : rows_)
        if (slot.Row->Id == id)
            return *slot.Row;
    return std::nullopt;
}

TTransferLog::TInfoPtr TTransferLog::FindInfoLocked(const TPeerInfo& peer) const
{
    const auto found = std::find_if(infos_.begin(), infos_.end(),
                                    [&](const TInfoPtr& info) { return SamePeer(*info, peer); });
    return found == infos_.end() ? nullptr : *found;
}

void TTransferLog::DropInfoLocked(const TPeerInfo& peer)
{
    std::erase_if(infos_, [&](const TInfoPtr& info) { return SamePeer(*info, peer); });
}

void TTransferLog::Notify() const
{
    if (observer_ != nullptr)
        observer_->TransferRowsChanged();
}
