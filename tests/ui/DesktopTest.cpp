// The window on a Linux desktop: the tray with modal dialogs open, column widths that
// follow the font, the transfer window's fit and colours, and the one program icon.

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "tests/support/TempDir.h"
#include "tests/ui/EventFence.h"
#include "tests/ui/MainFormHarness.h"
#include "tests/ui/ModalWatcher.h"
#include "ui/dialogs/AboutForm.h"
#include "ui/dialogs/TransferWindowForm.h"
#include "ui/icons/ToolIcons.h"
#include "ui/main/MainCommands.h"
#include "ui/main/MainViews.h"
#include "ui/main/SingleInstance.h"
#include "ui/main/Tray.h"
#include "ui/main/ViewColumns.h"

namespace {

enum class TDialog { About, Tip, Configuration, FileInformation, TransferWindow };

/// Opens one of the main window's modal dialogs the way the operator does, and returns
/// when it has closed.
void OpenDialog(TMainFormHarness& h, TDialog which)
{
    switch (which) {
    case TDialog::About: h.Form->Commands().Run(TCommand::About); break;
    case TDialog::Tip: h.Form->Commands().Run(TCommand::TipOfTheDay); break;
    case TDialog::Configuration: h.Form->Commands().Run(TCommand::Configuration); break;
    case TDialog::FileInformation:
        h.ListFiles({"boot.bin"});
        h.Form->Views().SelectFiles({h.Form->Views().FilesModel().Entry(0).Id});
        h.Form->Commands().Run(TCommand::FileInformation);
        break;
    case TDialog::TransferWindow: ShowTransferDetails(h.Form.get(), h.Core().TransferLog(), TTransferRow{}); break;
    }
}

void AddDialogRows()
{
    QTest::addColumn<int>("dialog");
    QTest::newRow("about") << int(TDialog::About);
    QTest::newRow("tip of the day") << int(TDialog::Tip);
    QTest::newRow("configuration") << int(TDialog::Configuration);
    QTest::newRow("file information") << int(TDialog::FileInformation);
    QTest::newRow("transfer window") << int(TDialog::TransferWindow);
}

/// The application's font at `points` for as long as the guard lives.
auto UseFontSize(int points)
{
    const QFont original = QApplication::font();
    QFont font = original;
    font.setPointSize(points);
    QApplication::setFont(font);
    return qScopeGuard([original] { QApplication::setFont(original); });
}

const TPeerInfo kPeer{"192.168.100.200", 65000};

/// Every column of `view` with content of its own is as wide as its title and its cells need.
void VerifyColumnsFit(const QTreeView& view, const QStringList& texts)
{
    const QHeaderView& header = *view.header();
    for (int column = 0; column < header.count(); ++column) {
        if (header.sectionResizeMode(column) == QHeaderView::Stretch)
            continue;
        QVERIFY2(header.sectionSizeHint(column) <= header.sectionSize(column),
                 qPrintable(view.objectName() + QStringLiteral(" title %1").arg(column)));
        QVERIFY2(static_cast<const QAbstractItemView&>(view).sizeHintForColumn(column) <= header.sectionSize(column),
                 qPrintable(view.objectName() + QStringLiteral(" cells %1").arg(column)));
    }
    const QFontMetrics metrics(view.font());
    for (const QString& text : texts) {
        bool fits = false;
        for (int column = 0; column < header.count(); ++column)
            fits = fits || metrics.horizontalAdvance(text) < header.sectionSize(column);
        QVERIFY2(fits, qPrintable(text));
    }
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void minimisingUnderAModalDialogKeepsBothOnScreen_data() { AddDialogRows(); }

    void minimisingUnderAModalDialogKeepsBothOnScreen()
    {
        QFETCH(int, dialog);
        TMainFormHarness h(kQuietSettings, {}, true, true);
        QVERIFY(h.ShowActive());
        bool windowHidden = true;
        bool dialogShown = false;
        Qt::WindowFlags flags;
        TModalWatcher watcher([&](QDialog& shown) {
            h.Form->setWindowState(h.Form->windowState() | Qt::WindowMinimized);
            QVERIFY(PassPendingEvents());
            windowHidden = h.Form->isHidden();
            dialogShown = shown.isVisible();
            flags = shown.windowFlags();
        });
        OpenDialog(h, TDialog(dialog));
        QCOMPARE(watcher.Seen(), 1);
        QVERIFY(!windowHidden);
        QVERIFY(dialogShown);
        QVERIFY(!h.Form->Tray().Active());
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(flags.testFlags(Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testAnyFlags(Qt::WindowMinMaxButtonsHint));
    }

    void minimisingWithoutADialogStillHidesToTheTray()
    {
        TMainFormHarness h(kQuietSettings, {}, true, true);
        QVERIFY(h.ShowActive());
        h.Form->setWindowState(h.Form->windowState() | Qt::WindowMinimized);
        QTRY_VERIFY(h.Form->isHidden());
        QVERIFY(h.Form->Tray().Active());
        h.Form->RestoreFromTray();
        QVERIFY(h.Form->isVisible() && !h.Form->isMinimized());
        QVERIFY(!h.Form->Tray().Active());
    }

    void secondInstanceRaisesTheOpenDialog_data() { AddDialogRows(); }

    void secondInstanceRaisesTheOpenDialog()
    {
        QFETCH(int, dialog);
        TMainFormHarness h(kQuietSettings, {}, true, true);
        QVERIFY(h.ShowActive());
        const QString lock = QString::fromStdString((h.Dir.Path() / "lock").string());
        TSingleInstance first(lock);
        QCOMPARE(first.Acquire(), TSingleInstance::TOutcome::First);
        connect(&first, &TSingleInstance::ShowRequested, h.Form.get(), &TMainForm::RestoreFromTray);
        bool dialogOnTop = false;
        TModalWatcher watcher([&](QDialog& shown) {
            // The desktop minimises the window and its dialog together.
            h.Form->setWindowState(h.Form->windowState() | Qt::WindowMinimized);
            shown.setWindowState(shown.windowState() | Qt::WindowMinimized);
            QApplication::setActiveWindow(nullptr);
            TSingleInstance second(lock);
            QCOMPARE(second.Acquire(), TSingleInstance::TOutcome::AlreadyRunning);
            second.AskFirstToShow();
            dialogOnTop = QTest::qWaitFor([&] {
                return shown.isVisible() && !shown.isMinimized() && QApplication::activeWindow() == &shown;
            });
        });
        OpenDialog(h, TDialog(dialog));
        QCOMPARE(watcher.Seen(), 1);
        QVERIFY(dialogOnTop);
        QVERIFY(h.Form->isVisible() && !h.Form->isMinimized());
    }

    void columnWidthsScaleWithTheCharacterWidthAndHoldAtTheReference()
    {
        for (const int width : {25, 62, 75, 80, 82, 110, 118, 120, 130, 180})
            QCOMPARE(ScaledWidth(width, kReferenceCharWidth), width);
        QCOMPARE(ScaledWidth(180, 9.0), 270);
        QCOMPARE(ScaledWidth(75, 7.0), 88);
        QCOMPARE(ScaledWidth(82, 5.0), 68);
    }

    void columnsShowTheirTextsWholeAtEachFontSize_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("9 points") << 9;
        QTest::newRow("10 points") << 10;
        QTest::newRow("11 points") << 11;
    }

    void columnsShowTheirTextsWholeAtEachFontSize()
    {
        QFETCH(int, points);
        const auto font = UseFontSize(points);
        TMainFormHarness h;
        QCOMPARE(h.Form->size(), QSize(640, 480));
        QVERIFY(h.ShowActive());
        h.ListFiles({"boot.bin"});
        const QStringList statuses{"Send error: Max connections reached!", "Transfer: Receive file complete."};
        for (const QString& status : statuses)
            h.Core().ActivityLog().AddActivityEntry(aiError, "boot.bin", kPeer.IP, status.toStdString());
        h.Flush();
        TMainViews& views = h.Form->Views();
        views.ReloadTransfers({TTransferRow{1, false, "boot.bin", kPeer.IP, kPeer.Port},
                               TTransferRow{2, true, "cfg.txt", kPeer.IP, kPeer.Port}});
        VerifyColumnsFit(*views.FilesView(), {});
        VerifyColumnsFit(*views.TransferView(), {"Download", "Transfer Type", "Remote Port"});
        VerifyColumnsFit(*views.ActivityView(), statuses);
        QCOMPARE(views.FilesView()->header()->sectionResizeMode(TFilesModel::PathColumn), QHeaderView::Stretch);
        QVERIFY(views.FilesView()->header()->sectionSize(TFilesModel::PathColumn) > 100);
    }

    void narrowColumnsCannotBeDraggedWiderThanTheirScaledWidth()
    {
        const auto font = UseFontSize(11);
        TMainFormHarness h;
        QHeaderView& header = *h.Form->Views().TransferView()->header();
        for (const int column : {int(TTransferModel::TypeColumn), int(TTransferModel::RemotePortColumn)}) {
            const int width = header.sectionSize(column);
            QVERIFY(width > (column == TTransferModel::TypeColumn ? 82 : 75));
            header.resizeSection(column, width + 50);
            QCOMPARE(header.sectionSize(column), width);
            header.resizeSection(column, width - 10);
            QCOMPARE(header.sectionSize(column), width - 10);
        }
    }

    void transferWindowGrowsForLargeFontsAndElidesLongNames()
    {
        const auto font = UseFontSize(11);
        const std::string name = std::string(60, 'f').append("-firmware-").append(20, 'g').append(".bin");
        TTransferLog log;
        log.StartTransferInfo(kPeer, name, 1000, false, 3 * 1048576);
        TTransferWindowForm form(log, kPeer);
        QSignalSpy ticks(form.findChild<QTimer*>(QStringLiteral("Timer")), &QTimer::timeout);
        form.show();
        QTRY_VERIFY(ticks.count() > 0);  // the first tick fits the window to its texts
        QVERIFY(form.width() >= 440 && form.height() >= 250);
        QVERIFY(form.width() < 1000);
        auto* destination = form.findChild<QLabel*>(QStringLiteral("DestLabel"));
        QVERIFY(destination->text().contains(QChar(0x2026)));
        QVERIFY(destination->text().endsWith(QStringLiteral(" to 192.168.100.200 (port: 65000)")));
        QCOMPARE(destination->toolTip(), QString::fromStdString(name));
        for (const QLabel* label : form.findChildren<QLabel*>())
            if (label->isVisible() && label->pixmap().isNull())
                QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->contentsRect().width(),
                         qPrintable(label->objectName()));
    }

