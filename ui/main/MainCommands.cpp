#include "ui/main/MainCommands.h"

#include <string>
#include <system_error>
#include <utility>

#include <QApplication>
#include <QUrl>
#include <QWidget>

#include "app/ApplicationCore.h"
#include "app/CommandLine.h"
#include "ui/config/ShowConfiguration.h"
#include "ui/dialogs/AboutForm.h"
#include "ui/dialogs/FileInfoForm.h"
#include "ui/dialogs/TipsForm.h"
#include "ui/dialogs/TransferWindowForm.h"
#include "ui/main/CoreEvents.h"
#include "ui/main/MainPrompts.h"
#include "ui/main/MainViews.h"
#include "ui/ShownText.h"

namespace {

/// The busy cursor for as long as it lives.
class TBusyCursor {
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

std::vector<std::string> LocalPaths(const QStringList& paths)
{
    std::vector<std::string> local;
    local.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths)
        local.push_back(LocalPath(path));
    return local;
}

}  // namespace

TMainCommands::TMainCommands(QWidget& window, TApplicationCore& core, TMainViews& views, TCoreEvents& events,
                             TMainPrompts& prompts, std::filesystem::path helpFile, TWindowOperations operations)
    : QObject(&window),
      window_(window),
      core_(core),
      views_(views),
      events_(events),
      prompts_(prompts),
      helpFile_(std::move(helpFile)),
      operations_(std::move(operations))
{
}

void TMainCommands::Run(TCommand command)
{
    switch (command) {
    case TCommand::OpenFilesList: OpenFilesList(); break;
    case TCommand::SaveFilesList: SaveFilesList(); break;
    case TCommand::StartServer: StartServer(); break;
    case TCommand::StopServer: core_.StopServer(); break;
    case TCommand::Exit: operations_.Exit(); return;
    case TCommand::Configuration: Configuration(); break;
    case TCommand::ClearActivityLog: core_.ActivityLog().ClearActivityLog(); break;
    case TCommand::RefreshFilesList: RefreshFilesList(); break;
    case TCommand::AddFiles: AddFiles(); break;
    case TCommand::RemoveFiles: core_.FilesList().RemoveSelected(views_.SelectedFileIds()); break;
    case TCommand::AddFolderContents: AddFolderContents(); break;
    case TCommand::RemoveAllFiles: RemoveAllFiles(); break;
    case TCommand::ToggleSuspend: ToggleSuspend(); break;
    case TCommand::ClearAccessCount: ClearAccessCount(); break;
    case TCommand::FileInformation: FileInformation(); break;
    case TCommand::LogQuickSave: LogQuickSave(); break;
    case TCommand::TransferDetails: TransferDetails(); break;
    case TCommand::DisplayFromTray: operations_.RestoreFromTray(); break;
    case TCommand::CheckForUpdates: ShowInstalledVersion(); break;
    case TCommand::TipOfTheDay: ShowTipOfTheDay(DialogParent(), core_.Settings()); break;
    case TCommand::Website: OpenManual(DialogParent()); break;
    case TCommand::Help: OpenManual(DialogParent()); break;
    case TCommand::About: ShowAbout(DialogParent(), [this](QWidget* about) { OpenManual(about); }); break;
    }
    // The views show what the command did at once, not at the next coalesced update.
    events_.Flush();
}

void TMainCommands::ReportStartRefusal(const TStartResult& result, QWidget* parent)
{
    if (result.Ok())
        return;
    prompts_.ShowError(parent, QString::fromStdString(result.MessageLines()));
}

void TMainCommands::OpenFilesList()
{
    const QString path = prompts_.ChooseFilesListToOpen(DialogParent(), ProgramFolder());
    if (path.isEmpty())
        return;
    const std::optional<TStartResult> started = core_.OpenFilesListCommand(LocalPath(path));
    events_.Flush();
    if (started)
        ReportStartRefusal(*started, DialogParent());
}

void TMainCommands::SaveFilesList()
{
    if (core_.FilesList().Count() == 0)
        return;
    const QString path = prompts_.ChooseFilesListToSave(DialogParent(), ProgramFolder());
    if (!path.isEmpty())
        core_.SaveFilesListCommand(LocalPath(path));
}

void TMainCommands::StartServer()
{
    ReportStartRefusal(core_.StartServer(), DialogParent());
}

