#include "ui/config/ConfigLoggingPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/config/ConfigWidgets.h"
#include "ui/Prompts.h"

TConfigLoggingPage::TConfigLoggingPage(TPrompts& prompts, QWidget* parent)
    : QWidget(parent),
      prompts_(prompts),
      noLogRadio_(NewRadioButton(this, QStringLiteral("NoLogRadio"),
                                 QStringLiteral("Do not log activity."),
                                 QStringLiteral("Do not log activity to file."))),
      logRadio_(NewRadioButton(this, QStringLiteral("LogRadio"), QStringLiteral("Log activity:"),
                               QStringLiteral("Log activity to file."))),
      folder_(new QLineEdit(this)),
      browse_(new QPushButton(QStringLiteral("Browse..."), this)),
      typeLabel_(NewLabel(this, QStringLiteral("LogTypeLabel"), QStringLiteral("Type:"))),
      type_(new QComboBox(this)),
      limitOptions_(NewCheckBox(this, QStringLiteral("LogLimitOptionsBox"),
                                QStringLiteral("Enable log limit options:"),
                                QStringLiteral("Enable additional logging options.")))
{
    folder_->setObjectName(QStringLiteral("LogFolderEdit"));
    folder_->setToolTip(QStringLiteral("Select destination folder for log files to be stored"));
    browse_->setObjectName(QStringLiteral("LogFolderBrowseButton"));
    browse_->setToolTip(QStringLiteral("Browse for a destination folder..."));
    type_->setObjectName(QStringLiteral("LogTypeList"));
    type_->setToolTip(QStringLiteral("Select the type of log file to be saved."));
    type_->addItems({QStringLiteral("Text File (.log)"),
                     QStringLiteral("Comma Delimited File (.csv)")});
    connect(logRadio_, &QRadioButton::toggled, this, &TConfigLoggingPage::ApplyEnabling);
    connect(limitOptions_, &QCheckBox::toggled, this, &TConfigLoggingPage::ApplyEnabling);
    connect(browse_, &QPushButton::clicked, this, &TConfigLoggingPage::BrowseFolder);

    auto* settings = new QGridLayout;
    settings->addWidget(new QLabel(QStringLiteral("Log file folder:   "), this), 0, 0);
    settings->addWidget(folder_, 0, 1);
    settings->addWidget(browse_, 0, 2);
    settings->addWidget(typeLabel_, 1, 0);
    settings->addWidget(type_, 1, 1);

    auto* group = new QGroupBox(QStringLiteral("Log Settings"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(noLogRadio_);
    groupLayout->addWidget(logRadio_);
    groupLayout->addLayout(settings);
    groupLayout->addWidget(limitOptions_);
    groupLayout->addWidget(BuildLimitGroup());
    groupLayout->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);

    Load(TConfig{});
}

/// The group is disabled as a whole, so its choices, the size, "KB" and the note follow it.
QGroupBox* TConfigLoggingPage::BuildLimitGroup()
{
    limitGroup_ = new QGroupBox(QStringLiteral("Log limit options:"), this);
    limitGroup_->setObjectName(QStringLiteral("LogLimitGroup"));
    sizeLimitRadio_ = NewRadioButton(limitGroup_, QStringLiteral("SizeLimitRadio"),
                                     QStringLiteral("Limit log files to a specified size:"),
                                     QStringLiteral("Create a new log file once size has been reached."));
    dailyRadio_ = NewRadioButton(limitGroup_, QStringLiteral("DailyLogRadio"),
                                 QStringLiteral("Create a new log file every day."),
                                 QStringLiteral("Create a new log file once per day."));
    size_ = NewSpinBox(limitGroup_, QStringLiteral("LogSizeEdit"), 1, 10240);

    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(sizeLimitRadio_);
    sizeRow->addWidget(size_);
    sizeRow->addWidget(new QLabel(QStringLiteral("KB"), limitGroup_));
    sizeRow->addStretch();
    auto* layout = new QVBoxLayout(limitGroup_);
    layout->addLayout(sizeRow);
    layout->addWidget(new QLabel(
        QStringLiteral("(A new log file will be created once size has been reached)"), limitGroup_));
    layout->addWidget(dailyRadio_);
    return limitGroup_;
}

void TConfigLoggingPage::Load(const TConfig& config)
{
    (config.Log ? logRadio_ : noLogRadio_)->setChecked(true);
    // A format the list does not hold shows, and is saved, as the default text file.
    type_->setCurrentIndex(config.LogFormat == 1 ? 1 : 0);
    limitOptions_->setChecked(config.LogLimitOptions);
    (config.LogLimit ? sizeLimitRadio_ : dailyRadio_)->setChecked(true);
    size_->setValue(config.LogSize);
    folder_->setText(QString::fromStdString(config.LogFolder));
    ApplyEnabling();
}

void TConfigLoggingPage::Store(TConfig& config) const
{
    config.Log = logRadio_->isChecked();
    config.LogFormat = type_->currentIndex();
    config.LogLimitOptions = limitOptions_->isChecked();
    config.LogLimit = sizeLimitRadio_->isChecked();
    config.LogSize = size_->value();
    config.LogFolder = folder_->text().toStdString();
}

void TConfigLoggingPage::ApplyEnabling()
{
    const bool logging = logRadio_->isChecked();
    for (auto* widget : std::initializer_list<QWidget*>{typeLabel_, type_, folder_, browse_,
                                                        limitOptions_})
        widget->setEnabled(logging);
    limitGroup_->setEnabled(logging && limitOptions_->isChecked());
}

void TConfigLoggingPage::BrowseFolder()
{
    const QString folder =
        prompts_.ChooseFolder(this, QStringLiteral("Log file folder:"), folder_->text());
    if (!folder.isEmpty())
        folder_->setText(folder);
}
