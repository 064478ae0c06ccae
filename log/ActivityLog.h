#pragma once

#include <cstddef>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "log/ActivityEntry.h"
#include "log/Clock.h"

/// Told of every change of the activity log, in the order the changes were made, after
/// the log's lock was released, with copies. Calls may come from any thread that changes
/// the log; an observer must return quickly, must not throw, and may call the log.
class TActivityLogObserver {
public:
    virtual ~TActivityLogObserver() = default;
    virtual void ActivityEntryAppended(const TActivityEntry& entry) = 0;
    /// The entry with this Id now holds these values (an update or a replacement).
    virtual void ActivityEntryUpdated(const TActivityEntry& entry) = 0;
    /// These oldest entries were dropped to keep the log within its bound.
    virtual void ActivityEntriesDropped(const std::vector<TActivityEntryId>& ids) = 0;
    virtual void ActivityLogCleared() = 0;
};

/// The in-memory activity log, oldest entry first. Owned by the application core for the
/// life of the process. Appends and replacements are safe from any thread; the other
/// operations are meant for the main thread but are serialised all the same.
///
/// The log holds at most `maxEntries` entries: beyond that the oldest entries that are not
/// transfers under way are dropped, so a flood of refused requests cannot exhaust memory.
class TActivityLog {
public:
    static constexpr std::size_t kDefaultMaxEntries = 100000;

    explicit TActivityLog(std::shared_ptr<const TClock> clock = std::make_shared<TSystemClock>(),
                          std::size_t maxEntries = kDefaultMaxEntries);
    TActivityLog(const TActivityLog&) = delete;
    TActivityLog& operator=(const TActivityLog&) = delete;

    /// Set once, before other threads use the log; nullptr stops the notifications.
    void SetObserver(TActivityLogObserver* observer);

    /// Appends an entry stamped with the current local date and time; returns a copy.
    TActivityEntry AddActivityEntry(TActivityIcon icon, std::string fileName, std::string remoteIP,
                                    std::string status);

    /// Overwrites the icon and the four columns of the newest entry, with a fresh date and
    /// time; appends instead when the log is empty. Returns a copy of the result.
    TActivityEntry ReplaceLastActivityEntry(TActivityIcon icon, std::string fileName,
                                            std::string remoteIP, std::string status);

    /// The entry with this Id while it still reads "Transfer: Sending file..." or
    /// "Transfer: Receiving file...", or none. A transfer keeps the Id of the entry made
    /// when it was granted, so its outcome lands on its own entry even when another
    /// transfer of the same address is pending too.
    std::optional<TActivityEntry> FindPendingTransferEntry(TActivityEntryId id) const;

    /// Sets the icon and status of the entry with `entry`'s Id, keeping its other fields;
    /// returns the updated copy, or none when that entry is no longer in the log.
    std::optional<TActivityEntry> UpdateActivityEntry(const TActivityEntry& entry,
                                                      TActivityIcon icon, std::string status);

    /// Removes every entry. Log files are not touched.
    void ClearActivityLog();

    /// Saves the entries present when it starts to `chosenPath` (".log" appended when the
    /// name has no extension), then appends the outcome entry. An empty log does nothing.
    void QuickSaveActivityLog(const std::string& chosenPath);

    /// "Clear Log" and "Log Quick Save..." are enabled only while this holds.
    bool LogCommandsEnabled() const;

    std::vector<TActivityEntry> Entries() const;
    std::size_t Count() const;
    std::time_t Now() const;

private:
    struct TEvent {
        enum class TKind { Appended, Updated, Dropped, Cleared } Kind;
        TActivityEntry Entry;
        std::vector<TActivityEntryId> Ids;
    };

    TActivityEntry AppendLocked(TActivityEntry entry);
    void DropOverflowLocked();
    void TrackPendingLocked(const TActivityEntry& entry);
    TActivityEntry* FindLocked(TActivityEntryId id);
    const TActivityEntry* FindLocked(TActivityEntryId id) const;
    void QueueLocked(TEvent event);
    void DeliverEvents();
    static void Dispatch(TActivityLogObserver& observer, const TEvent& event);

    std::shared_ptr<const TClock> clock_;
    const std::size_t maxEntries_;
    TActivityLogObserver* observer_ = nullptr;

    // Guards the entries, their bookkeeping and the queue of notifications, so that
    // notifications leave in the order the changes were made.
    mutable std::mutex entriesMutex_;
    std::deque<TActivityEntry> entries_;
    std::set<TActivityEntryId> pending_;
    TActivityEntryId nextId_ = 1;
    std::vector<TEvent> events_;
    bool delivering_ = false;
};
