#include "ui/dialogs/TipsForm.h"

#include <array>
#include <utility>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QVBoxLayout>

#include "app/SettingsStore.h"
#include "ui/DialogFrame.h"

namespace {

// As written for the dialog's label, where "&&" stands for one "&".
constexpr std::array<const char*, TTipsForm::kTipCount> kTips{
    "Stopping a file from being available for download is quick and easy, simply right-click the file and "
    "select Un/Suspend.",
    "You can stop Veltrane Desktop Pro from servicing TFTP clients by pressing the Stop button on the toolbar.",
    "Quickly share files by dragging && dropping them on to the application and clicking on the Start button.",
    "Newly uploaded files can be automatically added to the available files list by selecting 'Add new files "
    "to available files list.' check box from the Accepting Files tab in the Configuration dialog box.",
    "To overwrite existing files when devices upload new files simply select the 'Overwrite existing files.' "
    "check box from the Accepting Files tab in the Configuration dialog box.",
    "Quickly save the current contents of the activity log to disk by right-clicking on the activity log "
    "window and selecting 'Log Quick Save...'.",
    "Save the current list of files available for download by clicking on the 'Save File List...' button, then "
    "next time you run Veltrane Desktop Pro just load the files list up by clicking on the 'Open File List...' "
    "button.",
    "To have Veltrane Desktop Pro running as a tray icon, simply minimize the application. To get the Veltrane "
    "Desktop Pro window back, right-click the tray icon and select 'Display'.",
    "Many functions can be run simply by pressing a button. Check out the Shortcut tab in the Help file for a "
    "list of shortcut keys.",
    "Checking to make sure you have the lastest version of Veltrane Desktop Pro has never been easier. Simply "
    "click 'Check for updates...' under the Help menu.",
    "You can automatically start Veltrane Desktop Pro when you log in. Simply tick 'Automatically start "
    "application on system startup' on the General tab of the configuration dialog box.",
    "When you start Veltrane Desktop Pro you can get it to automatically load the last saved files list by "
    "ticking the 'Load last saved files list on startup' tick box on the General tab of the configuration "
    "dialog box.",
    "You can get more detail about current file transfers but clicking the left mouse button on a transfer, or "
    "by right clicking and selecting 'Details'...",
    "Dead connections taking too long to timeout? Specify a lower timeout value in the 'Configuration' dialog "
    "box, also unselect 'Accept client TIMEOUT values'.",
};

}  // namespace

int TTipsForm::currentTip_ = 1;

TTipsForm::TTipsForm(TSettingsStore& settings, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      tipText_(new QLabel(this)),
      showOnStartup_(new QCheckBox(QStringLiteral("Show tips on startup"), this))
{
    setObjectName(QStringLiteral("TipsForm"));
    setWindowTitle(QStringLiteral("Veltrane Desktop Pro - Tip of the day..."));
    UseDialogFrame(*this);
    auto* heading = new QLabel(QStringLiteral("Did you know..."), this);
    heading->setObjectName(QStringLiteral("HeadingLabel"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    heading->setFont(bold);
    tipText_->setObjectName(QStringLiteral("TipText"));
    tipText_->setTextFormat(Qt::PlainText);
    tipText_->setWordWrap(true);
    tipText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tipText_->setFrameShape(QFrame::StyledPanel);
    tipText_->setMargin(8);
    tipText_->setMinimumHeight(110);
    tipText_->setBackgroundRole(QPalette::Base);
    tipText_->setAutoFillBackground(true);
    showOnStartup_->setObjectName(QStringLiteral("ShowTipsCheckBox"));
    showOnStartup_->setChecked(true);
    auto* next = new QPushButton(QStringLiteral("Next Tip"), this);
    next->setObjectName(QStringLiteral("NextTipButton"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setDefault(true);
    connect(next, &QPushButton::clicked, this, &TTipsForm::NextTip);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(showOnStartup_);
    buttons->addStretch();
    buttons->addWidget(next);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(tipText_, 1);
    layout->addLayout(buttons);
    resize(440, 230);
}

QString TTipsForm::TipText(int number)
{
    if (number < 1 || number > kTipCount)
        return {};
    QString text = QString::fromLatin1(kTips[static_cast<std::size_t>(number - 1)]);
    return text.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

void TTipsForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (std::exchange(shown_, true))
        return;
    if (!settings_.Config()->TipsOnStartUp)
        showOnStartup_->setChecked(false);
    ShowTip(QRandomGenerator::global()->bounded(1, kTipCount + 1));
}

void TTipsForm::ShowTip(int number)
{
    currentTip_ = number;
    tipText_->setText(TipText(number));
}

void TTipsForm::NextTip()
{
    ShowTip(currentTip_ == kTipCount ? 1 : currentTip_ + 1);
}

void TTipsForm::done(int result)
{
    try {
        settings_.WriteTipsOnStartUp(showOnStartup_->isChecked());
    } catch (const std::exception&) {
        // The choice holds for this run all the same; a settings file that cannot be
        // written is not worth a message here.
    }
    QDialog::done(result);
}

void ShowTipOfTheDay(QWidget* parent, TSettingsStore& settings)
{
    TTipsForm form(settings, parent);
    form.exec();
}
