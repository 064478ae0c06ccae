#pragma once

#include <optional>
#include <vector>

#include <QAbstractTableModel>

#include "core/TransferLog.h"

/// The rows of the Transfer Log view, in the order the transfers began. Rows are reloaded
/// when the log adds, finishes or removes one; progress is refreshed in place. The row
/// under the mouse is drawn underlined. GUI thread only.
class TTransferModel final : public QAbstractTableModel {
public:
    enum TColumn { TypeColumn, FileNameColumn, RemoteIPColumn, RemotePortColumn, StatusColumn, ColumnCount };

    explicit TTransferModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void Reload(std::vector<TTransferRow> rows);
    /// Takes the new status of every shown row; rows the log no longer has stay as they
    /// are until the next Reload.
    void RefreshProgress(const std::vector<TTransferRow>& rows);

    const TTransferRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    std::optional<int> RowOf(std::uint64_t id) const;

    /// The row drawn underlined; -1 for none.
    void SetHotRow(int row);
    int HotRow() const { return hotRow_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void RepaintRow(int row);

    std::vector<TTransferRow> rows_;
    int hotRow_ = -1;
};
