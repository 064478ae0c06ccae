#include "ui/config/ConfigAcceptingPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/config/ConfigWidgets.h"
#include "ui/Prompts.h"

TConfigAcceptingPage::TConfigAcceptingPage(TPrompts& prompts, QWidget* parent)
    : QWidget(parent),
      prompts_(prompts),
      refuseRadio_(NewRadioButton(this, QStringLiteral("RefuseFilesRadio"),
                                  QStringLiteral("Do not accept incoming files."),
                                  QStringLiteral("Do not allow remote hosts to upload files"))),
      acceptRadio_(NewRadioButton(
          this, QStringLiteral("AcceptFilesRadio"),
          QStringLiteral("Accept incoming files (dependent on security settings):"),
          QStringLiteral("Allow remote hosts to upload files"))),
      destination_(new QLineEdit(this)),
      browse_(new QPushButton(QStringLiteral("Browse..."), this)),
      addNew_(NewCheckBox(this, QStringLiteral("AddNewBox"),
                          QStringLiteral("Add new files to available files list."),
                          QStringLiteral("Once a file has been uploaded, add it to the "
                                         "available files list?"))),
      overwrite_(NewCheckBox(this, QStringLiteral("OverwriteBox"),
                             QStringLiteral("Overwrite existing files."),
                             QStringLiteral("If the file already exists, should it be "
                                            "overwritten?"))),
      logHash_(NewCheckBox(this, QStringLiteral("LogUploadHashBox"),
                           QStringLiteral("Log the SHA-256 checksum of each received file."),
                           QStringLiteral("Once a file has been uploaded, add its SHA-256 to the "
                                          "activity log?")))
{
    destination_->setObjectName(QStringLiteral("DestDirEdit"));
    destination_->setToolTip(
        QStringLiteral("Select destination folder for uploaded files to be stored."));
    browse_->setObjectName(QStringLiteral("DestDirBrowseButton"));
    browse_->setToolTip(QStringLiteral("Browse for a destination folder..."));
    connect(acceptRadio_, &QRadioButton::toggled, this, &TConfigAcceptingPage::ApplyEnabling);
    connect(browse_, &QPushButton::clicked, this, &TConfigAcceptingPage::BrowseDestination);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("Destination folder:"), this));
    folderRow->addWidget(destination_, 1);
    folderRow->addWidget(browse_);

    auto* group = new QGroupBox(QStringLiteral("Accepting Files"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(refuseRadio_);
    groupLayout->addWidget(acceptRadio_);
    groupLayout->addLayout(folderRow);
    groupLayout->addWidget(addNew_);
    groupLayout->addWidget(overwrite_);
    groupLayout->addWidget(logHash_);
    groupLayout->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);

    Load(TConfig{});
}

void TConfigAcceptingPage::Load(const TConfig& config)
{
    (config.Accept ? acceptRadio_ : refuseRadio_)->setChecked(true);
    addNew_->setChecked(config.AddNew);
    overwrite_->setChecked(config.Overwrite);
    logHash_->setChecked(config.LogUploadHash);
    destination_->setText(QString::fromStdString(config.DestDir));
    ApplyEnabling();
}

void TConfigAcceptingPage::Store(TConfig& config) const
{
    config.Accept = acceptRadio_->isChecked();
    config.AddNew = addNew_->isChecked();
    config.Overwrite = overwrite_->isChecked();
    config.LogUploadHash = logHash_->isChecked();
    config.DestDir = destination_->text().toStdString();
}

void TConfigAcceptingPage::RemoveTrailingSeparator()
{
    const QString text = destination_->text();
    if (text.endsWith(QLatin1Char('/')))
        destination_->setText(text.chopped(1));
}

void TConfigAcceptingPage::ApplyEnabling()
{
    const bool accepting = acceptRadio_->isChecked();
    for (auto* widget : std::initializer_list<QWidget*>{destination_, browse_, addNew_, overwrite_, logHash_})
        widget->setEnabled(accepting);
}

void TConfigAcceptingPage::BrowseDestination()
{
    const QString folder = prompts_.ChooseFolder(
        this, QStringLiteral("Destination folder for incoming files:"), destination_->text());
    if (!folder.isEmpty())
        destination_->setText(folder);
}
