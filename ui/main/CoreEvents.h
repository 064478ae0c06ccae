#pragma once

#include <mutex>
#include <vector>

#include <QObject>
#include <QTimer>

#include "app/ApplicationCore.h"
#include "ui/main/ActivityModel.h"

/// The application core's observer on the window's side. The core calls it from any
/// thread; it only records what changed and, once per burst, asks the GUI thread to pass
/// the changes on a moment later. A burst of any size therefore costs the GUI thread one
/// update of each view, so thousands of refused requests a second leave the window
/// responsive. Created on the GUI thread; must outlive the core it observes.
class TCoreEvents final : public QObject, public TApplicationObserver {
    Q_OBJECT

public:
    /// How long changes gather before the views see them.
    static constexpr int kCoalesceMs = 100;

    explicit TCoreEvents(QObject* parent = nullptr);

    // Any thread.
    void ActivityEntryAppended(const TActivityEntry& entry) override;
    void ActivityEntryUpdated(const TActivityEntry& entry) override;
    void ActivityEntriesDropped(const std::vector<TActivityEntryId>& ids) override;
    void ActivityLogCleared() override;
    void FilesListChanged() override;
    void TransferRowsChanged() override;
    void StatusTextsChanged() override;

    // Main thread.
    void AutoRefreshTimerChanged(bool enabled, int periodMs) override;
    void ServerCommandsChanged(bool startEnabled, bool stopEnabled) override;

    /// Passes on everything recorded so far, now. GUI thread only.
    void Flush();

signals:
    void ActivityBatch(const std::vector<TActivityEvent>& events);
    void FilesDirty();
    void TransfersDirty();
    void StatusDirty();
    void AutoRefreshTimerRequested(bool enabled, int periodMs);
    void ServerCommandsRequested(bool startEnabled, bool stopEnabled);

private:
    struct TPending {
        std::vector<TActivityEvent> Activity;
        bool Files = false;
        bool Transfers = false;
        bool Status = false;
    };

    template <typename Change>
    void Record(Change change);

    QTimer coalesceTimer_;
    std::mutex pendingLock_;  // guards pending_ and flushScheduled_
    TPending pending_;
    bool flushScheduled_ = false;
};
