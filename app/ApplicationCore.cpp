#include "app/ApplicationCore.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>

#include "app/BindAdvice.h"
#include "core/FilesListDocument.h"
#include "engine/UnexpectedFailure.h"
#include "security/SecurityRulesFile.h"

std::string TStartResult::MessageLines() const
{
    std::string lines;
    lines.reserve(Message.size());
    for (std::size_t i = 0; i < Message.size(); ++i) {
        if (Message[i] != '\r') {
            lines += Message[i];
            continue;
        }
        lines += '\n';
        if (i + 1 < Message.size() && Message[i + 1] == '\n')
            ++i;
    }
    return lines;
}

TApplicationCore::TApplicationCore(TProgramPaths paths, std::size_t activityLogLimit)
    : settings_(std::move(paths)),
      activityLog_(std::make_shared<TSystemClock>(), activityLogLimit),
      handlers_(filesList_, activityLog_, transferLog_, serverState_, securityRules_,
                [this] { return settings_.Config(); })
{
    WireEngine();
    // A failure nobody expected is an error entry like any other; headless mode sends
    // it to standard error instead.
    SetUnexpectedFailureSink([this](const std::string& failure) {
        activityLog_.AddActivityEntry(aiError, kNoEventText, kNoEventText, "Application: " + failure);
    });
}

TApplicationCore::~TApplicationCore()
{
    // Closing never waits for transfers: the engine stops them and drops their reports.
    Shutdown();
    SetUnexpectedFailureSink(nullptr);
}

void TApplicationCore::WireEngine()
{
    engine_.SetDefaultPort(69);
    engine_.SetThreadedEvent(true);
    engine_.SetAcceptTimeOut(true);
    // The handlers answer the events themselves: same parameters, no adapter between.
    engine_.OnSizeRequest = std::bind_front(&TRequestHandlers::TFTPSizeRequest, &handlers_);
    engine_.OnReadFile = std::bind_front(&TRequestHandlers::TFTPReadFile, &handlers_);
    engine_.OnWriteFile = std::bind_front(&TRequestHandlers::TFTPWriteFile, &handlers_);
    engine_.OnNoTransferPort = std::bind_front(&TRequestHandlers::TFTPNoTransferPort, &handlers_);
    engine_.OnTransferComplete = std::bind_front(&TRequestHandlers::TFTPTransferComplete, &handlers_);
}

void TApplicationCore::SetObserver(TApplicationObserver* observer)
{
    observer_ = observer;
    activityLog_.SetObserver(observer);
    filesList_.SetObserver(observer);
    transferLog_.SetObserver(observer);
    serverState_.SetObserver(observer);
}

void TApplicationCore::SetMainThreadBridge(IMainThreadBridge* bridge)
{
    engine_.SetMainThreadBridge(bridge);
}

std::optional<TStartResult> TApplicationCore::Startup()
{
    serverState_.ShowServerState(TServerState::kStopped);
    LoadSettings();
    ApplyEngineSettings();
    LoadSecurityRules();
    const auto config = settings_.Config();
    std::optional<TStartResult> refused;
    if (config->LoadOnStartup && !config->LastSavedFile.empty()) {
        LoadFilesList(config->LastSavedFile, filesList_, activityLog_);
        if (config->RefreshAfterLoad)
            RefreshFilesList();
        if (config->AutoStartTFTP)
            refused = StartServer();
    }
    if (refused && refused->Ok())
        refused.reset();
    // Only a start the engine refused ends the sequence; "No file available." is shown
    // and the start-up goes on.
    if (refused && refused->Outcome == TStartResult::TOutcome::BindFailed)
        return refused;
    UpdateAutoRefreshTimer();
    return refused;
}

void TApplicationCore::LoadSettings()
{
    for (const std::string& problem : settings_.LoadSettings()) {
        if (settingsProblemSink_)
            settingsProblemSink_(problem);
        else
            activityLog_.AddActivityEntry(aiError, kNoEventText, kNoEventText, problem);
    }
}

int TApplicationCore::Port() const
{
    return settings_.Config()->Port;
}

void TApplicationCore::ApplyEngineSettings()
{
    const auto config = settings_.Config();
    engine_.SetDefaultPort(Port());
    engine_.SetBufferSize(config->BufferSize);
    engine_.SetReceiveTimeout(config->Timeout);
    engine_.SetAcceptTimeOut(config->ClientTimeout);
    engine_.SetMaxWindowSize(config->MaxWindowSize);
    engine_.SetTransferPortRange(config->PortRangeLow, config->PortRangeHigh);
}

