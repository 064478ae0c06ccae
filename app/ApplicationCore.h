#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/SettingsStore.h"
#include "core/FilesList.h"
#include "core/RequestHandlers.h"
#include "core/ServerState.h"
#include "core/TransferLog.h"
#include "engine/TrivialFTPServer.h"
#include "log/ActivityLog.h"
#include "security/SecurityRules.h"

/// Where the application core's changes go: the window presents them, the headless mode
/// prints them. Every call may come from any thread, after the core released its locks,
/// and must return quickly.
class TApplicationObserver : public TActivityLogObserver,
                             public TFilesListObserver,
                             public TTransferLogObserver,
                             public TServerStateObserver {
public:
    /// The auto-refresh timer is to run every `periodMs` milliseconds, or not at all.
    /// Called on the main thread; each tick of the host's timer calls AutoRefreshTick().
    virtual void AutoRefreshTimerChanged(bool enabled, int periodMs) = 0;
    /// "Start TFTP" and "Stop TFTP" menu items changed their enabling. Main thread.
    virtual void ServerCommandsChanged(bool startEnabled, bool stopEnabled) = 0;
};

/// An observer that ignores every change; presenters that care about a few changes
/// derive from it and override just those.
class TQuietApplicationObserver : public TApplicationObserver {
public:
    void ActivityEntryAppended(const TActivityEntry&) override {}
    void ActivityEntryUpdated(const TActivityEntry&) override {}
    void ActivityEntriesDropped(const std::vector<TActivityEntryId>&) override {}
    void ActivityLogCleared() override {}
    void FilesListChanged() override {}
    void TransferRowsChanged() override {}
    void StatusTextsChanged() override {}
    void AutoRefreshTimerChanged(bool, int) override {}
    void ServerCommandsChanged(bool, bool) override {}
};

/// How "Start TFTP" ended.
struct TStartResult {
    enum class TOutcome { Started, NoFileAvailable, BindFailed } Outcome = TOutcome::Started;
    std::string Message;  // the text the operator is shown when not started
    bool Ok() const { return Outcome == TOutcome::Started; }
    /// The message as lines for a window or a terminal: each "\r\n" or lone "\r" (the
    /// message's own line breaks) becomes one "\n".
    std::string MessageLines() const;
};

/// Everything the program owns apart from its windows: the engine, the files list, the
/// security rules, the activity and transfer logs, the server state and the settings.
/// The window presents it and the headless mode drives it; tests drive it directly.
/// Commands are called on the main thread; the engine calls in from its own threads.
class TApplicationCore {
public:
    static constexpr const char* kNoFileAvailable =
        "No file available.\rPlease add at least one file first or accept incoming files.";

    /// `activityLogLimit` bounds the entries kept in memory besides transfers under way.
    explicit TApplicationCore(TProgramPaths paths, std::size_t activityLogLimit = TActivityLog::kDefaultMaxEntries);
    ~TApplicationCore();
    TApplicationCore(const TApplicationCore&) = delete;
    TApplicationCore& operator=(const TApplicationCore&) = delete;

    /// Set before Startup(); nullptr for none.
    void SetObserver(TApplicationObserver* observer);
    /// Where completion reports run: the host's main thread.
    void SetMainThreadBridge(IMainThreadBridge* bridge);
    /// Where the problems found in the settings file go, once per load; by default each
    /// is an error entry of the activity log. Set before Startup().
    void SetSettingsProblemSink(std::function<void(const std::string&)> sink) { settingsProblemSink_ = std::move(sink); }

    /// The start-up sequence: settings, rules, the last files list with its refresh and
    /// automatic start, the auto-refresh timer. Returns the automatic start's refusal for
    /// the caller to show; a bind failure ends the sequence before the timer.
    std::optional<TStartResult> Startup();

    TStartResult StartServer();
    void StopServer();
    /// The program is ending: closes the listening sockets so no new request is taken,
    /// stops the running transfers without waiting for them to finish and drops their
    /// reports; the state texts and the commands stay as they are. The window's close and
    /// the headless mode's end call it; the core's end does as a backstop. Safe to call again.
    void Shutdown() { engine_.Shutdown(); }
    bool ServerActive() const { return engine_.Active(); }
    /// "Open Files List...": opens the document, then starts when AutoStartTFTP is set.
    std::optional<TStartResult> OpenFilesListCommand(const std::string& path);
    /// "Save Files List...".
    void SaveFilesListCommand(const std::string& chosenPath);
    /// "Refresh Files List" and each tick of the auto-refresh timer.
    void RefreshFilesList();
    void AutoRefreshTick() { RefreshFilesList(); }
    void UpdateAutoRefreshTimer();
    /// After the configuration dialog closed, by either button.
    void ReapplyAfterConfiguration();
    /// Reloads the serving copies of the IPv4 and IPv6 security rules, logging a failure
    /// and any damaged IPv6 rule lines that were skipped.
    void LoadSecurityRules();

    void ApplyEngineSettings();
    /// The engine's bindings: the addresses of "Bind" on "Port", or the handed sockets.
    void ApplyBindings();
    /// Sockets bound already (handed over by the service manager) that the server listens
    /// on instead of binding "Bind" and "Port"; the caller keeps them open. Main thread.
    void ListenOnHandedSockets(std::vector<int> fds) { handedSockets_ = std::move(fds); }

    TSettingsStore& Settings() { return settings_; }
    std::shared_ptr<const TConfig> Config() const { return settings_.Config(); }
    TFilesList& FilesList() { return filesList_; }
    TActivityLog& ActivityLog() { return activityLog_; }
    TTransferLog& TransferLog() { return transferLog_; }
    TServerState& ServerState() { return serverState_; }
    TSecurityRules& SecurityRules() { return securityRules_; }
    TTrivialFTPServer& Engine() { return engine_; }

private:
    void WireEngine();
    void LoadSettings();
    int Port() const;
    void SetServerCommands(bool startEnabled, bool stopEnabled);

    TSettingsStore settings_;
    TFilesList filesList_;
    TActivityLog activityLog_;
    TTransferLog transferLog_;
    TServerState serverState_;
    TSecurityRules securityRules_;
    TRequestHandlers handlers_;
    TApplicationObserver* observer_ = nullptr;
    std::function<void(const std::string&)> settingsProblemSink_;
    std::vector<int> handedSockets_;
    // Last, so it goes first: its sessions use everything above until they are joined.
    TTrivialFTPServer engine_;
};
