#include "ui/main/MainForm.h"

#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QUrl>

#include "app/CommandLine.h"
#include "app/IniFile.h"
#include "app/WindowLayout.h"
#include "ui/icons/ToolIcons.h"
#include "ui/main/MainCommands.h"
#include "ui/main/MainMenus.h"
#include "ui/main/MainViews.h"
#include "ui/main/Tray.h"
#include "ui/main/WindowPlacement.h"
#include "ui/ShownText.h"

namespace {

std::vector<std::string> DroppedPaths(const QMimeData& data)
{
    std::vector<std::string> paths;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths.push_back(LocalPath(url.toLocalFile()));
    return paths;
}

}  // namespace

TMainForm::TMainForm(TMainFormOptions options)
    : options_(std::move(options)),
      core_(std::make_unique<TApplicationCore>(options_.Paths)),
      views_(new TMainViews(this)),
      commands_(new TMainCommands(*this, *core_, *views_, events_, *options_.Prompts, options_.HelpFile,
                                  {[this] { CloseMainWindow(); }, [this] { RestoreFromTray(); }})),
      menus_(new TMainMenus(*this, *views_, *commands_, *core_)),
      tray_(new TTray(menus_->TrayMenu(), this, options_.TrayAvailable))
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Veltrane Desktop   v") + QString::fromLatin1(kVersionText));
    setWindowIcon(AppIcon());
    setCentralWidget(views_->Splitter());
    setMinimumWidth(kLeastWidth);
    setContextMenuPolicy(Qt::PreventContextMenu);
    RestoreLayout();
    BuildStatusBar();
    ConnectCoreEvents();
    ConnectTimers();
    connect(tray_, &TTray::DoubleClicked, this, [this] { commands_->Run(TCommand::DisplayFromTray); });
    core_->SetObserver(&events_);
    core_->SetMainThreadBridge(&bridge_);
}

TMainForm::~TMainForm()
{
    // Stop the engine's threads before the views and timers they report to go away.
    core_.reset();
}

void TMainForm::RestoreLayout()
{
    const std::optional<TWindowLayout> kept = TWindowLayout::Read(options_.Paths.SettingsFile());
    if (!kept) {
        // The first size, in device-independent pixels, on any screen it fits.
        resize(QSize(kFirstWidth, kFirstHeight).boundedTo(screen()->availableGeometry().size()));
        return;
    }
    setGeometry(PlacedOnScreens(QRect(kept->Left, kept->Top, kept->Width, kept->Height), AvailableScreenAreas()));
    if (kept->Maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    views_->RestoreLayout(*kept);
}

void TMainForm::SaveLayout()
{
    TWindowLayout layout;
    // A maximised window is kept at the size it returns to, and marked maximised.
    const QRect normal = isMaximized() && normalGeometry().isValid() ? normalGeometry() : geometry();
    layout.Left = normal.left();
    layout.Top = normal.top();
    layout.Width = normal.width();
    layout.Height = normal.height();
    layout.Maximized = isMaximized();
    views_->RecordLayout(layout);
    try {
        options_.Paths.EnsureProgramFolder();
        layout.Write(options_.Paths.SettingsFile());
    } catch (const ESettingsWriteError&) {
        // The program is ending and the file is left as it was: the next start merely
        // opens the window where it opened this time.
    }
}

void TMainForm::BuildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    statePanel_ = new QLabel(QString::fromLatin1(TServerState::kStopped), bar);
    statePanel_->setObjectName(QStringLiteral("StatusPanel0"));
    countPanel_ = new QLabel(QStringLiteral("Connection count: 0"), bar);
    countPanel_->setObjectName(QStringLiteral("StatusPanel1"));
    for (QLabel* panel : {statePanel_, countPanel_}) {
        panel->setFixedWidth(kStatusPanelWidth);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        bar->addWidget(panel);
    }
}

void TMainForm::ConnectCoreEvents()
{
    connect(&events_, &TCoreEvents::ActivityBatch, views_, &TMainViews::ApplyActivity);
    connect(&events_, &TCoreEvents::FilesDirty, this, [this] { views_->ReloadFiles(core_->FilesList().Entries()); });
    connect(&events_, &TCoreEvents::TransfersDirty, this, &TMainForm::ReloadTransfers);
    connect(&events_, &TCoreEvents::StatusDirty, this, &TMainForm::ShowServerState);
    connect(&events_, &TCoreEvents::ServerCommandsRequested, menus_, &TMainMenus::SetServerCommands);
    connect(&events_, &TCoreEvents::AutoRefreshTimerRequested, this, [this](bool enabled, int periodMs) {
        autoRefreshTimer_.setInterval(periodMs);
        if (enabled)
            autoRefreshTimer_.start();
        else
            autoRefreshTimer_.stop();
    });
}

