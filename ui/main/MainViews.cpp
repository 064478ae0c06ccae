#include "ui/main/MainViews.h"

#include <algorithm>
#include <ctime>

#include <QEvent>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeView>

#include "log/Clock.h"
#include "ui/main/ViewColumns.h"

namespace {

/// A late date and a two-digit hour in the user's locale: as wide as the column's texts get.
QString WidestDateTime()
{
    std::tm late{};
    late.tm_year = 2028 - 1900;
    late.tm_mon = 11;
    late.tm_mday = 28;
    late.tm_hour = 22;
    late.tm_min = 58;
    late.tm_sec = 58;
    late.tm_isdst = -1;
    return QString::fromStdString(FormatLocalDateTime(std::mktime(&late)));
}

const QStringList kStatusTexts{
    QStringLiteral("Send error: Max connections reached!"),
    QStringLiteral("Receive error: Max connections reached!"),
    QStringLiteral("Transfer: Receive file complete."),
};

}  // namespace

TMainViews::TMainViews(QWidget* parent)
    : QObject(parent),
      splitter_(new QSplitter(Qt::Vertical, parent)),
      filesView_(MakeView("FilesView", QStringLiteral("List of files available for download"), filesModel_)),
      transferView_(MakeView("ProgressListView", QStringLiteral("Transfer Log"), transferModel_)),
      activityView_(MakeView("ActivityView", QStringLiteral("Activity Log"), activityModel_))
{
    splitter_->setObjectName(QStringLiteral("ViewSplitter"));
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(filesView_);
    splitter_->addWidget(transferView_);
    splitter_->addWidget(activityView_);
    // A taller or shorter window changes the files view only.
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    splitter_->setStretchFactor(2, 0);
    splitter_->installEventFilter(this);
    SetUpFilesView();
    SetUpTransferView();
    SetUpActivityView();
}

QTreeView* TMainViews::MakeView(const char* name, const QString& hint, QAbstractItemModel& model)
{
    auto* view = new QTreeView(splitter_);
    view->setObjectName(QString::fromLatin1(name));
    view->setToolTip(hint);
    view->setModel(&model);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSortingEnabled(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->header()->setSectionsMovable(false);
    return view;
}

void TMainViews::SetUpFilesView()
{
    filesView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    filesView_->setMinimumHeight(kLeastViewHeight);
    filesView_->installEventFilter(this);
    SetUpColumns(*filesView_, {{110}, {0}, {62}, {80, false, {QStringLiteral("1000 bytes")}}});
    connect(filesView_->header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (column == TFilesModel::NameColumn && !fitting_)
            fitNames_ = false;
    });
}

void TMainViews::SetUpTransferView()
{
    transferView_->setSelectionMode(QAbstractItemView::SingleSelection);
    transferView_->setMouseTracking(true);
    transferView_->viewport()->installEventFilter(this);
    SetUpColumns(*transferView_, {{82, true, {QStringLiteral("Download"), QStringLiteral("Upload")}, true},
                                  {0},
                                  {118, false, {QStringLiteral("255.255.255.255")}},
                                  {75, true, {QStringLiteral("65535")}},
                                  {180, false, {QStringLiteral("Starting Transfer...")}}});
}

void TMainViews::SetUpActivityView()
{
    activityView_->setSelectionMode(QAbstractItemView::SingleSelection);
    activityView_->setMinimumHeight(kLeastViewHeight);
    SetUpColumns(*activityView_, {{25, false, {}, true},
                                  {130, false, {WidestDateTime()}},
                                  {0},
                                  {120, false, {QStringLiteral("255.255.255.255")}},
                                  {180, false, kStatusTexts}});
}

void TMainViews::ShowTransferLog(bool shown)
{
    transferView_->setVisible(shown);
    // The handles follow at once rather than at the next layout pass.
    splitter_->refresh();
}

void TMainViews::ShowActivityLog(bool shown)
{
    activityView_->setVisible(shown);
    splitter_->refresh();
}

int TMainViews::VisibleSplitterCount() const
{
    int count = 0;
    for (int i = 0; i < splitter_->count(); ++i)
        if (!splitter_->handle(i)->isHidden())
            ++count;
    return count;
}

void TMainViews::SetInitialHeights()
{
    heightsSet_ = true;
    if (!keptHeights_.empty()) {
        // Scaled by the splitter to its own height, should the window now be another size.
        splitter_->setSizes(QList<int>(keptHeights_.begin(), keptHeights_.end()));
        return;
    }
    const int height = splitter_->height() - 2 * splitter_->handleWidth();
    const int transfers = std::max(kTransferLogHeight, height / 4);
    const int activity = std::max(kActivityLogHeight, height / 4);
    splitter_->setSizes({std::max(kLeastViewHeight, height - transfers - activity), transfers, activity});
}

