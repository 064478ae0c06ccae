#include "ui/main/MainMenus.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

#include "app/ApplicationCore.h"
#include "ui/config/LocalAddresses.h"
#include "ui/icons/ToolIcons.h"
#include "ui/main/DownloadCommand.h"
#include "ui/main/MainViews.h"

namespace {

QMenu* AddMenu(QMenuBar& bar, const char* name, const QString& title)
{
    QMenu* menu = bar.addMenu(title);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QMenu* MakePopup(QWidget& parent, const char* name)
{
    auto* menu = new QMenu(&parent);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

}  // namespace

TMainMenus::TMainMenus(QMainWindow& window, TMainViews& views, TMainCommands& commands, TApplicationCore& core)
    : QObject(&window), window_(window), views_(views), commands_(commands), core_(core)
{
    BuildSessionMenu();
    QMenu* setup = AddMenu(*window_.menuBar(), "SetupMenu", QStringLiteral("Setup"));
    AddCommand(*setup, "ConfigurationItem", QStringLiteral("Configuration..."), TCommand::Configuration,
               Qt::Key_F4);
    BuildViewMenu();
    BuildHelpMenu();
    BuildToolBar();
    BuildFilesPopup();
    BuildActivityPopup();
    BuildTransferPopup();
    BuildTrayMenu();
    ConnectViews();
}

QAction* TMainMenus::AddCommand(QWidget& container, const char* name, const QString& text, TCommand command,
                                const QKeySequence& shortcut)
{
    auto* action = new QAction(text, &container);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, command] { commands_.Run(command); });
    container.addAction(action);
    return action;
}

QAction* TMainMenus::AddPaneSwitch(QMenu& menu, const char* name, const QString& text)
{
    QAction* action = menu.addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(true);
    action->setChecked(true);
    return action;
}

void TMainMenus::BuildSessionMenu()
{
    QMenu* session = AddMenu(*window_.menuBar(), "SessionMenu", QStringLiteral("Session"));
    AddCommand(*session, "OpenFilesListItem", QStringLiteral("Open Files List..."), TCommand::OpenFilesList,
               Qt::Key_F6);
    AddCommand(*session, "SaveFilesListItem", QStringLiteral("Save Files List..."), TCommand::SaveFilesList,
               Qt::Key_F7);
    session->addSeparator();
    startItem_ = AddCommand(*session, "StartTFTPItem", QStringLiteral("Start TFTP"), TCommand::StartServer,
                            Qt::Key_F9);
    stopItem_ = AddCommand(*session, "StopTFTPItem", QStringLiteral("Stop TFTP"), TCommand::StopServer,
                           Qt::Key_F10);
    session->addSeparator();
    AddCommand(*session, "ExitItem", QStringLiteral("Exit"), TCommand::Exit, QKeySequence(Qt::CTRL | Qt::Key_F4));
}

void TMainMenus::BuildViewMenu()
{
    QMenu* view = AddMenu(*window_.menuBar(), "ViewMenu", QStringLiteral("View"));
    connect(AddPaneSwitch(*view, "ShowToolbarItem", QStringLiteral("Show Toolbar")), &QAction::toggled, this,
            [this](bool shown) { toolBar_->setVisible(shown); });
    connect(AddPaneSwitch(*view, "ShowStatusBarItem", QStringLiteral("Show Status Bar")), &QAction::toggled, this,
            [this](bool shown) { window_.statusBar()->setVisible(shown); });
    connect(AddPaneSwitch(*view, "ShowActivityLogItem", QStringLiteral("Show Activity Log")), &QAction::toggled,
            &views_, &TMainViews::ShowActivityLog);
    connect(AddPaneSwitch(*view, "ShowTransferLogItem", QStringLiteral("Show Transfer Log")), &QAction::toggled,
            &views_, &TMainViews::ShowTransferLog);
    view->addSeparator();
    AddCommand(*view, "ClearActivityLogItem", QStringLiteral("Clear Activity Log"), TCommand::ClearActivityLog,
               Qt::Key_Delete);
    AddCommand(*view, "RefreshFilesListItem", QStringLiteral("Refresh Files List"), TCommand::RefreshFilesList,
               Qt::Key_F5);
}

void TMainMenus::BuildHelpMenu()
{
    QMenu* help = AddMenu(*window_.menuBar(), "HelpMenu", QStringLiteral("Help"));
    AddCommand(*help, "CheckForUpdatesItem", QStringLiteral("Check For Updates..."), TCommand::CheckForUpdates,
               Qt::Key_F8);
    AddCommand(*help, "TipOfTheDayItem", QStringLiteral("Tip Of The Day..."), TCommand::TipOfTheDay,
               Qt::Key_Insert);
    AddCommand(*help, "WebsiteItem", QStringLiteral("Website..."), TCommand::Website);
    help->addSeparator();
    AddCommand(*help, "HelpItem", QStringLiteral("Help..."), TCommand::Help, Qt::Key_F1);
    help->addSeparator();
    AddCommand(*help, "AboutItem", QStringLiteral("About..."), TCommand::About, Qt::Key_F3);
}

