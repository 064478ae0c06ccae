#include "ui/main/ActivityModel.h"

#include <algorithm>

#include "ui/icons/ListIcons.h"
#include "ui/ShownText.h"

void TActivityModel::Apply(const std::vector<TActivityEvent>& events)
{
    TBatch batch;
    for (const TActivityEvent& event : events) {
        if (event.Kind == TActivityEvent::TKind::Cleared) {
            // Whatever came before the clearing is gone for good.
            Clear();
            batch = {};
            continue;
        }
        Collect(event, batch);
    }
    ApplyUpdates(batch.Updated);
    RemoveRows(std::move(batch.Dropped));
    AppendRows(std::move(batch.Appended));
}

void TActivityModel::Collect(const TActivityEvent& event, TBatch& batch)
{
    switch (event.Kind) {
    case TActivityEvent::TKind::Appended:
        batch.Appended.push_back(event.Entry);
        break;
    case TActivityEvent::TKind::Updated: {
        // An entry appended in this batch takes the new values before it is shown.
        auto& appended = batch.Appended;
        const auto found = std::find_if(appended.rbegin(), appended.rend(),
                                        [&](const TActivityEntry& entry) { return entry.Id == event.Entry.Id; });
        if (found != appended.rend())
            *found = event.Entry;
        else
            batch.Updated.push_back(event.Entry);
        break;
    }
    case TActivityEvent::TKind::Dropped:
        for (const TActivityEntryId id : event.Ids)
            DropFromAppended(batch, id);
        break;
    case TActivityEvent::TKind::Cleared:
        break;
    }
}

void TActivityModel::DropFromAppended(TBatch& batch, TActivityEntryId id)
{
    auto& appended = batch.Appended;
    if (!appended.empty() && id >= appended.front().Id) {
        const auto found = std::find_if(appended.begin(), appended.end(),
                                        [&](const TActivityEntry& entry) { return entry.Id == id; });
        if (found != appended.end()) {
            appended.erase(found);
            return;
        }
    }
    batch.Dropped.push_back(id);
}

void TActivityModel::Clear()
{
    if (entries_.empty())
        return;
    beginResetModel();
    entries_.clear();
    endResetModel();
}

void TActivityModel::ApplyUpdates(const std::vector<TActivityEntry>& updated)
{
    for (const TActivityEntry& entry : updated) {
        const int row = RowOf(entry.Id);
        if (row < 0)
            continue;
        entries_[static_cast<std::size_t>(row)] = entry;
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
}

void TActivityModel::RemoveRows(std::vector<TActivityEntryId> dropped)
{
    std::vector<int> rows;
    rows.reserve(dropped.size());
    for (const TActivityEntryId id : dropped)
        if (const int row = RowOf(id); row >= 0)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // Runs of neighbouring rows go in one step each, last run first so that the rows of
    // the earlier runs keep their numbers.
    std::size_t end = rows.size();
    while (end > 0) {
        std::size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] + 1 == rows[begin])
            --begin;
        const int first = rows[begin];
        const int last = rows[end - 1];
        beginRemoveRows({}, first, last);
        entries_.erase(entries_.begin() + first, entries_.begin() + last + 1);
        endRemoveRows();
        end = begin;
    }
}

void TActivityModel::AppendRows(std::vector<TActivityEntry> appended)
{
    if (appended.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(appended.size()) - 1);
    std::move(appended.begin(), appended.end(), std::back_inserter(entries_));
    endInsertRows();
}

int TActivityModel::RowOf(TActivityEntryId id) const
{
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), id,
                                        [](const TActivityEntry& entry, TActivityEntryId wanted) {
                                            return entry.Id < wanted;
                                        });
    if (found == entries_.end() || found->Id != id)
        return -1;
    return static_cast<int>(found - entries_.begin());
}

int TActivityModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TActivityModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TActivityModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TActivityEntry& entry = Entry(index.row());
    if (role == Qt::DecorationRole && index.column() == IconColumn)
        return ListIcon(entry.Icon);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case DateTimeColumn:
        return QString::fromStdString(entry.DateTime);
    case FileNameColumn:
        return ShownText(entry.FileName);
    case RemoteIPColumn:
        return ShownText(entry.RemoteIP);
    case StatusColumn:
        return ShownText(entry.Status);
    default:
        return {};
    }
}

QVariant TActivityModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[ColumnCount] = {" !", "Date/Time", "Filename", "Remote IP Address",
                                                    "Status"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}
