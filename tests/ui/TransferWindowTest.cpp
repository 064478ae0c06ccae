#include "ui/dialogs/TransferWindowForm.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "tests/ui/ModalWatcher.h"
#include "ui/icons/Animate.h"

namespace {

const TPeerInfo kPeer{"192.168.1.20", 2070};

QString LabelText(const QWidget& window, const char* name)
{
    return window.findChild<QLabel*>(QString::fromLatin1(name))->text();
}

/// A Transfer Log holding one transfer of `kPeer`, with its row, at `bytesDone`.
void StartTransfer(TTransferLog& log, bool upload, std::int64_t total, std::int64_t bytesDone,
                   std::uint32_t startTick = 1000)
{
    log.StartTransferInfo(kPeer, upload ? "cfg.txt" : "boot.bin", startTick, upload, total);
    TProgressCursor cursor;
    const std::string path = upload ? "/srv/in/cfg.txt" : "/srv/boot.bin";
    log.ReportProgress(cursor, path, kPeer, 0, total, upload);
    log.ReportProgress(cursor, path, kPeer, bytesDone, total, upload);
}

}  // namespace

/// "Transmission Details": its figures and texts for running and finished transfers, its
/// timer, and the record it keeps while open.
class TransferWindowTest : public QObject {
    Q_OBJECT

private slots:
    void finishedDownloadShowsItsSummary()
    {
        TTransferLog log;
        StartTransfer(log, false, 1572864, 1572864);
        log.FinishTransferInfo(kPeer, 1000 + 12000);
        TTransferWindowForm window(log, kPeer);
        window.show();
        QCOMPARE(window.windowTitle(), QStringLiteral("Transmission Details"));
        QCOMPARE(LabelText(window, "TransTypeLabel"), QStringLiteral("Sent:"));
        QCOMPARE(LabelText(window, "Type1Label"), QStringLiteral("Sent:"));
        QCOMPARE(LabelText(window, "TimeLeftLabel"), QStringLiteral("1.50MB in 0 mins 12 secs"));
        QCOMPARE(LabelText(window, "RateLabel"), QStringLiteral("128KB/Sec"));
        QCOMPARE(LabelText(window, "DestLabel"), QStringLiteral("boot.bin to 192.168.1.20 (port: 2070)"));
        QVERIFY(window.findChild<QLabel*>(QStringLiteral("TransDoneLabel"))->isVisible());
        QVERIFY(window.findChild<QLabel*>(QStringLiteral("TransDoneImage"))->isVisible());
        QVERIFY(!window.findChild<TAnimate*>(QStringLiteral("Animate"))->isVisible());
        auto* bar = window.findChild<QProgressBar*>(QStringLiteral("ProgressBar"));
        QCOMPARE(bar->maximum(), 1572864);
        QCOMPARE(bar->value(), 1572864);
    }

    void transferEndedWithinItsFirstSecondRatesAllItsBytes()
    {
        TTransferLog log;
        StartTransfer(log, true, 0, 3000);
        log.FinishTransferInfo(kPeer, 1000 + 400);
        TTransferWindowForm window(log, kPeer);
        window.show();
        QCOMPARE(LabelText(window, "TransTypeLabel"), QStringLiteral("Received:"));
        QCOMPARE(LabelText(window, "TimeLeftLabel"), QStringLiteral("2.93KB in 0 mins 0 secs"));
        QCOMPARE(LabelText(window, "RateLabel"), QStringLiteral("2.93KB/Sec"));
        QCOMPARE(LabelText(window, "DestLabel"), QStringLiteral("cfg.txt from 192.168.1.20 (port: 2070)"));
    }

