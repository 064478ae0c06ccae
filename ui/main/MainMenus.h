#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>

#include "ui/main/MainCommands.h"

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class TApplicationCore;
class TMainViews;

/// The places the main window's commands are reached from: the menu bar with its shortcut
/// keys, the toolbar, the context menus of the three views, the tray menu, and clicks and
/// keys in the views. Each runs its command through TMainCommands::Run. Context menus
/// work out their enabling each time they open. GUI thread only.
class TMainMenus final : public QObject {
public:
    TMainMenus(QMainWindow& window, TMainViews& views, TMainCommands& commands, TApplicationCore& core);

    QToolBar* ToolBar() const { return toolBar_; }
    QMenu* TrayMenu() const { return trayMenu_; }

    /// "Start TFTP" and "Stop TFTP" of the "Session" menu; the toolbar's stay enabled.
    void SetServerCommands(bool startEnabled, bool stopEnabled);

private:
    QAction* AddCommand(QWidget& container, const char* name, const QString& text, TCommand command,
                        const QKeySequence& shortcut = {});
    QAction* AddPaneSwitch(QMenu& menu, const char* name, const QString& text);
    void BuildSessionMenu();
    void BuildViewMenu();
    void BuildHelpMenu();
    void BuildToolBar();
    void BuildFilesPopup();
    void BuildActivityPopup();
    void BuildTransferPopup();
    void BuildTrayMenu();
    void ConnectViews();
    void UpdateFilesPopup();
    void FillDownloadCommandMenu();
    void CopyDownloadCommand(const QString& address);
    int ServedPort();
    void UpdateActivityPopup();
    void UpdateTransferPopup();

    QMainWindow& window_;
    TMainViews& views_;
    TMainCommands& commands_;
    TApplicationCore& core_;
    QToolBar* toolBar_ = nullptr;
    QAction* startItem_ = nullptr;
    QAction* stopItem_ = nullptr;
    QMenu* filesPopup_ = nullptr;
    QMenu* downloadCommandMenu_ = nullptr;
    QMenu* activityPopup_ = nullptr;
    QMenu* transferPopup_ = nullptr;
    QMenu* trayMenu_ = nullptr;
};