void TMainMenus::BuildToolBar()
{
    toolBar_ = window_.addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar_->setIconSize(QSize(24, 24));
    struct TButton {
        const char* Name;
        const char* Hint;
        TCommand Command;
        TToolIcon Icon;
        bool GroupEnds;
    };
    static constexpr TButton kButtons[] = {
        {"OpenFilesListButton", "Open Files List...", TCommand::OpenFilesList, TToolIcon::OpenFilesList, false},
        {"SaveFilesListButton", "Save Files List...", TCommand::SaveFilesList, TToolIcon::SaveFilesList, true},
        {"StartTFTPButton", "Start TFTP", TCommand::StartServer, TToolIcon::StartServer, false},
        {"StopTFTPButton", "Stop TFTP", TCommand::StopServer, TToolIcon::StopServer, true},
        {"AddFilesButton", "Add Files...", TCommand::AddFiles, TToolIcon::AddFiles, false},
        {"RemoveFilesButton", "Remove Files", TCommand::RemoveFiles, TToolIcon::RemoveFiles, false},
        {"AddFolderContentsButton", "Add Folder Contents...", TCommand::AddFolderContents,
         TToolIcon::AddFolderContents, true},
        {"RefreshFilesListButton", "Refresh Files List", TCommand::RefreshFilesList, TToolIcon::RefreshFilesList,
         false},
        {"RemoveAllFilesButton", "Remove All Files", TCommand::RemoveAllFiles, TToolIcon::RemoveAllFiles, true},
        {"ClearActivityLogButton", "Clear Activity Log", TCommand::ClearActivityLog, TToolIcon::ClearActivityLog,
         true},
        {"ConfigurationButton", "Configuration Settings...", TCommand::Configuration, TToolIcon::Configuration,
         true},
        {"AboutButton", "About...", TCommand::About, TToolIcon::About, false},
        {"ExitButton", "Exit", TCommand::Exit, TToolIcon::Exit, false},
    };
    for (const TButton& button : kButtons) {
        QAction* action = AddCommand(*toolBar_, button.Name, QString::fromLatin1(button.Hint), button.Command);
        action->setIcon(ToolIcon(button.Icon));
        action->setToolTip(QString::fromLatin1(button.Hint));
        if (button.GroupEnds)
            toolBar_->addSeparator();
    }
}

void TMainMenus::BuildFilesPopup()
{
    filesPopup_ = MakePopup(window_, "FilesPopupMenu");
    AddCommand(*filesPopup_, "AddFilesPopupItem", QStringLiteral("Add File(s)..."), TCommand::AddFiles);
    AddCommand(*filesPopup_, "RemoveFilesPopupItem", QStringLiteral("Remove File(s)"), TCommand::RemoveFiles);
    filesPopup_->addSeparator();
    AddCommand(*filesPopup_, "RefreshDeviceListPopupItem", QStringLiteral("Refresh Device List"),
               TCommand::RefreshFilesList);
    AddCommand(*filesPopup_, "ToggleSuspendPopupItem", QStringLiteral("Un/Suspend File(s)"), TCommand::ToggleSuspend);
    AddCommand(*filesPopup_, "ClearAccessCountPopupItem", QStringLiteral("Clear Access Count"),
               TCommand::ClearAccessCount);
    filesPopup_->addSeparator();
    AddCommand(*filesPopup_, "FileInformationPopupItem", QStringLiteral("File information..."),
               TCommand::FileInformation);
    downloadCommandMenu_ = filesPopup_->addMenu(QStringLiteral("Copy Download Command"));
    downloadCommandMenu_->setObjectName(QStringLiteral("CopyDownloadCommandMenu"));
    downloadCommandMenu_->setToolTip(QStringLiteral("Commands that fetch this file from the chosen address."));
    connect(downloadCommandMenu_, &QMenu::aboutToShow, this, &TMainMenus::FillDownloadCommandMenu);
    connect(filesPopup_, &QMenu::aboutToShow, this, &TMainMenus::UpdateFilesPopup);
}

void TMainMenus::BuildActivityPopup()
{
    activityPopup_ = MakePopup(window_, "ActivityPopupMenu");
    AddCommand(*activityPopup_, "ClearLogPopupItem", QStringLiteral("Clear Log"), TCommand::ClearActivityLog);
    AddCommand(*activityPopup_, "LogQuickSavePopupItem", QStringLiteral("Log Quick Save..."), TCommand::LogQuickSave);
    connect(activityPopup_, &QMenu::aboutToShow, this, &TMainMenus::UpdateActivityPopup);
}

void TMainMenus::BuildTransferPopup()
{
    transferPopup_ = MakePopup(window_, "TransferPopupMenu");
    AddCommand(*transferPopup_, "DetailsPopupItem", QStringLiteral("Details..."), TCommand::TransferDetails);
    connect(transferPopup_, &QMenu::aboutToShow, this, &TMainMenus::UpdateTransferPopup);
}