void TMainForm::ConnectTimers()
{
    autoRefreshTimer_.setObjectName(QStringLiteral("AutoRefreshTimer"));
    autoRefreshTimer_.setParent(this);
    connect(&autoRefreshTimer_, &QTimer::timeout, this, [this] { commands_->Run(TCommand::RefreshFilesList); });
    tipsTimer_.setObjectName(QStringLiteral("TipsTimer"));
    tipsTimer_.setParent(this);
    tipsTimer_.setSingleShot(true);
    tipsTimer_.setInterval(kTipsDelayMs);
    connect(&tipsTimer_, &QTimer::timeout, this, [this] {
        if (core_->Config()->TipsOnStartUp)
            commands_->Run(TCommand::TipOfTheDay);
    });
    progressTimer_.setObjectName(QStringLiteral("ProgressTimer"));
    progressTimer_.setInterval(kProgressPollMs);
    connect(&progressTimer_, &QTimer::timeout, this, &TMainForm::PollProgress);
}

bool TMainForm::CreateMainWindow()
{
    setAcceptDrops(true);
    const std::optional<TStartResult> refused = core_->Startup();
    events_.Flush();
    if (refused) {
        commands_->ReportStartRefusal(*refused, nullptr);
        // A start the engine refused ends the sequence: no timer, no "-cm".
        if (refused->Outcome != TStartResult::TOutcome::NoFileAvailable)
            return true;
    }
    return !ProcessCommandLine();
}

bool TMainForm::ProcessCommandLine()
{
    const auto& arguments = options_.Arguments;
    if (arguments.empty() || arguments.front() != "-cm" || !core_->Config()->MinOnStartup)
        return false;
    HideToTray();
    return true;
}

bool TMainForm::MayHideToTray() const
{
    // Without a notification area the window stays minimised rather than vanishing. While
    // a modal dialog is open, hiding the window would take the dialog along and leave
    // nothing on screen that takes input, so it is minimised as a normal window.
    return tray_->Available() && QApplication::activeModalWidget() == nullptr;
}

void TMainForm::HideToTray()
{
    if (!MayHideToTray()) {
        showMinimized();
        return;
    }
    tray_->Activate();
    hide();
}

void TMainForm::RestoreFromTray()
{
    tray_->Deactivate();
    showNormal();
    raise();
    activateWindow();
    // A modal dialog that was open comes back on top of the window, with the input.
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->showNormal();
        dialog->raise();
        dialog->activateWindow();
    }
}

void TMainForm::CloseMainWindow()
{
    close();
}

void TMainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMinimized() && MayHideToTray())
        QTimer::singleShot(0, this, &TMainForm::HideToTray);
    else if (!isMinimized() && isVisible() && !firstShown_)
        FirstShown();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!firstShown_ && !isMinimized())
        FirstShown();
}

void TMainForm::FirstShown()
{
    firstShown_ = true;
    if (core_->Config()->TipsOnStartUp)
        tipsTimer_.start();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // No question; only the window's layout is written. Running transfers are stopped, not
    // waited for.
    SaveLayout();
    core_->Shutdown();
    tray_->Deactivate();
    event->accept();
    emit Closed();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData() != nullptr && !DroppedPaths(*event->mimeData()).empty())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const std::vector<std::string> paths = DroppedPaths(*event->mimeData());
    if (paths.empty())
        return;
    event->acceptProposedAction();
    core_->FilesList().AddDroppedFiles(paths);
    events_.Flush();
}

void TMainForm::ShowServerState()
{
    const TServerState& state = core_->ServerState();
    statePanel_->setText(QString::fromStdString(state.StateText()));
    countPanel_->setText(QString::fromStdString(state.CountText()));
}

void TMainForm::ReloadTransfers()
{
    std::vector<TTransferRow> rows = core_->TransferLog().Rows();
    progressVersion_ = core_->TransferLog().ProgressVersion();
    if (rows.empty())
        progressTimer_.stop();
    else if (!progressTimer_.isActive())
        progressTimer_.start();
    views_->ReloadTransfers(std::move(rows));
}

void TMainForm::PollProgress()
{
    const std::uint64_t version = core_->TransferLog().ProgressVersion();
    if (version == progressVersion_)
        return;
    progressVersion_ = version;
    views_->TransferModel().RefreshProgress(core_->TransferLog().Rows());
}
