// The window on a Linux desktop: the tray with modal dialogs open, column widths that
// follow the font, the transfer window's fit and colours, and the one program icon.

#include <QApplication>
#include <QDialog>
#include <QTest>

#include "tests/support/TempDir.h"
#include "tests/ui/MainFormHarness.h"
#include "tests/ui/ModalWatcher.h"
#include "ui/MainCommands.h"
#include "ui/MainViews.h"
#include "ui/SingleInstance.h"
#include "ui/TransferWindowForm.h"
#include "ui/Tray.h"

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
            QTest::qWait(50);
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
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