    void uploadWithoutSizeShowsBytesCopied()
    {
        TTransferLog log;
        StartTransfer(log, true, 0, 1536);
        std::uint32_t now = 50000;
        TTransferWindowForm window(log, kPeer, nullptr, [&] { return now; });
        window.show();
        QCOMPARE(LabelText(window, "TransTypeLabel"), QStringLiteral("Receiving:"));
        QCOMPARE(window.findChild<TAnimate*>(QStringLiteral("Animate"))->Clip(), TAnimate::TClip::Receiving);
        QTRY_COMPARE(LabelText(window, "TimeLeftLabel"), QStringLiteral("1.50KB copied..."));
        QCOMPARE(LabelText(window, "RateLabel"), QStringLiteral("1.50KB/Sec"));
    }

    void runningDownloadCountsDownEverySecond()
    {
        TTransferLog log;
        StartTransfer(log, false, 4 * 1048576, 1048576);
        std::uint32_t now = 50000;
        TTransferWindowForm window(log, kPeer, nullptr, [&] { return now; });
        auto* timer = window.findChild<QTimer*>(QStringLiteral("Timer"));
        QCOMPARE(timer->interval(), 10);
        window.show();
        QCOMPARE(LabelText(window, "TransTypeLabel"), QStringLiteral("Sending:"));
        QCOMPARE(LabelText(window, "Type1Label"), QStringLiteral("Estimated time left:"));
        QCOMPARE(window.findChild<TAnimate*>(QStringLiteral("Animate"))->Clip(), TAnimate::TClip::Sending);
        // The first tick counts what was done since opening as one second's worth.
        QTRY_COMPARE(LabelText(window, "TimeLeftLabel"), QStringLiteral("0 mins 3 secs (1.00MB of 4.00MB copied)"));
        QCOMPARE(LabelText(window, "RateLabel"), QStringLiteral("1.00MB/Sec"));
        QCOMPARE(timer->interval(), 1000);
        TProgressCursor cursor;
        log.ReportProgress(cursor, "/srv/boot.bin", kPeer, 0, 4 * 1048576, false);
        log.ReportProgress(cursor, "/srv/boot.bin", kPeer, 2 * 1048576, 4 * 1048576, false);
        log.FinishTransferInfo(kPeer, 1000 + 2000);
        now += 1000;
        QTRY_COMPARE_WITH_TIMEOUT(LabelText(window, "TransTypeLabel"), QStringLiteral("Sent:"), 3000);
        QVERIFY(!timer->isActive());
    }

    void rowWithoutRecordKeepsTheInitialTexts()
    {
        TTransferLog log;
        TTransferWindowForm window(log, std::nullopt);
        QSignalSpy ticks(window.findChild<QTimer*>(QStringLiteral("Timer")), &QTimer::timeout);
        window.show();
        QTRY_VERIFY(ticks.count() > 0);
        QCOMPARE(LabelText(window, "TransTypeLabel"), QStringLiteral("Download or Update"));
        QCOMPARE(LabelText(window, "DestLabel"), QStringLiteral("Unknown"));
        QCOMPARE(LabelText(window, "TimeLeftLabel"), QStringLiteral("Unknown"));
        QCOMPARE(LabelText(window, "RateLabel"), QStringLiteral("Unknown"));
    }

    void recordOfARemovedRowLastsUntilTheWindowCloses()
    {
        TTransferLog log;
        StartTransfer(log, false, 1000, 500);
        const TTransferRow row = log.Rows().front();
        bool keptWhileOpen = false;
        TModalWatcher watcher([&](QDialog&) {
            log.FinishTransfer(kPeer, true, 5000);  // the row goes, as with RMTransfer on
            keptWhileOpen = log.TransferInfo(kPeer).has_value();
        });
        ShowTransferDetails(nullptr, log, row);
        QVERIFY(keptWhileOpen);
        QVERIFY(!log.TransferInfo(kPeer).has_value());
    }

    void recordOfARowStillListedStays()
    {
        TTransferLog log;
        StartTransfer(log, false, 1000, 500);
        TModalWatcher watcher;
        ShowTransferDetails(nullptr, log, log.Rows().front());
        QCOMPARE(watcher.Seen(), 1);
        QVERIFY(log.TransferInfo(kPeer).has_value());
    }
};

QTEST_MAIN(TransferWindowTest)
#include "TransferWindowTest.moc"