void TApplicationCore::ApplyBindings()
{
    engine_.Bindings().Clear();
    for (const int fd : handedSockets_)
        engine_.Bindings().Add().UseHandedSocket(fd);
    if (!handedSockets_.empty())
        return;
    for (const std::string& address : BindAddresses(settings_.Config()->Bind)) {
        TSocketHandle& binding = engine_.Bindings().Add();
        binding.SetIP(address);
        binding.SetPort(Port());
    }
}

TStartResult TApplicationCore::StartServer()
{
    const auto config = settings_.Config();
    // A boot tree is something to serve even while the files list is empty.
    if (filesList_.Count() == 0 && !config->Accept && config->TreeRoot.empty())
        return {TStartResult::TOutcome::NoFileAvailable, kNoFileAvailable};
    if (!engine_.Active()) {
        ApplyEngineSettings();
        ApplyBindings();
        // The rules' counts tell what this run of the server decided.
        securityRules_.ResetHits();
        try {
            engine_.SetActive(true);
        } catch (const std::exception& failure) {
            return {TStartResult::TOutcome::BindFailed, BindFailureMessage(failure, Port())};
        }
        SetServerCommands(false, true);
    }
    // The counts are the places transfers hold: those of the last run still ending keep
    // theirs until they end, so the limits hold across Stop and Start.
    serverState_.SetStopRequested(false);
    serverState_.ShowServerState(TServerState::kStarted);
    return {};
}

void TApplicationCore::StopServer()
{
    if (engine_.Active())
        engine_.SetActive(false);
    const bool busy = serverState_.DownloadCount() != 0 || serverState_.UploadCount() != 0;
    serverState_.SetStateText(busy ? TServerState::kStopping : TServerState::kStopped);
    serverState_.SetStopRequested(true);
    SetServerCommands(true, false);
}

std::optional<TStartResult> TApplicationCore::OpenFilesListCommand(const std::string& path)
{
    LoadFilesList(path, filesList_, activityLog_);
    if (!settings_.Config()->AutoStartTFTP)
        return std::nullopt;
    return StartServer();
}

void TApplicationCore::SaveFilesListCommand(const std::string& chosenPath)
{
    SaveFilesList(chosenPath, filesList_, activityLog_, [this](const std::string& written) {
        try {
            settings_.RecordLastSavedFile(written);
        } catch (const std::exception& failure) {
            activityLog_.AddActivityEntry(aiError, kNoEventText, kNoEventText,
                                          std::string("Application: ") + failure.what());
        }
    });
}

void TApplicationCore::RefreshFilesList()
{
    filesList_.Refresh(settings_.Config()->RemoveDead);
}

void TApplicationCore::UpdateAutoRefreshTimer()
{
    // Values read from the file are not held to the dialog's range: keep the period
    // positive and within what a millisecond timer takes.
    constexpr std::int32_t LongestInterval = INT32_MAX / 60000;
    const auto config = settings_.Config();
    const std::int32_t minutes = std::clamp(config->AutoRefreshInterval, 1, LongestInterval);
    if (observer_ != nullptr)
        observer_->AutoRefreshTimerChanged(config->AutoRefresh, minutes * 60000);
}

void TApplicationCore::ReapplyAfterConfiguration()
{
    LoadSettings();
    ApplyEngineSettings();
    LoadSecurityRules();
    UpdateAutoRefreshTimer();
}

/// Both files are loaded even when one fails, and a failure is reported once.
void TApplicationCore::LoadSecurityRules()
{
    const bool loaded = securityRules_.Reload(settings_.Paths().RulesFile());
    const auto ipv6Damage = securityRules_.ReloadIPv6(settings_.Paths().IPv6RulesFile());
    if (!loaded || !ipv6Damage)
        activityLog_.AddActivityEntry(aiError, kNoEventText, kNoEventText,
                                      "Application: Error loading security rules!");
    if (ipv6Damage && ipv6Damage->Count != 0)
        activityLog_.AddActivityEntry(aiError, kNoEventText, kNoEventText,
                                      "Application: Damaged IPv6 security rules skipped ("
                                          + ipv6Damage->Text() + ")!");
}

void TApplicationCore::SetServerCommands(bool startEnabled, bool stopEnabled)
{
    if (observer_ != nullptr)
        observer_->ServerCommandsChanged(startEnabled, stopEnabled);
}