    void transferWindowShowsAShortNameWhole()
    {
        TTransferLog log;
        log.StartTransferInfo(kPeer, "boot.bin", 1000, false, 1000);
        TTransferWindowForm form(log, kPeer);
        form.show();
        auto* destination = form.findChild<QLabel*>(QStringLiteral("DestLabel"));
        QCOMPARE(destination->text(), QStringLiteral("boot.bin to 192.168.100.200 (port: 65000)"));
        QVERIFY(destination->toolTip().isEmpty());
        QCOMPARE(form.minimumSize(), form.maximumSize());
    }

    void progressBarReadsInADarkPalette()
    {
        const QPalette original = QApplication::palette();
        const auto restore = qScopeGuard([original] { QApplication::setPalette(original); });
        QPalette dark = original;
        dark.setColor(QPalette::Window, QColor(45, 45, 48));
        dark.setColor(QPalette::Base, QColor(30, 30, 32));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Text, Qt::white);
        QApplication::setPalette(dark);
        TTransferLog log;
        TTransferWindowForm form(log, std::nullopt);
        form.show();
        auto* bar = form.findChild<QProgressBar*>(QStringLiteral("ProgressBar"));
        QVERIFY(bar->styleSheet().isEmpty());
        QCOMPARE(bar->palette().color(QPalette::Base), dark.color(QPalette::Base));
        QCOMPARE(bar->palette().color(QPalette::Highlight), QColor(47, 168, 79));
        const QImage drawn = bar->grab().toImage();
        QVERIFY(QColor(drawn.pixel(drawn.width() / 2, drawn.height() / 2)).lightness() < 100);
    }

    void windowTrayAndAboutShowThePackagedIcon()
    {
        const QImage packaged = QIcon(QStringLiteral(":/icons/veltrane.svg")).pixmap(64).toImage();
        QVERIFY(!packaged.isNull());
        QCOMPARE(AppIcon().pixmap(64).toImage(), packaged);
        TMainFormHarness h;
        QCOMPARE(h.Form->windowIcon().pixmap(64).toImage(), packaged);
        QCOMPARE(h.Form->Tray().Icon().icon().pixmap(64).toImage(), packaged);
        TAboutForm about;
        const QImage banner = about.findChild<QLabel*>(QStringLiteral("ProductImage"))->pixmap().toImage();
        // The middle of the drawing is opaque, so the banner shows it unchanged there.
        QCOMPARE(banner.pixel(18 + 32, 23 + 20), packaged.pixel(32, 20));
    }
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
