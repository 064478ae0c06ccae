#include "ui/main/FilesModel.h"

#include <algorithm>

#include "ui/icons/ListIcons.h"
#include "ui/ShownText.h"

void TFilesModel::Reload(std::vector<FileEntry> entries)
{
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

std::optional<int> TFilesModel::RowOf(TFileEntryId id) const
{
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [id](const FileEntry& entry) { return entry.Id == id; });
    if (found == entries_.end())
        return std::nullopt;
    return static_cast<int>(found - entries_.begin());
}

int TFilesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TFilesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TFilesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const FileEntry& entry = Entry(index.row());
    if (role == Qt::DecorationRole && index.column() == NameColumn)
        return ListIcon(FileStateIcon(entry.State));
    if (role == Qt::TextAlignmentRole && index.column() == AccessedColumn)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case NameColumn:
        return ShownText(entry.Name);
    case PathColumn:
        return ShownText(entry.Folder);
    case AccessedColumn:
        return QString::number(entry.AccessCount);
    case SizeColumn:
        return QString::fromStdString(entry.SizeText);
    default:
        return {};
    }
}

QVariant TFilesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole && section == AccessedColumn)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    static const char* const titles[ColumnCount] = {"Filename", "Path", "Accessed", "Size"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}
