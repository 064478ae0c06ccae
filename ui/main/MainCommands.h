#pragma once

#include <filesystem>
#include <functional>

#include <QObject>

class QWidget;
class TApplicationCore;
class TCoreEvents;
class TMainPrompts;
class TMainViews;
struct TStartResult;

/// Every command of the main window. Menu items, toolbar buttons, context-menu items,
/// tray items, shortcut keys and double clicks all run a command through Run(), so each
/// does the same wherever it is reached from.
enum class TCommand {
    OpenFilesList,
    SaveFilesList,
    StartServer,
    StopServer,
    Exit,
    Configuration,
    ClearActivityLog,
    RefreshFilesList,
    AddFiles,
    RemoveFiles,
    AddFolderContents,
    RemoveAllFiles,
    ToggleSuspend,
    ClearAccessCount,
    FileInformation,
    LogQuickSave,
    TransferDetails,
    DisplayFromTray,
    CheckForUpdates,
    TipOfTheDay,
    Website,
    Help,
    About,
};

/// The operations behind the commands, over the application core and the views. Exit and
/// Display belong to the window and are handed in. GUI thread only.
class TMainCommands final : public QObject {
public:
    struct TWindowOperations {
        std::function<void()> Exit;
        std::function<void()> RestoreFromTray;
    };

    TMainCommands(QWidget& window, TApplicationCore& core, TMainViews& views, TCoreEvents& events,
                  TMainPrompts& prompts, std::filesystem::path helpFile, TWindowOperations operations);

    void Run(TCommand command);

    /// Shows why the server did not start: "No file available." or the engine's error.
    void ReportStartRefusal(const TStartResult& result, QWidget* parent);

private:
    void OpenFilesList();
    void SaveFilesList();
    void StartServer();
    void Configuration();
    void RefreshFilesList();
    void AddFiles();
    void AddFolderContents();
    void RemoveAllFiles();
    void ToggleSuspend();
    void ClearAccessCount();
    void FileInformation();
    void LogQuickSave();
    void TransferDetails();
    /// "Help..." and "Website...": the manual, in the desktop's program for it; a message
    /// over `parent` says why when it cannot be opened.
    void OpenManual(QWidget* parent);
    void ShowInstalledVersion();
    /// Where the program's own dialogs start: the program folder.
    QString ProgramFolder() const;
    /// The window while it is on screen; no parent while it is in the tray.
    QWidget* DialogParent() const;

    QWidget& window_;
    TApplicationCore& core_;
    TMainViews& views_;
    TCoreEvents& events_;
    TMainPrompts& prompts_;
    std::filesystem::path helpFile_;
    TWindowOperations operations_;
};