void TMainCommands::Configuration()
{
    TConfigServices services;
    services.Prompts = &prompts_;
    services.ReportError = [this](const std::string& text) {
        core_.ActivityLog().AddActivityEntry(aiError, kNoEventText, kNoEventText, text);
    };
    services.RuleHits = [this] { return core_.SecurityRules().HitCounts(); };
    ShowConfiguration(DialogParent(), core_.Settings(), std::move(services),
                      [this] { core_.ReapplyAfterConfiguration(); });
}

void TMainCommands::RefreshFilesList()
{
    const TBusyCursor busy;
    core_.RefreshFilesList();
}

void TMainCommands::AddFiles()
{
    const QStringList paths = prompts_.ChooseFilesToAdd(DialogParent());
    if (paths.isEmpty())
        return;
    const TBusyCursor busy;
    core_.FilesList().AddFiles(LocalPaths(paths));
}

void TMainCommands::AddFolderContents()
{
    const QString folder =
        prompts_.ChooseFolder(DialogParent(), QStringLiteral("Add Folder Contents..."), QString());
    if (folder.isEmpty())
        return;
    const TBusyCursor busy;
    core_.FilesList().AddFolderContents(LocalPath(folder));
}

void TMainCommands::RemoveAllFiles()
{
    const bool yes = prompts_.ConfirmWarning(DialogParent(), QString::fromLatin1(TFilesList::kRemoveAllQuestion));
    core_.FilesList().RemoveAll(yes);
}

void TMainCommands::ToggleSuspend()
{
    core_.FilesList().ToggleSuspend(views_.SelectedFileIds());
    events_.Flush();
    // Every toggled entry is deselected, and every selected entry was toggled.
    views_.SelectFiles({});
}

void TMainCommands::ClearAccessCount()
{
    const std::vector<TFileEntryId> keep = core_.FilesList().ClearAccessCount(views_.SelectedFileIds());
    events_.Flush();
    views_.SelectFiles(keep);
}

void TMainCommands::FileInformation()
{
    const std::vector<TFileEntryId> selected = views_.SelectedFileIds();
    if (!OpensFileInformation(selected.size()))
        return;
    if (const std::optional<FileEntry> entry = core_.FilesList().Entry(selected.front()))
        ShowFileInformation(DialogParent(), *entry);
}

void TMainCommands::LogQuickSave()
{
    if (!core_.ActivityLog().LogCommandsEnabled())
        return;
    const QString path = prompts_.ChooseQuickSaveFile(DialogParent(), ProgramFolder());
    if (path.isEmpty())
        return;
    const TBusyCursor busy;
    core_.ActivityLog().QuickSaveActivityLog(LocalPath(path));
}

void TMainCommands::TransferDetails()
{
    if (views_.TransferModel().rowCount() == 0)
        return;
    if (const std::optional<TTransferRow> row = views_.SelectedTransferRow())
        ShowTransferDetails(DialogParent(), core_.TransferLog(), *row);
}

void TMainCommands::OpenManual(QWidget* parent)
{
    const QString manual = PathText(helpFile_.string());
    std::error_code failure;
    if (!std::filesystem::is_regular_file(helpFile_, failure))
        prompts_.ShowMessage(parent, QStringLiteral("Help"), QStringLiteral("The manual is not installed: ") + manual);
    else if (!prompts_.OpenDocument(QUrl::fromLocalFile(manual)))
        prompts_.ShowMessage(parent, QStringLiteral("Help"),
                             QStringLiteral("No program is set up to open the manual. Open it in a web browser: ") +
                                 manual);
}

void TMainCommands::ShowInstalledVersion()
{
    // There is no maker's site to ask: on Linux the program is updated with the system.
    prompts_.ShowMessage(DialogParent(), QStringLiteral("Check For Updates"),
                         QStringLiteral("Veltrane Desktop Pro ") + QString::fromLatin1(kVersionText) +
                             QStringLiteral(" is installed. Updates come with the system's package manager."));
}

QString TMainCommands::ProgramFolder() const
{
    return PathText(core_.Settings().Paths().ProgramFolder().string());
}

QWidget* TMainCommands::DialogParent() const
{
    return window_.isVisible() ? &window_ : nullptr;
}
