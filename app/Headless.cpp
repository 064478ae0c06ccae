#include "app/Headless.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <mutex>
#include <ostream>
#include <thread>

#include <pthread.h>

#include "app/ApplicationCore.h"
#include "app/BindDiagnosis.h"
#include "app/HeadlessLoop.h"
#include "app/ServiceControl.h"
#include "app/ServiceManager.h"
#include "core/FileSystem.h"
#include "engine/UnexpectedFailure.h"
#include "log/LogLine.h"

namespace {

/// How long running transfers may go on after a stop signal; every thread has ended
/// well within two seconds of the signal.
constexpr auto kDrainTime = std::chrono::milliseconds(1500);

/// Prints every activity entry as its text log line, when it is appended and again when
/// it is updated, and drives the loop's timer. Any thread may print; lines never mix.
class THeadlessPresenter : public TQuietApplicationObserver {
public:
    THeadlessPresenter(std::ostream& out, THeadlessLoop& loop) : out_(out), loop_(loop) {}

    /// The core whose timer ticks this presenter drives; set once, before it starts.
    void Present(TApplicationCore& core) { core_ = &core; }

    void ActivityEntryAppended(const TActivityEntry& entry) override { Print(entry); }
    void ActivityEntryUpdated(const TActivityEntry& entry) override { Print(entry); }

    void AutoRefreshTimerChanged(bool enabled, int periodMs) override
    {
        loop_.SetTimer(enabled ? std::optional(std::chrono::milliseconds(periodMs)) : std::nullopt,
                       [this] { core_->AutoRefreshTick(); });
    }

private:
    void Print(const TActivityEntry& entry)
    {
        const std::string line = FormatTextLine(entry);
        std::lock_guard guard(outLock_);
        out_ << line << std::endl;
    }

