#include "ui/main/MainCommands.h"

#include <thread>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include "tests/support/RawClient.h"
#include "tests/ui/EventFence.h"
#include "tests/ui/MainFormHarness.h"
#include "tests/ui/ModalWatcher.h"
#include "ui/main/MainViews.h"

namespace {

std::string ServingSettings()
{
    return std::string(kQuietSettings) + "[IP Settings]\nBind=127.0.0.1\n";
}

void Drop(QWidget& target, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
}

QString StateText(const TMainFormHarness& h)
{
    return h.Find<QLabel>("StatusPanel0")->text();
}

}  // namespace

/// The commands of the main window, reached from menus, toolbar, context menus, tray,
/// keys, double clicks and drops, each doing what its operation does.
class MainCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void clearActivityLogFromEveryPlace_data()
    {
        QTest::addColumn<QString>("place");
        QTest::newRow("menu") << "ClearActivityLogItem";
        QTest::newRow("toolbar") << "ClearActivityLogButton";
        QTest::newRow("popup") << "ClearLogPopupItem";
    }

    void clearActivityLogFromEveryPlace()
    {
        QFETCH(QString, place);
        TMainFormHarness h;
        h.Core().ActivityLog().AddActivityEntry(aiError, "x.bin", "10.0.0.9", "Send error: Unauthorised!");
        h.Flush();
        QCOMPARE(h.Form->Views().ActivityModel().rowCount(), 1);
        h.Form->findChild<QAction*>(place)->trigger();
        QCOMPARE(h.Core().ActivityLog().Count(), 0u);
        QCOMPARE(h.Form->Views().ActivityModel().rowCount(), 0);
    }

    void exitFromEveryPlace_data()
    {
        QTest::addColumn<QString>("place");
        QTest::newRow("menu") << "ExitItem";
        QTest::newRow("toolbar") << "ExitButton";
        QTest::newRow("tray") << "ExitTrayItem";
    }

    void exitFromEveryPlace()
    {
        QFETCH(QString, place);
        TMainFormHarness h;
        h.Form->show();
        QSignalSpy closed(h.Form.get(), &TMainForm::Closed);
        h.Form->findChild<QAction*>(place)->trigger();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!h.Form->isVisible());
    }

    void shortcutKeysRunTheirCommands()
    {
        TMainFormHarness h(ServingSettings());
        const auto paths = h.ListFiles({"boot.bin"});
        QVERIFY(h.ShowActive());
        QTest::keyClick(h.Form.get(), Qt::Key_F9);
        QCOMPARE(StateText(h), QStringLiteral("Started."));
        QVERIFY(!h.Action("StartTFTPItem")->isEnabled());
        QVERIFY(h.Action("StartTFTPButton")->isEnabled());
        QTest::keyClick(h.Form.get(), Qt::Key_F10);
        QCOMPARE(StateText(h), QStringLiteral("Stopped."));
        QVERIFY(h.Action("StartTFTPItem")->isEnabled());
        QVERIFY(!h.Action("StopTFTPItem")->isEnabled());
        QVERIFY(h.Action("StopTFTPButton")->isEnabled());
        QTest::keyClick(h.Form.get(), Qt::Key_F6);
        QTest::keyClick(h.Form.get(), Qt::Key_F7);
        QCOMPARE(h.Prompts.Asked, (QStringList{"open", "save"}));
        std::filesystem::remove(paths.front());
        QTest::keyClick(h.Form.get(), Qt::Key_F5);
        QCOMPARE(h.Core().FilesList().Entries().front().State, FileState::Missing);
        QSignalSpy closed(h.Form.get(), &TMainForm::Closed);
        QTest::keyClick(h.Form.get(), Qt::Key_F4, Qt::ControlModifier);
        QCOMPARE(closed.count(), 1);
    }

    void helpAndWebsiteOpenTheManualAndUpdatesNameTheInstalledVersion()
    {
        TMainFormHarness h;
        h.Dir.WriteFile("manual.html", "<html></html>");
        QVERIFY(h.ShowActive());
        QTest::keyClick(h.Form.get(), Qt::Key_F1);
        h.Action("WebsiteItem")->trigger();
        const QUrl manual = QUrl::fromLocalFile(QString::fromStdString((h.Dir.Path() / "manual.html").string()));
        QCOMPARE(h.Prompts.Opened, (QList<QUrl>{manual, manual}));
        QTest::keyClick(h.Form.get(), Qt::Key_F8);
        QCOMPARE(h.Prompts.Messages, QStringList{"Check For Updates: Veltrane Desktop Pro 3.2 is installed. "
                                                 "Updates come with the system's package manager."});
        QCOMPARE(h.Prompts.Opened.size(), 2);
    }

    void manualThatCannotBeOpenedIsExplained_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("message");
        const QString missing = QStringLiteral("Help: The manual is not installed: ");
        const QString noProgram =
            QStringLiteral("Help: No program is set up to open the manual. Open it in a web browser: ");
        QTest::newRow("help, not installed") << "HelpItem" << false << missing;
        QTest::newRow("help, no program") << "HelpItem" << true << noProgram;
        QTest::newRow("website, no program") << "WebsiteItem" << true << noProgram;
    }

    void manualThatCannotBeOpenedIsExplained()
    {
        QFETCH(QString, command);
        QFETCH(bool, installed);
        QFETCH(QString, message);
        TMainFormHarness h;
        if (installed)
            h.Dir.WriteFile("manual.html", "<html></html>");
        h.Prompts.DesktopOpens = false;
        h.Action(command.toLatin1().constData())->trigger();
        QCOMPARE(h.Prompts.Messages,
                 QStringList{message + QString::fromStdString((h.Dir.Path() / "manual.html").string())});
    }

    void dialogKeysOpenTheirDialogs_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("title");
        QTest::newRow("about") << int(Qt::Key_F3) << "About";
        QTest::newRow("tip") << int(Qt::Key_Insert) << "Veltrane Desktop Pro - Tip of the day...";
        QTest::newRow("configuration") << int(Qt::Key_F4) << "Configuration";
    }

    void dialogKeysOpenTheirDialogs()
    {
        QFETCH(int, key);
        QFETCH(QString, title);
        TMainFormHarness h;
        QVERIFY(h.ShowActive());
        TModalWatcher watcher;
        QTest::keyClick(h.Form.get(), Qt::Key(key));
        QCOMPARE(watcher.Seen(), 1);
        QCOMPARE(watcher.LastTitle(), title);
    }

    void closingConfigurationReappliesTheSettings()
    {
        TMainFormHarness h;
        QVERIFY(h.ShowActive());
        h.Dir.WriteFile("veltrane.INI", std::string(kQuietSettings) + "[TFTP Settings]\nAutoRefresh=1\nAutoRefreshInterval=5\n");
        TModalWatcher watcher;
        QTest::keyClick(h.Form.get(), Qt::Key_F4);
        QCOMPARE(watcher.Seen(), 1);
        auto* timer = h.Find<QTimer>("AutoRefreshTimer");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 300000);
    }

    void delWithFocusInFilesViewClearsTheLogOnly()
    {
        TMainFormHarness h;
        h.ListFiles({"a.bin", "b.bin"});
        h.Core().ActivityLog().AddActivityEntry(aiSuccess, " ", " ", "Application: Loaded files list.");
        QVERIFY(h.ShowActive());
        auto* files = h.Find<QTreeView>("FilesView");
        files->setFocus();
        h.Form->Views().SelectFiles({h.Form->Views().FilesModel().Entry(0).Id});
        QTest::keyClick(files, Qt::Key_Delete);
        QCOMPARE(h.Core().ActivityLog().Count(), 0u);
        QCOMPARE(h.Core().FilesList().Count(), 2u);
    }

    void enterOrDoubleClickOpensFileInformationForOneRowOnly_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<int>("opened");
        QTest::newRow("enter, one row") << 1 << true << 1;
        QTest::newRow("enter, two rows") << 2 << true << 0;
        QTest::newRow("double click, one row") << 1 << false << 1;
        QTest::newRow("double click, two rows") << 2 << false << 0;
    }

    void enterOrDoubleClickOpensFileInformationForOneRowOnly()
    {
        QFETCH(int, selected);
        QFETCH(bool, byEnter);
        QFETCH(int, opened);
        TMainFormHarness h;
        h.ListFiles({"a.bin", "b.bin"});
        QVERIFY(h.ShowActive());
        TMainViews& views = h.Form->Views();
        std::vector<TFileEntryId> ids;
        for (int row = 0; row < selected; ++row)
            ids.push_back(views.FilesModel().Entry(row).Id);
        views.SelectFiles(ids);
        QString shownName;
        TModalWatcher watcher([&](QDialog& dialog) {
            if (const auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("FilenameField")))
                shownName = field->text();
        });
        if (byEnter)
            QTest::keyClick(views.FilesView(), Qt::Key_Return);
        else
            emit views.FilesView()->doubleClicked(views.FilesModel().index(0, 0));
        QVERIFY(PassPendingEvents());
        QCOMPARE(watcher.Seen(), opened);
        if (opened == 1)
            QCOMPARE(shownName, QStringLiteral("a.bin"));
    }

    void startWithEmptyListAndNoUploadsShowsTheMessageOnly()
    {
        TMainFormHarness h(ServingSettings());
        h.Action("StartTFTPButton")->trigger();
        QCOMPARE(h.Prompts.Errors,
                 QStringList{"No file available.\nPlease add at least one file first or accept incoming files."});
        QCOMPARE(StateText(h), QStringLiteral("Stopped."));
        QVERIFY(!h.Core().ServerActive());
        QVERIFY(h.Action("StartTFTPItem")->isEnabled());
    }

    void bindFailureShowsTheSocketErrorOnTwoLines()
    {
        TMainFormHarness h(std::string(kQuietSettings) + "[IP Settings]\nBind=192.0.2.1\n");
        h.ListFiles({"a.bin"});
        h.Action("StartTFTPButton")->trigger();
        QCOMPARE(h.Prompts.Errors, QStringList{"Socket Error # 10049\nCannot assign requested address."});
        QVERIFY(!h.Core().ServerActive());
    }

    void removeAllAsksFirst()
    {
        TMainFormHarness h;
        h.ListFiles({"a.bin", "b.bin"});
        h.Action("RemoveAllFilesButton")->trigger();
        QCOMPARE(h.Prompts.Warnings, QStringList{"Are you sure you want to remove all available files?"});
        QCOMPARE(h.Core().FilesList().Count(), 2u);
        h.Prompts.ConfirmAnswer = true;
        h.Action("RemoveAllFilesButton")->trigger();
        QCOMPARE(h.Core().FilesList().Count(), 0u);
        QCOMPARE(h.Form->Views().FilesModel().rowCount(), 0);
    }

    void saveWithEmptyListAsksNothing()
    {
        TMainFormHarness h;
        h.Action("SaveFilesListButton")->trigger();
        QVERIFY(h.Prompts.Asked.isEmpty());
    }

    void addFilesAndFolderContentsFromToolbarAndPopup()
    {
        TMainFormHarness h;
        const auto first = h.Dir.WriteFile("one.bin", "1");
        h.Prompts.FilesToAdd = {QString::fromStdString(first.string())};
        h.Action("AddFilesPopupItem")->trigger();
        std::filesystem::create_directory(h.Dir.Path() / "more");
        h.Dir.WriteFile("more/two.bin", "2");
        h.Prompts.FolderAnswer = QString::fromStdString((h.Dir.Path() / "more").string());
        h.Action("AddFolderContentsButton")->trigger();
        QCOMPARE(h.Form->Views().FilesModel().rowCount(), 2);
        QCOMPARE(h.Form->Views().FilesModel().Entry(1).Name, std::string("two.bin"));
    }

    void toggleSuspendDeselectsAndClearAccessCountKeepsOneRow()
    {
        TMainFormHarness h;
        h.ListFiles({"a.bin", "b.bin"});
        TMainViews& views = h.Form->Views();
        const TFileEntryId a = views.FilesModel().Entry(0).Id;
        const TFileEntryId b = views.FilesModel().Entry(1).Id;
        views.SelectFiles({a, b});
        h.Action("ToggleSuspendPopupItem")->trigger();
        QCOMPARE(views.FilesModel().Entry(0).State, FileState::Suspended);
        QVERIFY(views.SelectedFileIds().empty());
        views.SelectFiles({a});
        h.Action("ClearAccessCountPopupItem")->trigger();
        QCOMPARE(views.SelectedFileIds(), std::vector<TFileEntryId>{a});
        views.SelectFiles({a, b});
        h.Action("ClearAccessCountPopupItem")->trigger();
        QVERIFY(views.SelectedFileIds().empty());
    }

    void droppedFilesAreAddedOnceAndFoldersOpened()
    {
        TMainFormHarness h;
        const auto file = h.Dir.WriteFile("drop.bin", "d");
        std::filesystem::create_directory(h.Dir.Path() / "folder");
        h.Dir.WriteFile("folder/inner.bin", "i");
        const QUrl fileUrl = QUrl::fromLocalFile(QString::fromStdString(file.string()));
        Drop(*h.Form, {fileUrl});
        Drop(*h.Form, {fileUrl, QUrl::fromLocalFile(QString::fromStdString((h.Dir.Path() / "folder").string()))});
        QCOMPARE(h.Form->Views().FilesModel().rowCount(), 2);
        QCOMPARE(h.Core().ActivityLog().Count(), 0u);
        QVERIFY(!h.Core().ServerActive());
    }

    void clickOnTransferRowOpensTheTransferWindow()
    {
        TMainFormHarness h;
        const TPeerInfo peer{"10.0.0.5", 2070};
        h.Core().TransferLog().StartTransferInfo(peer, "boot.bin", CurrentTick(), false, 1000);
        TProgressCursor cursor;
        h.Core().TransferLog().ReportProgress(cursor, "/srv/boot.bin", peer, 0, 1000, false);
        h.Flush();
        QVERIFY(h.ShowActive());
        QTreeView* view = h.Form->Views().TransferView();
        const QPoint row = view->visualRect(h.Form->Views().TransferModel().index(0, 1)).center();
        QTest::mouseMove(view->viewport(), row);
        QTRY_COMPARE(h.Form->Views().TransferModel().HotRow(), 0);
        QCOMPARE(view->viewport()->cursor().shape(), Qt::PointingHandCursor);
        QString destination;
        TModalWatcher watcher([&](QDialog& dialog) {
            if (const auto* label = dialog.findChild<QLabel*>(QStringLiteral("DestLabel")))
                destination = label->text();
        });
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row);
        QCOMPARE(watcher.LastTitle(), QStringLiteral("Transmission Details"));
        QCOMPARE(destination, QStringLiteral("boot.bin to 10.0.0.5 (port: 2070)"));
    }

    void closingWithATransferRunningDoesNotWait()
    {
        TMainFormHarness h(ServingSettings());
        const auto paths = h.ListFiles({"big.bin"});
        h.Dir.WriteFile("big.bin", std::string(200000, 'x'));
        h.Action("StartTFTPItem")->trigger();
        QVERIFY(h.Core().ServerActive());
        const int port = h.Core().Engine().Bindings()[0].Port();
        TRawClient client;
        client.SendTo(port, Request(1, "big.bin", "octet"));
        QVERIFY(client.Receive().has_value());  // the first block; never acknowledged
        QTRY_COMPARE(h.Core().Engine().SessionCount(), 1u);
        h.Form->close();
        h.Form.reset();  // joins the session; a hang here fails the test by its timeout
    }

    void floodOfActivityReachesTheViewInFewBatches()
    {
        TMainFormHarness h;
        QSignalSpy batches(&h.Form->CoreEvents(), &TCoreEvents::ActivityBatch);
        std::thread flood([&] {
            for (int i = 0; i < 10000; ++i)
                h.Core().ActivityLog().AddActivityEntry(aiError, "x", "10.0.0.1", "Send error: Unauthorised!");
        });
        flood.join();
        QTRY_COMPARE(h.Form->Views().ActivityModel().rowCount(), 10000);
        QVERIFY2(batches.count() <= 3, qPrintable(QString::number(batches.count())));
    }
};

QTEST_MAIN(MainCommandsTest)
#include "MainCommandsTest.moc"
