#pragma once

#include <optional>
#include <vector>

#include <QObject>

#include "app/WindowLayout.h"
#include "core/FileEntry.h"
#include "core/TransferLog.h"
#include "ui/main/ActivityModel.h"
#include "ui/main/FilesModel.h"
#include "ui/main/TransferModel.h"

class QSplitter;
class QTreeView;
class QWidget;

/// The three list views of the main window, top to bottom in one splitter: the files
/// view, which takes every pixel the logs leave; the Transfer Log and the Activity Log, each
/// at first a quarter of the height but never lower than 128 and 83 pixels. A splitter
/// handle shows above each log that is shown, so there are two with both logs, one with
/// either and none without. Until the operator sizes it, the Filename column widens to the
/// longest name listed. GUI thread.
class TMainViews final : public QObject {
    Q_OBJECT

public:
    static constexpr int kTransferLogHeight = 128;
    static constexpr int kActivityLogHeight = 83;
    static constexpr int kLeastViewHeight = 30;
    /// The widest the Filename column grows by itself, at the reference font.
    static constexpr int kWidestFittedName = 360;

    explicit TMainViews(QWidget* parent);

    QSplitter* Splitter() const { return splitter_; }
    QTreeView* FilesView() const { return filesView_; }
    QTreeView* TransferView() const { return transferView_; }
    QTreeView* ActivityView() const { return activityView_; }
    TFilesModel& FilesModel() { return filesModel_; }
    TTransferModel& TransferModel() { return transferModel_; }
    TActivityModel& ActivityModel() { return activityModel_; }

    void ShowTransferLog(bool shown);
    void ShowActivityLog(bool shown);
    /// How many splitter handles show, for the pane switches' rule.
    int VisibleSplitterCount() const;

    /// Pane heights and column widths kept from an earlier run, in place of the first-start
    /// ones; the Filename column then stays as kept.
    void RestoreLayout(const TWindowLayout& layout);
    /// The pane heights and column widths as they are now.
    void RecordLayout(TWindowLayout& layout) const;

    /// Shows the list anew, keeping the selected entries that are still listed.
    void ReloadFiles(std::vector<FileEntry> entries);
    std::vector<TFileEntryId> SelectedFileIds() const;
    void SelectFiles(const std::vector<TFileEntryId>& ids);

    /// Shows the rows anew, keeping the selected row while it is listed.
    void ReloadTransfers(std::vector<TTransferRow> rows);
    /// The selected Transfer Log row, when exactly one is selected.
    std::optional<TTransferRow> SelectedTransferRow() const;

    /// Appends a batch of activity changes, following the newest entry when the view was
    /// scrolled to the end.
    void ApplyActivity(const std::vector<TActivityEvent>& events);

signals:
    /// Enter in the files view.
    void FilesViewEnterPressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeView* MakeView(const char* name, const QString& hint, QAbstractItemModel& model);
    void SetUpFilesView();
    void SetUpTransferView();
    void SetUpActivityView();
    void SetInitialHeights();
    void FitFilenameColumn();
    void TrackHotRow(const QPoint& position);

    TFilesModel filesModel_;
    TTransferModel transferModel_;
    TActivityModel activityModel_;
    QSplitter* splitter_;
    QTreeView* filesView_;
    QTreeView* transferView_;
    QTreeView* activityView_;
    bool heightsSet_ = false;
    std::vector<int> keptHeights_;
    bool fitNames_ = true;   // the Filename column follows the names until the operator sizes it
    bool fitting_ = false;   // the column is being widened here, not by the operator
};
