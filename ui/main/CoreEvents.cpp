#include "ui/main/CoreEvents.h"

#include <utility>

TCoreEvents::TCoreEvents(QObject* parent) : QObject(parent)
{
    coalesceTimer_.setSingleShot(true);
    coalesceTimer_.setInterval(kCoalesceMs);
    connect(&coalesceTimer_, &QTimer::timeout, this, &TCoreEvents::Flush);
}

template <typename Change>
void TCoreEvents::Record(Change change)
{
    bool schedule = false;
    {
        std::lock_guard guard(pendingLock_);
        change(pending_);
        schedule = !std::exchange(flushScheduled_, true);
    }
    // Only the first change of a burst posts to the GUI thread.
    if (schedule)
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!coalesceTimer_.isActive())
                    coalesceTimer_.start();
            },
            Qt::QueuedConnection);
}

void TCoreEvents::ActivityEntryAppended(const TActivityEntry& entry)
{
    Record([&](TPending& pending) {
        pending.Activity.push_back({TActivityEvent::TKind::Appended, entry, {}});
    });
}

void TCoreEvents::ActivityEntryUpdated(const TActivityEntry& entry)
{
    Record([&](TPending& pending) {
        pending.Activity.push_back({TActivityEvent::TKind::Updated, entry, {}});
    });
}

void TCoreEvents::ActivityEntriesDropped(const std::vector<TActivityEntryId>& ids)
{
    Record([&](TPending& pending) {
        // Made in place: a braced temporary with an empty entry draws a false
        // "may be used uninitialized" from GCC 12's optimiser.
        TActivityEvent& dropped = pending.Activity.emplace_back();
        dropped.Kind = TActivityEvent::TKind::Dropped;
        dropped.Ids = ids;
    });
}

void TCoreEvents::ActivityLogCleared()
{
    Record([](TPending& pending) {
        // Nothing recorded before the clearing can matter any more.
        pending.Activity.clear();
        pending.Activity.push_back({TActivityEvent::TKind::Cleared, {}, {}});
    });
}

void TCoreEvents::FilesListChanged()
{
    Record([](TPending& pending) { pending.Files = true; });
}

void TCoreEvents::TransferRowsChanged()
{
    Record([](TPending& pending) { pending.Transfers = true; });
}

void TCoreEvents::StatusTextsChanged()
{
    Record([](TPending& pending) { pending.Status = true; });
}

void TCoreEvents::AutoRefreshTimerChanged(bool enabled, int periodMs)
{
    emit AutoRefreshTimerRequested(enabled, periodMs);
}

void TCoreEvents::ServerCommandsChanged(bool startEnabled, bool stopEnabled)
{
    emit ServerCommandsRequested(startEnabled, stopEnabled);
}

void TCoreEvents::Flush()
{
    TPending taken;
    {
        std::lock_guard guard(pendingLock_);
        taken = std::exchange(pending_, {});
        flushScheduled_ = false;
    }
    if (!taken.Activity.empty())
        emit ActivityBatch(taken.Activity);
    if (taken.Files)
        emit FilesDirty();
    if (taken.Transfers)
        emit TransfersDirty();
    if (taken.Status)
        emit StatusDirty();
}
