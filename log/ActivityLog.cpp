#include "log/ActivityLog.h"

#include <algorithm>
#include <utility>

#include "log/LogLine.h"
#include "log/OutputFile.h"
#include "log/PathText.h"

namespace {

constexpr std::size_t kQuickSaveChunk = 64 * 1024;

bool IsPendingStatus(std::string_view status)
{
    return status == kStatusSendingFile || status == kStatusReceivingFile;
}

enum class TQuickSaveFormat { Text, Csv, StatusOnly };

// Only the exact, lower-case extensions choose a line format; ".LOG" or ".txt" get the
// Status field alone.
TQuickSaveFormat QuickSaveFormatFor(const std::string& path)
{
    const std::string extension = FileExtension(path);
    if (extension == ".log")
        return TQuickSaveFormat::Text;
    if (extension == ".csv")
        return TQuickSaveFormat::Csv;
    return TQuickSaveFormat::StatusOnly;
}

std::string QuickSaveLine(const TActivityEntry& entry, TQuickSaveFormat format)
{
    switch (format) {
    case TQuickSaveFormat::Text:
        return FormatTextLine(entry);
    case TQuickSaveFormat::Csv:
        return FormatCsvLine(entry);
    case TQuickSaveFormat::StatusOnly:
        break;
    }
    return FormatStatusLine(entry);
}

bool WriteQuickSave(const std::string& path, const std::vector<TActivityEntry>& entries)
{
    TOutputFile file(path, TOutputFile::TMode::Replace);
    if (!file.IsOpen())
        return false;
    const TQuickSaveFormat format = QuickSaveFormatFor(path);
    std::string buffer;
    if (format == TQuickSaveFormat::Csv)
        (buffer += CsvHeaderLine()) += kLineEnd;
    for (const TActivityEntry& entry : entries) {
        (buffer += QuickSaveLine(entry, format)) += kLineEnd;
        if (buffer.size() >= kQuickSaveChunk) {
            if (!file.Write(buffer))
                return false;
            buffer.clear();
        }
    }
    return file.Write(buffer) && file.Close();
}

}  // namespace

TActivityLog::TActivityLog(std::shared_ptr<const TClock> clock, std::size_t maxEntries)
    : clock_(std::move(clock)), maxEntries_(std::max<std::size_t>(maxEntries, 1))
{
}

void TActivityLog::SetObserver(TActivityLogObserver* observer)
{
    std::lock_guard lock(entriesMutex_);
    observer_ = observer;
}

TActivityEntry TActivityLog::AddActivityEntry(TActivityIcon icon, std::string fileName,
                                              std::string remoteIP, std::string status)
{
    TActivityEntry entry{0, icon, FormatLocalDateTime(Now()), std::move(fileName),
                         std::move(remoteIP), std::move(status)};
    {
        std::lock_guard lock(entriesMutex_);
        entry = AppendLocked(std::move(entry));
    }
    DeliverEvents();
    return entry;
}

TActivityEntry TActivityLog::ReplaceLastActivityEntry(TActivityIcon icon, std::string fileName,
                                                      std::string remoteIP, std::string status)
{
    TActivityEntry entry{0, icon, FormatLocalDateTime(Now()), std::move(fileName),
                         std::move(remoteIP), std::move(status)};
    {
        std::lock_guard lock(entriesMutex_);
        if (entries_.empty()) {
            entry = AppendLocked(std::move(entry));
        } else {
            entry.Id = entries_.back().Id;
            entries_.back() = entry;
            TrackPendingLocked(entry);
            QueueLocked({TEvent::TKind::Updated, entry, {}});
        }
    }
    DeliverEvents();
    return entry;
}

std::optional<TActivityEntry> TActivityLog::FindPendingTransferEntry(TActivityEntryId id) const
{
    std::lock_guard lock(entriesMutex_);
    const TActivityEntry* entry = pending_.contains(id) ? FindLocked(id) : nullptr;
    return entry != nullptr ? std::optional<TActivityEntry>(*entry) : std::nullopt;
}

std::optional<TActivityEntry> TActivityLog::UpdateActivityEntry(const TActivityEntry& entry,
                                                                TActivityIcon icon,
                                                                std::string status)
{
    std::optional<TActivityEntry> updated;
    {
        std::lock_guard lock(entriesMutex_);
        TActivityEntry* stored = FindLocked(entry.Id);
        if (stored == nullptr)
            return std::nullopt;
        stored->Icon = icon;
        stored->Status = std::move(status);
        TrackPendingLocked(*stored);
        updated = *stored;
        QueueLocked({TEvent::TKind::Updated, *stored, {}});
    }
    DeliverEvents();
    return updated;
}

