#include "ui/main/MainForm.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include "tests/ui/EventFence.h"
#include "tests/ui/MainFormHarness.h"
#include "tests/ui/ModalWatcher.h"
#include "ui/main/SingleInstance.h"
#include "ui/main/Tray.h"

namespace {

/// Whether the window came up as the operator would see it at start.
bool ShownNormally(TMainFormHarness& h, bool showAtStart)
{
    if (showAtStart)
        h.Form->show();
    return h.Form->isVisible() && !h.Form->isMinimized() && !h.Form->Tray().Active();
}

std::string AutoStartSettings(const std::string& document, int port)
{
    return std::string(kQuietSettings)
        .append("[TFTP Settings]\nAutoStartTFTP=1\nLoadOnStartup=1\nAutoRefresh=1\nPort=")
        .append(std::to_string(port))
        .append("\nMinOnStartup=1\n[IP Settings]\nBind=0.0.0.0\n[Lasted Saved]\nFile=")
        .append(document)
        .append("\n");
}

}  // namespace

/// The window's start: its creation sequence with the automatic start and "-cm", the tip
/// of the day at the first showing, the tray, and the one-instance lock.
class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void minimisedSwitchCountsOnlyExactlyAndFirst_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("minOnStartup");
        QTest::addColumn<bool>("shownNormally");
        QTest::newRow("-cm with MinOnStartup") << QStringList{"-cm"} << true << false;
        QTest::newRow("-CM") << QStringList{"-CM"} << true << true;
        QTest::newRow("-cm second") << QStringList{"x", "-cm"} << true << true;
        QTest::newRow("-cm without MinOnStartup") << QStringList{"-cm"} << false << true;
        QTest::newRow("MinOnStartup without -cm") << QStringList{} << true << true;
    }

    void minimisedSwitchCountsOnlyExactlyAndFirst()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, minOnStartup);
        QFETCH(bool, shownNormally);
        std::vector<std::string> args;
        for (const QString& argument : arguments)
            args.push_back(argument.toStdString());
        TMainFormHarness h(std::string(kQuietSettings)
                               .append("[TFTP Settings]\nMinOnStartup=")
                               .append(minOnStartup ? "1\n" : "0\n"),
                           args, false);
        const bool showAtStart = h.Form->CreateMainWindow();
        QCOMPARE(showAtStart, shownNormally);
        QCOMPARE(ShownNormally(h, showAtStart), shownNormally);
    }

    void tipOfTheDayFollowsTheFirstShowing()
    {
        TMainFormHarness h("[General]\nTipsOnStartUp=1\n", {}, false);
        QVERIFY(h.Form->CreateMainWindow());
        auto* tipsTimer = h.Find<QTimer>("TipsTimer");
        QVERIFY(tipsTimer->isSingleShot());
        QCOMPARE(tipsTimer->interval(), 10);
        TModalWatcher watcher;
        h.Form->show();
        QTRY_COMPARE(watcher.Seen(), 1);
        QCOMPARE(watcher.LastTitle(), QStringLiteral("Veltrane Desktop Pro - Tip of the day..."));
        h.Form->hide();
        h.Form->show();
        QVERIFY(!tipsTimer->isActive());
        QVERIFY(PassPendingEvents());
        QCOMPARE(watcher.Seen(), 1);
    }

    void noTipWhileStartedInTheTrayUntilRestored()
    {
        TMainFormHarness h("[General]\nTipsOnStartUp=1\n[TFTP Settings]\nMinOnStartup=1\n", {"-cm"}, false);
        TModalWatcher watcher;
        QVERIFY(!h.Form->CreateMainWindow());
        QVERIFY(!h.Find<QTimer>("TipsTimer")->isActive());
        QVERIFY(PassPendingEvents());
        QCOMPARE(watcher.Seen(), 0);
        h.Action("DisplayTrayItem")->trigger();
        QTRY_COMPARE(watcher.Seen(), 1);
        QVERIFY(!h.Form->Tray().Active());
        QVERIFY(h.Form->isVisible() && !h.Form->isMinimized());
    }

    void trayIconHasTheProductHint()
    {
        TMainFormHarness h;
        QCOMPARE(h.Form->Tray().Icon().toolTip(), QStringLiteral("Veltrane Desktop Pro"));
        QVERIFY(!h.Form->Tray().Active());
    }

    void automaticStartWithoutFilesWarnsButFinishesTheSequence()
    {
        TMainFormHarness h(AutoStartSettings("/nonexistent/list.vlt", 1069), {"-cm"}, false);
        QVERIFY(!h.Form->CreateMainWindow());
        QCOMPARE(h.Prompts.Errors,
                 QStringList{"No file available.\nPlease add at least one file first or accept incoming files."});
        QVERIFY(h.Find<QTimer>("AutoRefreshTimer")->isActive());
        QCOMPARE(h.Core().ActivityLog().Entries().front().Status, std::string("Application: Error loading files list!"));
    }

    void automaticStartRefusedByTheEngineEndsTheSequence()
    {
        QUdpSocket taken;
        QVERIFY(taken.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress));
        TTempDir files;
        const auto served = files.WriteFile("boot.bin", "x");
        const auto document = files.WriteFile("list.vlt", "boot.bin|" + files.Str() + "|0\r\n");
        TMainFormHarness h(AutoStartSettings(document.string(), taken.localPort()), {"-cm"}, false, false, false);
        QVERIFY(h.Form->CreateMainWindow());
        QCOMPARE(h.Prompts.Errors.size(), 1);
        QVERIFY(!h.Prompts.Errors.front().isEmpty());
        QVERIFY(!h.Find<QTimer>("AutoRefreshTimer")->isActive());
        QVERIFY(!h.Core().ServerActive());
    }

    void secondInstanceIsRefusedAndRaisesTheFirst()
    {
        TTempDir dir;
        const QString path = QString::fromStdString((dir.Path() / "lock").string());
        TSingleInstance first(path);
        QCOMPARE(first.Acquire(), TSingleInstance::TOutcome::First);
        QSignalSpy raised(&first, &TSingleInstance::ShowRequested);
        TSingleInstance second(path);
        QCOMPARE(second.Acquire(), TSingleInstance::TOutcome::AlreadyRunning);
        second.AskFirstToShow();
        QVERIFY(raised.wait(5000));
    }

    void lockLeftByADeadInstanceIsTakenOver()
    {
        TTempDir dir;
        const auto stale = dir.WriteFile("lock", "");
        TSingleInstance instance(QString::fromStdString(stale.string()));
        QCOMPARE(instance.Acquire(), TSingleInstance::TOutcome::First);
    }

    void lockIsFreeAgainWhenTheFirstEnds()
    {
        TTempDir dir;
        const QString path = QString::fromStdString((dir.Path() / "lock").string());
        {
            TSingleInstance first(path);
            QCOMPARE(first.Acquire(), TSingleInstance::TOutcome::First);
        }
        TSingleInstance next(path);
        QCOMPARE(next.Acquire(), TSingleInstance::TOutcome::First);
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
