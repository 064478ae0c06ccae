#include "ui/config/ConfigGeneralPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/config/ConfigWidgets.h"
#include "ui/Prompts.h"

TConfigGeneralPage::TConfigGeneralPage(TPrompts& prompts, QWidget* parent)
    : QWidget(parent),
      prompts_(prompts),
      startOnStartup_(NewCheckBox(this, QStringLiteral("StartOnStartupBox"),
                                  QStringLiteral("Automatically start application on system startup."))),
      minOnStartup_(NewCheckBox(this, QStringLiteral("MinOnStartupBox"),
                                QStringLiteral("Minimize on startup."))),
      loadOnStartup_(NewCheckBox(this, QStringLiteral("LoadOnStartupBox"),
                                 QStringLiteral("Open last saved files list on startup."))),
      autoStartTftp_(NewCheckBox(this, QStringLiteral("AutoStartTFTPBox"),
                                 QStringLiteral("Start TFTP after opening a files list."))),
      refreshAfterLoad_(NewCheckBox(
          this, QStringLiteral("RefreshAfterLoadBox"),
          QStringLiteral("Refresh the Files List after a files list is opened."))),
      autoRefresh_(NewCheckBox(this, QStringLiteral("AutoRefreshBox"),
                               QStringLiteral("Automatically refresh the files list every:"))),
      interval_(NewSpinBox(this, QStringLiteral("AutoRefreshIntervalEdit"), 1, 60)),
      minutesLabel_(NewLabel(this, QStringLiteral("MinutesLabel"), QStringLiteral("minutes."))),
      removeDead_(NewCheckBox(
          this, QStringLiteral("RemoveDeadBox"),
          QStringLiteral("Remove files from the list which have been moved or deleted."))),
      serveTree_(NewCheckBox(this, QStringLiteral("TreeRootBox"),
                             QStringLiteral("Serve files beneath this folder too:"))),
      treeRoot_(new QLineEdit(this)),
      treeBrowse_(new QPushButton(QStringLiteral("..."), this))
{
    connect(startOnStartup_, &QCheckBox::toggled, this, &TConfigGeneralPage::ApplyEnabling);
    connect(autoRefresh_, &QCheckBox::toggled, this, &TConfigGeneralPage::ApplyEnabling);

    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(autoRefresh_);
    intervalRow->addWidget(interval_);
    intervalRow->addWidget(minutesLabel_);
    intervalRow->addStretch();

    auto* group = new QGroupBox(QStringLiteral("General Settings"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(startOnStartup_);
    groupLayout->addWidget(minOnStartup_);
    groupLayout->addWidget(new QLabel(QStringLiteral("Files List settings"), group));
    groupLayout->addWidget(loadOnStartup_);
    groupLayout->addWidget(autoStartTftp_);
    groupLayout->addWidget(refreshAfterLoad_);
    groupLayout->addWidget(new QLabel(QStringLiteral("Refresh settings"), group));
    groupLayout->addLayout(intervalRow);
    groupLayout->addWidget(removeDead_);
    groupLayout->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    layout->addWidget(NewTreeGroup());

    Load(TConfig{}, false);
}

/// The "Boot tree" group: a folder whose files are served by their paths beneath it.
QWidget* TConfigGeneralPage::NewTreeGroup()
{
    treeRoot_->setObjectName(QStringLiteral("TreeRootEdit"));
    treeBrowse_->setObjectName(QStringLiteral("TreeRootBrowseButton"));
    connect(serveTree_, &QCheckBox::toggled, this, &TConfigGeneralPage::ApplyEnabling);
    connect(treeBrowse_, &QPushButton::clicked, this, &TConfigGeneralPage::BrowseTreeRoot);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(treeRoot_, 1);
    folderRow->addWidget(treeBrowse_);
    auto* group = new QGroupBox(QStringLiteral("Boot tree"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(serveTree_);
    groupLayout->addLayout(folderRow);
    return group;
}

void TConfigGeneralPage::Load(const TConfig& config, bool startOnStartup)
{
    interval_->setValue(config.AutoRefreshInterval);
    autoStartTftp_->setChecked(config.AutoStartTFTP);
    loadOnStartup_->setChecked(config.LoadOnStartup);
    refreshAfterLoad_->setChecked(config.RefreshAfterLoad);
    removeDead_->setChecked(config.RemoveDead);
    autoRefresh_->setChecked(config.AutoRefresh);
    startOnStartup_->setChecked(startOnStartup);
    minOnStartup_->setChecked(config.MinOnStartup);
    serveTree_->setChecked(!config.TreeRoot.empty());
    treeRoot_->setText(QString::fromStdString(config.TreeRoot));
    ApplyEnabling();
}

void TConfigGeneralPage::Store(TConfig& config) const
{
    config.AutoRefreshInterval = interval_->value();
    config.AutoStartTFTP = autoStartTftp_->isChecked();
    config.LoadOnStartup = loadOnStartup_->isChecked();
    config.RefreshAfterLoad = refreshAfterLoad_->isChecked();
    config.RemoveDead = removeDead_->isChecked();
    config.AutoRefresh = autoRefresh_->isChecked();
    config.MinOnStartup = minOnStartup_->isChecked();
    // The folder "/srv/tftp/" is the folder "/srv/tftp"; the root stays "/".
    QString root = serveTree_->isChecked() ? treeRoot_->text() : QString();
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    config.TreeRoot = root.toStdString();
}

bool TConfigGeneralPage::StartOnStartup() const
{
    return startOnStartup_->isChecked();
}

/// Minimising at start-up only happens when the autostart entry starts the program, so the
/// box follows the autostart box and is cleared with it.
void TConfigGeneralPage::ApplyEnabling()
{
    const bool autostart = startOnStartup_->isChecked();
    minOnStartup_->setEnabled(autostart);
    if (!autostart)
        minOnStartup_->setChecked(false);
    const bool refresh = autoRefresh_->isChecked();
    interval_->setEnabled(refresh);
    minutesLabel_->setEnabled(refresh);
    const bool tree = serveTree_->isChecked();
    treeRoot_->setEnabled(tree);
    treeBrowse_->setEnabled(tree);
}

void TConfigGeneralPage::BrowseTreeRoot()
{
    const QString folder = prompts_.ChooseFolder(this, QStringLiteral("Boot tree folder:"), treeRoot_->text());
    if (!folder.isEmpty())
        treeRoot_->setText(folder);
}