void TMainViews::RestoreLayout(const TWindowLayout& layout)
{
    if (layout.PaneHeights.size() == 3) {
        keptHeights_ = layout.PaneHeights;
        if (heightsSet_)
            SetInitialHeights();
    }
    if (!layout.FilesColumns.empty()) {
        RestoreColumnWidths(*filesView_, layout.FilesColumns);
        fitNames_ = false;
    }
    RestoreColumnWidths(*transferView_, layout.TransferColumns);
    RestoreColumnWidths(*activityView_, layout.ActivityColumns);
}

void TMainViews::RecordLayout(TWindowLayout& layout) const
{
    // A window never shown (started in the tray) has not laid its panes out yet.
    const QList<int> heights = splitter_->sizes();
    if (heightsSet_)
        layout.PaneHeights.assign(heights.begin(), heights.end());
    else
        layout.PaneHeights = keptHeights_;
    layout.FilesColumns = ColumnWidths(*filesView_);
    layout.TransferColumns = ColumnWidths(*transferView_);
    layout.ActivityColumns = ColumnWidths(*activityView_);
}

void TMainViews::FitFilenameColumn()
{
    const int column = TFilesModel::NameColumn;
    const int widest = ScaledWidth(kWidestFittedName, QFontMetricsF(filesView_->font()).averageCharWidth());
    // Public in the base class: the widest cell of the rows the view lays out.
    const int wanted = std::min(widest, static_cast<const QAbstractItemView&>(*filesView_).sizeHintForColumn(column));
    if (wanted <= filesView_->header()->sectionSize(column))
        return;
    fitting_ = true;
    filesView_->header()->resizeSection(column, wanted);
    fitting_ = false;
}

bool TMainViews::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == splitter_ && event->type() == QEvent::Resize && !heightsSet_ && splitter_->height() > 0)
        SetInitialHeights();
    if (watched == filesView_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit FilesViewEnterPressed();
            return true;
        }
    }
    if (watched == transferView_->viewport()) {
        if (event->type() == QEvent::MouseMove)
            TrackHotRow(static_cast<QMouseEvent*>(event)->position().toPoint());
        else if (event->type() == QEvent::Leave)
            TrackHotRow({-1, -1});
    }
    return QObject::eventFilter(watched, event);
}

void TMainViews::TrackHotRow(const QPoint& position)
{
    const QModelIndex under = transferView_->indexAt(position);
    transferModel_.SetHotRow(under.isValid() ? under.row() : -1);
    if (under.isValid())
        transferView_->viewport()->setCursor(Qt::PointingHandCursor);
    else
        transferView_->viewport()->unsetCursor();
}

void TMainViews::ReloadFiles(std::vector<FileEntry> entries)
{
    const std::vector<TFileEntryId> selected = SelectedFileIds();
    const QModelIndex current = filesView_->currentIndex();
    const std::optional<TFileEntryId> currentId =
        current.isValid() ? std::optional(filesModel_.Entry(current.row()).Id) : std::nullopt;
    filesModel_.Reload(std::move(entries));
    if (fitNames_)
        FitFilenameColumn();
    if (currentId)
        if (const auto row = filesModel_.RowOf(*currentId))
            filesView_->selectionModel()->setCurrentIndex(filesModel_.index(*row, 0), QItemSelectionModel::NoUpdate);
    SelectFiles(selected);
}

std::vector<TFileEntryId> TMainViews::SelectedFileIds() const
{
    std::vector<TFileEntryId> ids;
    const QModelIndexList rows = filesView_->selectionModel()->selectedRows();
    ids.reserve(static_cast<std::size_t>(rows.size()));
    for (const QModelIndex& row : rows)
        ids.push_back(filesModel_.Entry(row.row()).Id);
    return ids;
}

void TMainViews::SelectFiles(const std::vector<TFileEntryId>& ids)
{
    QItemSelection selection;
    for (const TFileEntryId id : ids)
        if (const auto row = filesModel_.RowOf(id))
            selection.select(filesModel_.index(*row, 0), filesModel_.index(*row, TFilesModel::ColumnCount - 1));
    filesView_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TMainViews::ReloadTransfers(std::vector<TTransferRow> rows)
{
    const std::optional<TTransferRow> selected = SelectedTransferRow();
    transferModel_.Reload(std::move(rows));
    if (!selected)
        return;
    if (const auto row = transferModel_.RowOf(selected->Id))
        transferView_->selectionModel()->setCurrentIndex(
            transferModel_.index(*row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::optional<TTransferRow> TMainViews::SelectedTransferRow() const
{
    const QModelIndexList rows = transferView_->selectionModel()->selectedRows();
    if (rows.size() != 1)
        return std::nullopt;
    return transferModel_.Row(rows.front().row());
}

void TMainViews::ApplyActivity(const std::vector<TActivityEvent>& events)
{
    const QScrollBar& bar = *activityView_->verticalScrollBar();
    const bool following = bar.value() == bar.maximum();
    activityModel_.Apply(events);
    if (following)
        activityView_->scrollToBottom();
}
