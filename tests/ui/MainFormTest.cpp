#include "ui/main/MainForm.h"

#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

#include "tests/ui/MainFormHarness.h"
#include "ui/main/DownloadCommand.h"
#include "ui/main/MainViews.h"
#include "ui/main/ViewColumns.h"

namespace {

QStringList ActionTexts(const QWidget& container)
{
    QStringList texts;
    for (const QAction* action : container.actions())
        texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
    return texts;
}

QStringList HeaderTitles(const QTreeView& view)
{
    QStringList titles;
    for (int column = 0; column < view.model()->columnCount(); ++column)
        titles << view.model()->headerData(column, Qt::Horizontal).toString();
    return titles;
}

}  // namespace

/// What the main window shows and where its commands sit: views, status bar, menus,
/// toolbar, context menus with their enabling, and the pane switches.
class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void titleAndLeastWidth()
    {
        TMainFormHarness h;
        QCOMPARE(h.Form->windowTitle(), QStringLiteral("Veltrane Desktop   v3.2"));
        QCOMPARE(h.Form->minimumWidth(), 460);
    }

    void viewsShowTheirColumns_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<int>>("widths");  // 0: the column that fills
        QTest::newRow("files") << "FilesView" << "List of files available for download"
                               << QStringList{"Filename", "Path", "Accessed", "Size"} << QList<int>{110, 0, 62, 80};
        QTest::newRow("transfers") << "ProgressListView" << "Transfer Log"
                                   << QStringList{"Transfer Type", "FileName", "Remote IP Address", "Remote Port",
                                                  "Status"}
                                   << QList<int>{82, 0, 118, 75, 180};
        QTest::newRow("activity") << "ActivityView" << "Activity Log"
                                  << QStringList{" !", "Date/Time", "Filename", "Remote IP Address", "Status"}
                                  << QList<int>{25, 130, 0, 120, 180};
    }

    void viewsShowTheirColumns()
    {
        QFETCH(QString, view);
        QFETCH(QString, hint);
        QFETCH(QStringList, titles);
        QFETCH(QList<int>, widths);
        TMainFormHarness h;
        h.Form->show();
        auto* tree = h.Form->findChild<QTreeView*>(view);
        QVERIFY(tree != nullptr);
        QCOMPARE(tree->toolTip(), hint);
        QCOMPARE(HeaderTitles(*tree), titles);
        for (int column = 0; column < widths.size(); ++column) {
            if (widths[column] == 0)
                QCOMPARE(tree->header()->sectionResizeMode(column), QHeaderView::Stretch);
            else  // the defined width scaled to the font, or wider where a text needs it
                QVERIFY(tree->header()->sectionSize(column) >=
                        ScaledWidth(widths[column], QFontMetricsF(tree->font()).averageCharWidth()));
        }
    }

    void transferTypeAndPortColumnsAreNotWidened()
    {
        TMainFormHarness h;
        QHeaderView* header = h.Find<QTreeView>("ProgressListView")->header();
        const int typeWidth = header->sectionSize(0);
        const int portWidth = header->sectionSize(3);
        header->resizeSection(0, 300);
        header->resizeSection(3, 250);
        QCOMPARE(header->sectionSize(0), typeWidth);
        QCOMPARE(header->sectionSize(3), portWidth);
        header->resizeSection(0, 50);
        QCOMPARE(header->sectionSize(0), 50);
    }

    void filesViewSelectsSeveralWholeRows()
    {
        TMainFormHarness h;
        auto* files = h.Find<QTreeView>("FilesView");
        QCOMPARE(files->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(files->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(h.Find<QTreeView>("ProgressListView")->selectionMode(), QAbstractItemView::SingleSelection);
    }

    void logsStartAtLeastAtTheirHeightsAndFilesViewTakesTheRest()
    {
        TMainFormHarness h;
        h.Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.Form.get()));
        const QList<int> sizes = h.Form->Views().Splitter()->sizes();
        QVERIFY(sizes.at(1) >= 128);
        QVERIFY(sizes.at(2) >= 83);
        QVERIFY(sizes.at(0) > 30);
        QCOMPARE(h.Find<QTreeView>("FilesView")->minimumHeight(), 30);
        QCOMPARE(h.Find<QTreeView>("ActivityView")->minimumHeight(), 30);
    }

    void statusBarHasTwoPanelsOf200Pixels()
    {
        TMainFormHarness h;
        QVERIFY(h.Find<QStatusBar>("StatusBar1") != nullptr);
        auto* state = h.Find<QLabel>("StatusPanel0");
        auto* count = h.Find<QLabel>("StatusPanel1");
        QCOMPARE(state->text(), QStringLiteral("Stopped."));
        QCOMPARE(count->text(), QStringLiteral("Connection count: 0"));
        QCOMPARE(state->width(), 200);
        QCOMPARE(count->width(), 200);
    }

    void menusHoldTheirItemsInOrder_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("Session") << "SessionMenu"
                                 << QStringList{"Open Files List...", "Save Files List...", "|", "Start TFTP",
                                                "Stop TFTP", "|", "Exit"};
        QTest::newRow("Setup") << "SetupMenu" << QStringList{"Configuration..."};
        QTest::newRow("View") << "ViewMenu"
                              << QStringList{"Show Toolbar", "Show Status Bar", "Show Activity Log",
                                             "Show Transfer Log", "|", "Clear Activity Log", "Refresh Files List"};
        QTest::newRow("Help") << "HelpMenu"
                              << QStringList{"Check For Updates...", "Tip Of The Day...", "Website...", "|",
                                             "Help...", "|", "About..."};
        QTest::newRow("files popup") << "FilesPopupMenu"
                                     << QStringList{"Add File(s)...", "Remove File(s)", "|", "Refresh Device List",
                                                    "Un/Suspend File(s)", "Clear Access Count", "|",
                                                    "File information...", "Copy Download Command"};
        QTest::newRow("activity popup") << "ActivityPopupMenu" << QStringList{"Clear Log", "Log Quick Save..."};
        QTest::newRow("transfer popup") << "TransferPopupMenu" << QStringList{"Details..."};
        QTest::newRow("tray") << "TrayPopupMenu" << QStringList{"Display", "Log Quick Save...", "Exit"};
    }

    void menusHoldTheirItemsInOrder()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, items);
        TMainFormHarness h;
        QMenu* found = h.Form->findChild<QMenu*>(menu);
        QVERIFY(found != nullptr);
        QCOMPARE(ActionTexts(*found), items);
    }

    void menuBarOrder()
    {
        TMainFormHarness h;
        QCOMPARE(ActionTexts(*h.Form->menuBar()), (QStringList{"Session", "Setup", "View", "Help"}));
    }

    void menuItemsHaveTheirShortcuts_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("open") << "OpenFilesListItem" << QKeySequence(Qt::Key_F6);
        QTest::newRow("save") << "SaveFilesListItem" << QKeySequence(Qt::Key_F7);
        QTest::newRow("start") << "StartTFTPItem" << QKeySequence(Qt::Key_F9);
        QTest::newRow("stop") << "StopTFTPItem" << QKeySequence(Qt::Key_F10);
        QTest::newRow("exit") << "ExitItem" << QKeySequence(Qt::CTRL | Qt::Key_F4);
        QTest::newRow("configuration") << "ConfigurationItem" << QKeySequence(Qt::Key_F4);
        QTest::newRow("clear log") << "ClearActivityLogItem" << QKeySequence(Qt::Key_Delete);
        QTest::newRow("refresh") << "RefreshFilesListItem" << QKeySequence(Qt::Key_F5);
        QTest::newRow("updates") << "CheckForUpdatesItem" << QKeySequence(Qt::Key_F8);
        QTest::newRow("tip") << "TipOfTheDayItem" << QKeySequence(Qt::Key_Insert);
        QTest::newRow("website") << "WebsiteItem" << QKeySequence();
        QTest::newRow("help") << "HelpItem" << QKeySequence(Qt::Key_F1);
        QTest::newRow("about") << "AboutItem" << QKeySequence(Qt::Key_F3);
    }

    void menuItemsHaveTheirShortcuts()
    {
        QFETCH(QString, item);
        QFETCH(QKeySequence, keys);
        TMainFormHarness h;
        QAction* action = h.Form->findChild<QAction*>(item);
        QVERIFY(action != nullptr);
        QCOMPARE(action->shortcut(), keys);
    }

    void toolbarButtonsInSevenGroups()
    {
        TMainFormHarness h;
        QCOMPARE(ActionTexts(*h.Find<QToolBar>("ToolBar")),
                 (QStringList{"Open Files List...", "Save Files List...", "|", "Start TFTP", "Stop TFTP", "|",
                              "Add Files...", "Remove Files", "Add Folder Contents...", "|", "Refresh Files List",
                              "Remove All Files", "|", "Clear Activity Log", "|", "Configuration Settings...", "|",
                              "About...", "Exit"}));
        for (const QAction* action : h.Find<QToolBar>("ToolBar")->actions())
            if (!action->isSeparator())
                QCOMPARE(action->toolTip(), action->text());
    }

    void filesPopupEnabling_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QList<bool>>("enabled");  // add, remove, refresh, suspend, clear count, information
        QTest::newRow("empty view") << 0 << 0 << QList<bool>{true, false, false, false, false, false};
        QTest::newRow("rows, none selected") << 2 << 0 << QList<bool>{true, false, true, false, false, false};
        QTest::newRow("one selected") << 2 << 1 << QList<bool>{true, true, true, true, true, true};
        QTest::newRow("two selected") << 2 << 2 << QList<bool>{true, true, true, true, true, false};
    }

    void filesPopupEnabling()
    {
        QFETCH(int, rows);
        QFETCH(int, selected);
        QFETCH(QList<bool>, enabled);
        TMainFormHarness h;
        if (rows > 0)
            h.ListFiles({"a.bin", "b.bin"});
        std::vector<TFileEntryId> ids;
        for (int row = 0; row < selected; ++row)
            ids.push_back(h.Form->Views().FilesModel().Entry(row).Id);
        h.Form->Views().SelectFiles(ids);
        emit h.Find<QMenu>("FilesPopupMenu")->aboutToShow();
        const char* items[] = {"AddFilesPopupItem",      "RemoveFilesPopupItem",      "RefreshDeviceListPopupItem",
                               "ToggleSuspendPopupItem", "ClearAccessCountPopupItem", "FileInformationPopupItem"};
        for (int i = 0; i < 6; ++i)
            QVERIFY2(h.Action(items[i])->isEnabled() == enabled[i], items[i]);
    }

    void copyDownloadCommandPutsTheSelectedFilesCommandsOnTheClipboard()
    {
        TMainFormHarness h(std::string(kQuietSettings) + "[IP Settings]\nBind=127.0.0.1\n[TFTP Settings]\nMaxWindowSize=8\n");
        h.ListFiles({"a.bin", "my file.bin"});
        QMenu* menu = h.Find<QMenu>("CopyDownloadCommandMenu");
        emit h.Find<QMenu>("FilesPopupMenu")->aboutToShow();
        QVERIFY(!menu->menuAction()->isEnabled());
        h.Form->Views().SelectFiles({h.Form->Views().FilesModel().Entry(1).Id});
        emit h.Find<QMenu>("FilesPopupMenu")->aboutToShow();
        QVERIFY(menu->menuAction()->isEnabled());
        emit menu->aboutToShow();
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().front()->text(), QStringLiteral("127.0.0.1"));
        h.Action("StartTFTPItem")->trigger();
        menu->actions().front()->trigger();
        const int port = h.Core().Engine().Bindings()[0].Port();
        QVERIFY(port > 0);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 DownloadCommands(QStringLiteral("my file.bin"), QStringLiteral("127.0.0.1"), port, 8));
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(
            QStringLiteral("curl -o 'my file.bin' tftp://127.0.0.1:%1/my%20file.bin\n").arg(port)));
    }

    void activityPopupNeedsEntries()
    {
        TMainFormHarness h;
        QMenu* popup = h.Find<QMenu>("ActivityPopupMenu");
        emit popup->aboutToShow();
        QVERIFY(!h.Action("ClearLogPopupItem")->isEnabled());
        QVERIFY(!h.Action("LogQuickSavePopupItem")->isEnabled());
        h.Core().ActivityLog().AddActivityEntry(aiSuccess, " ", " ", "Application: Saved file list.");
        emit popup->aboutToShow();
        QVERIFY(h.Action("ClearLogPopupItem")->isEnabled());
        QVERIFY(h.Action("LogQuickSavePopupItem")->isEnabled());
    }

    void detailsNeedsOneSelectedTransfer()
    {
        TMainFormHarness h;
        QMenu* popup = h.Find<QMenu>("TransferPopupMenu");
        emit popup->aboutToShow();
        QVERIFY(!h.Action("DetailsPopupItem")->isEnabled());
        TProgressCursor cursor;
        h.Core().TransferLog().ReportProgress(cursor, "/srv/boot.bin", {"10.0.0.5", 2070}, 0, 100, false);
        h.Flush();
        emit popup->aboutToShow();
        QVERIFY(!h.Action("DetailsPopupItem")->isEnabled());
        h.Find<QTreeView>("ProgressListView")->setCurrentIndex(h.Form->Views().TransferModel().index(0, 0));
        emit popup->aboutToShow();
        QVERIFY(h.Action("DetailsPopupItem")->isEnabled());
    }

    void hidingBothLogsRemovesBothSplitters()
    {
        TMainFormHarness h;
        h.Form->show();
        TMainViews& views = h.Form->Views();
        QCOMPARE(views.VisibleSplitterCount(), 2);
        h.Action("ShowActivityLogItem")->trigger();
        QCOMPARE(views.VisibleSplitterCount(), 1);
        h.Action("ShowTransferLogItem")->trigger();
        QCOMPARE(views.VisibleSplitterCount(), 0);
        QVERIFY(!views.TransferView()->isVisible());
        QVERIFY(!views.ActivityView()->isVisible());
        h.Action("ShowTransferLogItem")->trigger();
        QCOMPARE(views.VisibleSplitterCount(), 1);
        QVERIFY(views.TransferView()->isVisible());
        QVERIFY(!views.ActivityView()->isVisible());
        h.Action("ShowActivityLogItem")->trigger();
        QCOMPARE(views.VisibleSplitterCount(), 2);
        QVERIFY(views.TransferView()->geometry().bottom() < views.ActivityView()->geometry().top());
    }

    void paneSwitchesStartTickedAndToggle()
    {
        TMainFormHarness h;
        for (const char* item : {"ShowToolbarItem", "ShowStatusBarItem", "ShowActivityLogItem", "ShowTransferLogItem"}) {
            QVERIFY(h.Action(item)->isChecked());
            h.Action(item)->trigger();
            QVERIFY(!h.Action(item)->isChecked());
        }
    }

    void statusBarComesBackAtTheBottom()
    {
        TMainFormHarness h;
        h.Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.Form.get()));
        QStatusBar* bar = h.Find<QStatusBar>("StatusBar1");
        h.Action("ShowStatusBarItem")->trigger();
        QVERIFY(!bar->isVisible());
        h.Action("ShowStatusBarItem")->trigger();
        QVERIFY(bar->isVisible());
        QTRY_VERIFY(bar->geometry().top() >= h.Form->centralWidget()->geometry().bottom());
        QVERIFY(h.Form->Views().ActivityView()->isVisible());
    }

    void toolbarSwitch()
    {
        TMainFormHarness h;
        h.Form->show();
        h.Action("ShowToolbarItem")->trigger();
        QVERIFY(!h.Find<QToolBar>("ToolBar")->isVisible());
        h.Action("ShowToolbarItem")->trigger();
        QVERIFY(h.Find<QToolBar>("ToolBar")->isVisible());
    }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
