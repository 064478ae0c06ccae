#include "ui/main/RunProgram.h"

#include <QApplication>
#include <QMessageBox>

#include "app/ProgramPaths.h"
#include "ui/icons/ToolIcons.h"
#include "ui/main/MainForm.h"
#include "ui/main/SingleInstance.h"

namespace {

void ReportAlreadyRunning()
{
    QMessageBox::critical(nullptr, QStringLiteral("Veltrane Server already running"),
                          QStringLiteral("An instance of this application is already running."), QMessageBox::Ok);
}

}  // namespace

int RunProgram(int argc, char** argv, const TCommandLine& commandLine)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(TMainForm::kApplicationTitle));
    // Wayland compositors and task bars match the window to its desktop entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("veltrane"));
    QApplication::setWindowIcon(AppIcon());
    // The window hides to the tray, and dialogs may be open from the tray meanwhile: only
    // closing the main window ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    TSingleInstance instance(TSingleInstance::DefaultPath());
    if (instance.Acquire() == TSingleInstance::TOutcome::AlreadyRunning) {
        ReportAlreadyRunning();
        instance.AskFirstToShow();
        return 0;
    }

    TMainFormOptions options{TProgramPaths::ForCommandLine(commandLine.ConfigDir), commandLine.Remaining,
                             ManualFile(TProgramPaths::ForExecutable().ProgramFolder())};
    TMainForm form(std::move(options));
    QObject::connect(&instance, &TSingleInstance::ShowRequested, &form, &TMainForm::RestoreFromTray);
    QObject::connect(&form, &TMainForm::Closed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    if (form.CreateMainWindow())
        form.show();
    return QApplication::exec();
}