    std::mutex outLock_;  // one line at a time
    std::ostream& out_;
    THeadlessLoop& loop_;
    TApplicationCore* core_ = nullptr;
};

/// Turns SIGINT and SIGTERM into a stop request of the loop, and SIGHUP into a call of
/// `onHangup` on the watcher's thread. Blocks the three signals in every thread created
/// after it, so only its own thread takes them.
class TSignalWatcher {
public:
    TSignalWatcher(THeadlessLoop& loop, std::function<void()> onHangup)
    {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        sigaddset(&signals_, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        thread_ = std::thread([this, &loop, onHangup = std::move(onHangup)] {
            int received = 0;
            while (sigwait(&signals_, &received) == 0 && received == SIGHUP)
                onHangup();
            loop.RequestStop();
        });
    }

    ~TSignalWatcher()
    {
        // Wakes the watcher if no signal came; a signal that did come is already taken.
        pthread_kill(thread_.native_handle(), SIGTERM);
        thread_.join();
        // The signals stay blocked: a second one arriving now must not kill the process
        // on its way out with a status other than the one it returns.
    }

private:
    sigset_t signals_{};
    std::thread thread_;
};

/// Tells of a file the list will not take because a file of its name is listed already:
/// a client asking for that name gets the one listed first.
void NameIfListed(const TFilesList& list, const std::string& path, std::ostream& err)
{
    const std::string name = std::filesystem::path(path).filename().string();
    if (list.NameIsListed(name))
        err << "veltrane: " << path << ": not offered, a file named " << name << " is listed already" << std::endl;
}

void OfferPaths(TApplicationCore& core, const std::vector<std::string>& paths, std::ostream& err)
{
    for (const std::string& path : paths) {
        const std::string absolute = AbsolutePath(path);
        if (IsDirectory(absolute)) {
            for (const std::string& name : PlainFileNames(absolute))
                NameIfListed(core.FilesList(), WithoutTrailingSlashes(absolute) + "/" + name, err);
            core.FilesList().AddFolderContents(absolute);
        } else if (FileExists(absolute)) {
            NameIfListed(core.FilesList(), absolute, err);
            core.FilesList().AddFiles({absolute});
        } else {
            err << "veltrane: " << path << ": no such file or folder" << std::endl;
        }
    }
}

/// Why a folder named on the command line cannot be used; none when it can. The upload
/// folder may be missing as long as its parent folder is there to create it in.
std::optional<std::string> FolderOptionProblem(const TCommandLine& commandLine)
{
    if (commandLine.Root && !IsDirectory(*commandLine.Root))
        return "--root " + *commandLine.Root + ": no such folder";
    if (!commandLine.Accept)
        return std::nullopt;
    const std::string accept = WithoutTrailingSlashes(AbsolutePath(*commandLine.Accept));
    if (FileExists(accept) && !IsDirectory(accept))
        return "--accept " + *commandLine.Accept + ": not a folder";
    if (!IsDirectory(accept) && !IsDirectory(std::filesystem::path(accept).parent_path().string()))
        return "--accept " + *commandLine.Accept + ": no such folder, nor one to create it in";
    return std::nullopt;
}

/// The command line's values for this run; folders are taken from the working folder.
TConfigOverrides OverridesOf(const TCommandLine& commandLine)
{
    TConfigOverrides overrides;
    overrides.Port = commandLine.Port;
    if (!commandLine.Bind.empty()) {
        std::string bind;
        for (const std::string& address : commandLine.Bind)
            bind += (bind.empty() ? "" : ";") + address;
        overrides.Bind = bind;
    }
    if (commandLine.Root)
        overrides.TreeRoot = WithoutTrailingSlashes(AbsolutePath(*commandLine.Root));
    if (commandLine.Accept)
        overrides.DestDir = WithoutTrailingSlashes(AbsolutePath(*commandLine.Accept));
    overrides.MaxDLConn = commandLine.MaxDownloads;
    overrides.MaxULConn = commandLine.MaxUploads;
    return overrides;
}

}  // namespace

int RunHeadless(const TCommandLine& commandLine, std::ostream& out, std::ostream& err)
{
    // Output piped into a reader that quits (`| head -1`) must not end the server: a write
    // to the closed pipe then fails quietly instead of raising SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    // Declared before the core, so both outlive its engine's threads.
    THeadlessLoop loop;
    THeadlessPresenter presenter(out, loop);
    const TServiceManager serviceManager;
    TApplicationCore* served = nullptr;  // set once the core exists; reloads run after that
    TSignalWatcher signalWatcher(loop, [&loop, &served, &err, &serviceManager] {
        loop.Post([&served, &err, &serviceManager] {
            if (served == nullptr)
                return;
            serviceManager.NotifyReloading();
            const std::string outcome =
                ReloadSettingsAndRules(*served, [&err](const std::string& problem) { err << problem << std::endl; });
            err << outcome << std::endl;
            serviceManager.NotifyReady(outcome);
        });
    });
    if (const auto problem = FolderOptionProblem(commandLine)) {
        err << "veltrane: " << *problem << std::endl;
        return 2;
    }
    TApplicationCore core(TProgramPaths::ForCommandLine(commandLine.ConfigDir), kHeadlessActivityEntries);
    presenter.Present(core);
    core.SetObserver(&presenter);
    core.SetMainThreadBridge(&loop);
    core.ListenOnHandedSockets(serviceManager.HandedSockets());
    // A server started at boot may be told an address that comes up only later.
    core.Engine().Bindings().SetFreeBind(true);
    core.Settings().SetOverrides(OverridesOf(commandLine));
    // Nothing shows the activity log here, so a settings problem is told on standard error.
    core.SetSettingsProblemSink([&err](const std::string& problem) { err << problem << std::endl; });
    SetUnexpectedFailureSink([&err](const std::string& failure) { err << "veltrane: " << failure << std::endl; });

    std::optional<TStartResult> refused = core.Startup();
    // The paths given here may be just what an empty list lacked.
    if (refused && refused->Outcome == TStartResult::TOutcome::NoFileAvailable)
        refused.reset();
    OfferPaths(core, commandLine.Remaining, err);
    if (!refused && !core.ServerActive()) {
        TStartResult started = core.StartServer();
        if (!started.Ok())
            refused = started;
    }
    if (refused) {
        err << refused->MessageLines() << std::endl;
        if (refused->Outcome == TStartResult::TOutcome::BindFailed && serviceManager.HandedSockets().empty())
            for (const std::string& line : UnbindableAddressLines(BindAddresses(core.Config()->Bind), core.Config()->Port))
                err << line << std::endl;
        return 2;
    }
    served = &core;
    // One write, so a reader of standard error never sees half the line.
    const std::string startLine = StartLine(core);
    err << startLine + "\n" << std::flush;
    serviceManager.NotifyReady(startLine);
    loop.Run([&loop] { return loop.StopRequested(); });
    served = nullptr;  // a reload asked for while stopping has nothing left to apply to
    serviceManager.NotifyStopping();
    core.StopServer();
    loop.Run([&core] { return core.Engine().SessionCount() == 0; }, THeadlessLoop::TClock::now() + kDrainTime);
    // What did not finish within the drain time is stopped here, while the loop that
    // runs completion reports still exists.
    core.Shutdown();
    return 0;
}
