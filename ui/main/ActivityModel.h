#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include <QAbstractTableModel>

#include "log/ActivityEntry.h"

/// One change of the activity log as its observer reported it.
struct TActivityEvent {
    enum class TKind { Appended, Updated, Dropped, Cleared };
    TKind Kind = TKind::Appended;
    TActivityEntry Entry;                 // Appended, Updated
    std::vector<TActivityEntryId> Ids;    // Dropped
};

/// The rows of the Activity Log view: a copy of the log, kept up to date from batches of
/// its changes. A batch of thousands of appends and drops costs one insertion and a few
/// removals for the view, so a flood of refused requests leaves the window responsive.
/// GUI thread only.
class TActivityModel final : public QAbstractTableModel {
public:
    enum TColumn { IconColumn, DateTimeColumn, FileNameColumn, RemoteIPColumn, StatusColumn, ColumnCount };

    explicit TActivityModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    /// Applies the changes in the order they were made.
    void Apply(const std::vector<TActivityEvent>& events);

    const TActivityEntry& Entry(int row) const { return entries_[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    /// What a batch comes to: rows to update and drop among the present ones, rows to append.
    struct TBatch {
        std::vector<TActivityEntry> Updated;
        std::vector<TActivityEntryId> Dropped;
        std::vector<TActivityEntry> Appended;
    };

    static void Collect(const TActivityEvent& event, TBatch& batch);
    static void DropFromAppended(TBatch& batch, TActivityEntryId id);
    void Clear();
    void ApplyUpdates(const std::vector<TActivityEntry>& updated);
    void RemoveRows(std::vector<TActivityEntryId> dropped);
    void AppendRows(std::vector<TActivityEntry> appended);
    /// Row of the entry with this id, or -1; the rows are in ascending id order.
    int RowOf(TActivityEntryId id) const;

    std::deque<TActivityEntry> entries_;
};
