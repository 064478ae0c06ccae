#pragma once

#include <optional>
#include <vector>

#include <QAbstractTableModel>

#include "core/FileEntry.h"

/// The rows of the files view: a copy of the files list in its own order (ascending by
/// name), reloaded whole when the list changes. GUI thread only.
class TFilesModel final : public QAbstractTableModel {
public:
    enum TColumn { NameColumn, PathColumn, AccessedColumn, SizeColumn, ColumnCount };

    explicit TFilesModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void Reload(std::vector<FileEntry> entries);

    const FileEntry& Entry(int row) const { return entries_[static_cast<std::size_t>(row)]; }
    /// Row of the entry with this id, if it is shown.
    std::optional<int> RowOf(TFileEntryId id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<FileEntry> entries_;
};