void TMainMenus::BuildTrayMenu()
{
    trayMenu_ = MakePopup(window_, "TrayPopupMenu");
    AddCommand(*trayMenu_, "DisplayTrayItem", QStringLiteral("Display"), TCommand::DisplayFromTray);
    AddCommand(*trayMenu_, "LogQuickSaveTrayItem", QStringLiteral("Log Quick Save..."), TCommand::LogQuickSave);
    AddCommand(*trayMenu_, "ExitTrayItem", QStringLiteral("Exit"), TCommand::Exit);
}

void TMainMenus::ConnectViews()
{
    const auto popupAt = [](QMenu* menu, QAbstractItemView* view) {
        return [menu, view](const QPoint& position) { menu->popup(view->viewport()->mapToGlobal(position)); };
    };
    connect(views_.FilesView(), &QWidget::customContextMenuRequested, this, popupAt(filesPopup_, views_.FilesView()));
    connect(views_.TransferView(), &QWidget::customContextMenuRequested, this,
            popupAt(transferPopup_, views_.TransferView()));
    connect(views_.ActivityView(), &QWidget::customContextMenuRequested, this,
            popupAt(activityPopup_, views_.ActivityView()));
    const auto run = [this](TCommand command) { return [this, command] { commands_.Run(command); }; };
    connect(views_.FilesView(), &QAbstractItemView::doubleClicked, this, run(TCommand::FileInformation));
    connect(&views_, &TMainViews::FilesViewEnterPressed, this, run(TCommand::FileInformation));
    // The Transfer Log is hot-tracked: one click opens the transfer window.
    connect(views_.TransferView(), &QAbstractItemView::clicked, this, run(TCommand::TransferDetails));
    connect(views_.TransferView(), &QAbstractItemView::doubleClicked, this, run(TCommand::TransferDetails));
}

void TMainMenus::SetServerCommands(bool startEnabled, bool stopEnabled)
{
    startItem_->setEnabled(startEnabled);
    stopItem_->setEnabled(stopEnabled);
}

void TMainMenus::UpdateFilesPopup()
{
    const TFilesPopupEnabling enabling =
        FilesPopupEnabling(views_.SelectedFileIds().size(), static_cast<std::size_t>(views_.FilesModel().rowCount()));
    const auto enable = [this](const char* name, bool enabled) {
        filesPopup_->findChild<QAction*>(QString::fromLatin1(name))->setEnabled(enabled);
    };
    enable("AddFilesPopupItem", enabling.AddFiles);
    enable("RemoveFilesPopupItem", enabling.RemoveFiles);
    enable("RefreshDeviceListPopupItem", enabling.RefreshDeviceList);
    enable("ToggleSuspendPopupItem", enabling.ToggleSuspend);
    enable("ClearAccessCountPopupItem", enabling.ClearAccessCount);
    enable("FileInformationPopupItem", enabling.FileInformation);
    downloadCommandMenu_->menuAction()->setEnabled(enabling.FileInformation);
}

/// One item per address the server can be reached at, the first non-loopback one first
/// and drawn as the default.
void TMainMenus::FillDownloadCommandMenu()
{
    downloadCommandMenu_->clear();
    for (const QString& address : DownloadAddresses(core_.Config()->Bind, LocalIPAddresses())) {
        QAction* item = downloadCommandMenu_->addAction(address);
        item->setObjectName(QStringLiteral("CopyDownloadCommandItem"));
        connect(item, &QAction::triggered, this, [this, address] { CopyDownloadCommand(address); });
    }
    if (!downloadCommandMenu_->actions().isEmpty())
        downloadCommandMenu_->setDefaultAction(downloadCommandMenu_->actions().front());
}

void TMainMenus::CopyDownloadCommand(const QString& address)
{
    const std::vector<TFileEntryId> selected = views_.SelectedFileIds();
    if (selected.size() != 1)
        return;
    const std::optional<FileEntry> entry = core_.FilesList().Entry(selected.front());
    if (!entry)
        return;
    QGuiApplication::clipboard()->setText(DownloadCommands(QString::fromStdString(entry->Name), address,
                                                           ServedPort(), core_.Config()->MaxWindowSize));
}

/// The port the running server is bound to (the system's pick when told to take any free
/// one), otherwise the one it will take.
int TMainMenus::ServedPort()
{
    TTrivialFTPServer& engine = core_.Engine();
    if (engine.Active() && engine.Bindings().Count() > 0 && engine.Bindings()[0].Port() > 0)
        return engine.Bindings()[0].Port();
    return core_.Config()->Port;
}

void TMainMenus::UpdateActivityPopup()
{
    const bool enabled = core_.ActivityLog().LogCommandsEnabled();
    for (QAction* action : activityPopup_->actions())
        action->setEnabled(enabled);
}

void TMainMenus::UpdateTransferPopup()
{
    transferPopup_->actions().front()->setEnabled(views_.SelectedTransferRow().has_value());
}