void TActivityLog::ClearActivityLog()
{
    {
        std::lock_guard lock(entriesMutex_);
        entries_.clear();
        pending_.clear();
        QueueLocked({TEvent::TKind::Cleared, {}, {}});
    }
    DeliverEvents();
}

void TActivityLog::QuickSaveActivityLog(const std::string& chosenPath)
{
    // The entries are taken once, so entries appended while the file is written are not
    // part of it.
    const std::vector<TActivityEntry> entries = Entries();
    if (entries.empty())
        return;
    const std::string path = FileExtension(chosenPath).empty() ? chosenPath + ".log" : chosenPath;
    if (WriteQuickSave(path, entries))
        AddActivityEntry(aiSuccess, kNoEventText, kNoEventText, "Application: Saved activity log.");
    else
        AddActivityEntry(aiError, kNoEventText, kNoEventText, "Application: Quick save failed!");
}

bool TActivityLog::LogCommandsEnabled() const
{
    return Count() > 0;
}

std::vector<TActivityEntry> TActivityLog::Entries() const
{
    std::lock_guard lock(entriesMutex_);
    return {entries_.begin(), entries_.end()};
}

std::size_t TActivityLog::Count() const
{
    std::lock_guard lock(entriesMutex_);
    return entries_.size();
}

std::time_t TActivityLog::Now() const
{
    return clock_->Now();
}

TActivityEntry TActivityLog::AppendLocked(TActivityEntry entry)
{
    entry.Id = nextId_++;
    entries_.push_back(entry);
    TrackPendingLocked(entry);
    QueueLocked({TEvent::TKind::Appended, entry, {}});
    DropOverflowLocked();
    return entry;
}

void TActivityLog::DropOverflowLocked()
{
    std::vector<TActivityEntryId> dropped;
    while (entries_.size() > maxEntries_) {
        // Transfers under way are kept so their completion still finds them; they are
        // few, so the oldest droppable entry is near the front.
        const auto victim = std::find_if(entries_.begin(), entries_.end(), [this](const auto& entry) {
            return !pending_.contains(entry.Id);
        });
        if (victim == entries_.end())
            break;
        dropped.push_back(victim->Id);
        entries_.erase(victim);
    }
    if (!dropped.empty())
        QueueLocked({TEvent::TKind::Dropped, {}, std::move(dropped)});
}

void TActivityLog::TrackPendingLocked(const TActivityEntry& entry)
{
    if (IsPendingStatus(entry.Status))
        pending_.insert(entry.Id);
    else
        pending_.erase(entry.Id);
}

TActivityEntry* TActivityLog::FindLocked(TActivityEntryId id)
{
    return const_cast<TActivityEntry*>(std::as_const(*this).FindLocked(id));
}

const TActivityEntry* TActivityLog::FindLocked(TActivityEntryId id) const
{
    // Ids grow with every append and keep their place, so the entries are sorted by Id.
    const auto it = std::lower_bound(
        entries_.begin(), entries_.end(), id,
        [](const TActivityEntry& entry, TActivityEntryId wanted) { return entry.Id < wanted; });
    return it != entries_.end() && it->Id == id ? &*it : nullptr;
}

void TActivityLog::QueueLocked(TEvent event)
{
    if (observer_ != nullptr)
        events_.push_back(std::move(event));
}

void TActivityLog::DeliverEvents()
{
    // Whichever thread finds no delivery under way delivers every queued event, oldest
    // first, without holding the lock while the observer runs; a thread that finds one
    // under way leaves its events to it. So the observer sees the changes in order.
    std::unique_lock lock(entriesMutex_);
    if (delivering_)
        return;
    delivering_ = true;
    while (!events_.empty()) {
        std::vector<TEvent> batch;
        batch.swap(events_);
        TActivityLogObserver* const observer = observer_;
        lock.unlock();
        if (observer != nullptr) {
            for (const TEvent& event : batch)
                Dispatch(*observer, event);
        }
        lock.lock();
    }
    delivering_ = false;
}

void TActivityLog::Dispatch(TActivityLogObserver& observer, const TEvent& event)
{
    switch (event.Kind) {
    case TEvent::TKind::Appended:
        observer.ActivityEntryAppended(event.Entry);
        break;
    case TEvent::TKind::Updated:
        observer.ActivityEntryUpdated(event.Entry);
        break;
    case TEvent::TKind::Dropped:
        observer.ActivityEntriesDropped(event.Ids);
        break;
    case TEvent::TKind::Cleared:
        observer.ActivityLogCleared();
        break;
    }
}
