#include "ui/main/TransferModel.h"

#include <algorithm>

#include <QFont>

#include "ui/icons/ListIcons.h"
#include "ui/ShownText.h"

void TTransferModel::Reload(std::vector<TTransferRow> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    hotRow_ = -1;
    endResetModel();
}

void TTransferModel::RefreshProgress(const std::vector<TTransferRow>& rows)
{
    for (const TTransferRow& fresh : rows) {
        const std::optional<int> row = RowOf(fresh.Id);
        if (!row)
            continue;
        TTransferRow& shown = rows_[static_cast<std::size_t>(*row)];
        if (shown.StatusText() == fresh.StatusText())
            continue;
        shown = fresh;
        const QModelIndex status = index(*row, StatusColumn);
        emit dataChanged(status, status);
    }
}

std::optional<int> TTransferModel::RowOf(std::uint64_t id) const
{
    const auto found = std::find_if(rows_.begin(), rows_.end(),
                                    [id](const TTransferRow& row) { return row.Id == id; });
    if (found == rows_.end())
        return std::nullopt;
    return static_cast<int>(found - rows_.begin());
}

void TTransferModel::SetHotRow(int row)
{
    if (row == hotRow_)
        return;
    const int previous = hotRow_;
    hotRow_ = row;
    RepaintRow(previous);
    RepaintRow(hotRow_);
}

void TTransferModel::RepaintRow(int row)
{
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::FontRole});
}

int TTransferModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TTransferModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TTransferModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TTransferRow& row = Row(index.row());
    if (role == Qt::FontRole && index.row() == hotRow_) {
        QFont font;
        font.setUnderline(true);
        return font;
    }
    if (role == Qt::DecorationRole && index.column() == TypeColumn)
        return ListIcon(row.Icon());
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case TypeColumn:
        return QString::fromStdString(row.TypeText());
    case FileNameColumn:
        return ShownText(row.FileName);
    case RemoteIPColumn:
        return ShownText(row.IP);
    case RemotePortColumn:
        return QString::number(row.Port);
    case StatusColumn:
        return QString::fromStdString(row.StatusText());
    default:
        return {};
    }
}

QVariant TTransferModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[ColumnCount] = {"Transfer Type", "FileName", "Remote IP Address",
                                                    "Remote Port", "Status"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}
