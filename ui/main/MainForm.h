#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QTimer>

#include "app/ApplicationCore.h"
#include "app/ProgramPaths.h"
#include "ui/GuiBridge.h"
#include "ui/main/CoreEvents.h"
#include "ui/main/MainPrompts.h"

class QLabel;
class TMainCommands;
class TMainMenus;
class TMainViews;
class TTray;

/// What the main window starts from.
struct TMainFormOptions {
    TProgramPaths Paths;
    /// The command line without the program's own options; "-cm" counts only first.
    std::vector<std::string> Arguments;
    /// The help document the "Help..." command opens when it exists.
    std::filesystem::path HelpFile;
    TMainPrompts* Prompts = &StandardMainPrompts();
    /// Whether there is a notification area to hide to; empty: ask the desktop.
    std::function<bool()> TrayAvailable = {};
};

/// The main window: the operator's whole working surface over the application core it
/// owns. It shows the core's files list, Transfer Log and Activity Log, reaches every
/// command from its menus, toolbar, context menus, tray menu and keys, hides to the tray
/// when minimised (unless a modal dialog is open) and restores from it, raising the modal
/// dialog with it. Closing it keeps its layout for the next start, stops the server without
/// waiting for transfers and ends the program. GUI thread only.
class TMainForm final : public QMainWindow {
    Q_OBJECT

public:
    static constexpr const char* kApplicationTitle = "Veltrane Desktop Pro";
    static constexpr int kLeastWidth = 460;
    static constexpr int kFirstWidth = 640;
    static constexpr int kFirstHeight = 480;
    static constexpr int kStatusPanelWidth = 200;
    static constexpr int kTipsDelayMs = 10;
    static constexpr int kProgressPollMs = 200;

    explicit TMainForm(TMainFormOptions options);
    ~TMainForm() override;

    /// The creation sequence: settings, security rules, the last files list with its
    /// refresh and automatic start (whose refusal is shown here, before the window is),
    /// the auto-refresh timer and the "-cm" switch. Returns whether the window is to be
    /// shown now; it is not when it started in the tray.
    bool CreateMainWindow();

    void HideToTray();
    void RestoreFromTray();
    void CloseMainWindow();

    TApplicationCore& Core() { return *core_; }
    TMainCommands& Commands() { return *commands_; }
    TMainViews& Views() { return *views_; }
    TCoreEvents& CoreEvents() { return events_; }
    const TTray& Tray() const { return *tray_; }

signals:
    /// The window closed: the program is to end.
    void Closed();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    /// The size, place and pane layout kept from the last run, or the first-start ones.
    void RestoreLayout();
    /// Keeps the size, place and pane layout in the settings file for the next start.
    void SaveLayout();
    void BuildStatusBar();
    void ConnectCoreEvents();
    void ConnectTimers();
    void ShowServerState();
    void ReloadTransfers();
    void PollProgress();
    void FirstShown();
    bool ProcessCommandLine();
    bool MayHideToTray() const;

    TMainFormOptions options_;
    // The bridge and the observer outlive the core: its threads call them until it is gone.
    TGuiBridge bridge_;
    TCoreEvents events_;
    std::unique_ptr<TApplicationCore> core_;
    TMainViews* views_;
    TMainCommands* commands_;
    TMainMenus* menus_;
    TTray* tray_;
    QLabel* statePanel_ = nullptr;
    QLabel* countPanel_ = nullptr;
    QTimer autoRefreshTimer_;
    QTimer tipsTimer_;
    QTimer progressTimer_;
    std::uint64_t progressVersion_ = 0;
    bool firstShown_ = false;
};
