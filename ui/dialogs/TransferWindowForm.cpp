#include "ui/dialogs/TransferWindowForm.h"

#include <algorithm>
#include <climits>
#include <utility>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

#include "core/TransferFigures.h"
#include "log/LogLine.h"
#include "ui/DialogFrame.h"
#include "ui/dialogs/ElidedLabel.h"
#include "ui/icons/Animate.h"
#include "ui/icons/Painting.h"

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPixmap DonePicture(qreal ratio)
{
    return PaintedIcon([](QPainter& painter) { DrawBadge(painter, {8, 8}, 14, QColor(40, 160, 60), true); })
        .pixmap(QSize(32, 32), ratio);
}

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace

TTransferWindowForm::TTransferWindowForm(TTransferLog& log, std::optional<TPeerInfo> record, QWidget* parent,
                                         TTickSource tick)
    : QDialog(parent),
      log_(log),
      record_(std::move(record)),
      tick_(std::move(tick)),
      timer_(this),
      animate_(new TAnimate(this)),
      doneImage_(new QLabel(this)),
      doneLabel_(MakeLabel(this, "TransDoneLabel", QStringLiteral("Transfer Complete"))),
      typeLabel_(MakeLabel(this, "TransTypeLabel", QStringLiteral("Download or Update"))),
      destLabel_(new TElidedLabel(QStringLiteral("Unknown"), this)),
      progressBar_(new QProgressBar(this)),
      type1Label_(MakeLabel(this, "Type1Label", QStringLiteral("Estimated time left:"))),
      timeLeftLabel_(MakeLabel(this, "TimeLeftLabel", QStringLiteral("Unknown"))),
      rateHeaderLabel_(MakeLabel(this, "RateHeaderLabel", QStringLiteral("Transfer Rate:"))),
      rateLabel_(MakeLabel(this, "RateLabel", QStringLiteral("Unknown"))),
      closeButton_(new QPushButton(QStringLiteral("Close"), this))
{
    setObjectName(QStringLiteral("TransferWindowForm"));
    setWindowTitle(QStringLiteral("Transmission Details"));
    UseDialogFrame(*this);
    setModal(true);
    timer_.setObjectName(QStringLiteral("Timer"));
    timer_.setInterval(kFirstTickMs);
    connect(&timer_, &QTimer::timeout, this, &TTransferWindowForm::TimerTick);
    animate_->setObjectName(QStringLiteral("Animate"));
    animate_->hide();
    doneImage_->setObjectName(QStringLiteral("TransDoneImage"));
    doneImage_->setPixmap(DonePicture(devicePixelRatioF()));
    doneImage_->hide();
    doneLabel_->hide();
    progressBar_->setObjectName(QStringLiteral("ProgressBar"));
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    // A plain green bar; its groove and frame come from the desktop's palette and style,
    // so the bar reads in a dark theme too.
    QPalette barColours = progressBar_->palette();
    barColours.setColor(QPalette::Highlight, QColor(47, 168, 79));
    progressBar_->setPalette(barColours);
    closeButton_->setObjectName(QStringLiteral("CloseButton"));
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
    BuildLayout();
    FitContent();
}

void TTransferWindowForm::BuildLayout()
{
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(animate_);
    top->addWidget(doneImage_);
    top->addWidget(doneLabel_);
    top->addStretch();
    QFont heading = typeLabel_->font();
    heading.setBold(true);
    typeLabel_->setFont(heading);
    destLabel_->setObjectName(QStringLiteral("DestLabel"));
    auto* figures = new QGridLayout;
    figures->addWidget(type1Label_, 0, 0);
    figures->addWidget(timeLeftLabel_, 0, 1);
    figures->addWidget(rateHeaderLabel_, 1, 0);
    figures->addWidget(rateLabel_, 1, 1);
    figures->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(typeLabel_);
    layout->addWidget(destLabel_);
    layout->addWidget(progressBar_);
    layout->addLayout(figures);
    layout->addStretch();
    layout->addLayout(buttons);
}

void TTransferWindowForm::FitContent()
{
    // The window keeps its size unless a longer text or a larger font needs more; it
    // never shrinks while open, so the figures do not make it jump.
    const QSize wanted = sizeHint().expandedTo(minimumSize()).expandedTo({kLeastWidth, kLeastHeight});
    if (wanted != minimumSize())
        setFixedSize(wanted);
}

std::optional<TTransferInfo> TTransferWindowForm::Record() const
{
    if (!record_)
        return std::nullopt;
    return log_.TransferInfo(*record_);
}

void TTransferWindowForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (std::exchange(shown_, true))
        return;
    bytesBefore_ = 0;
    tickBefore_ = tick_();
    if (const std::optional<TTransferInfo> info = Record())
        Fill(*info);
    timer_.setInterval(kFirstTickMs);
    timer_.start();
}

void TTransferWindowForm::done(int result)
{
    timer_.stop();
    animate_->Stop();
    animate_->hide();
    QDialog::done(result);
}

void TTransferWindowForm::Fill(const TTransferInfo& info)
{
    if (info.FinishTick != 0) {
        FillFinished(info);
    } else {
        animate_->Play(info.IsUpload ? TAnimate::TClip::Receiving : TAnimate::TClip::Sending);
        animate_->show();
        typeLabel_->setText(info.IsUpload ? QStringLiteral("Receiving:") : QStringLiteral("Sending:"));
        type1Label_->setText(QStringLiteral("Estimated time left:"));
    }
    // The line begins with the file name; only that part is elided when it is long.
    const std::string name = EscapeControlBytes(info.FileName);
    destLabel_->SetText(Text(name), Text(DestinationText(info).substr(name.size())));
    FitContent();
}

void TTransferWindowForm::FillFinished(const TTransferInfo& info)
{
    SetProgress(info.TotalSize, info.BytesDone);
    animate_->Stop();
    animate_->hide();
    doneImage_->show();
    doneLabel_->show();
    const TFinishedTexts texts = FinishedTexts(info);
    typeLabel_->setText(Text(texts.Heading));
    type1Label_->setText(Text(texts.Heading));
    timeLeftLabel_->setText(Text(texts.Summary));
    rateLabel_->setText(Text(texts.Rate));
    FitContent();
}

void TTransferWindowForm::TimerTick()
{
    timer_.setInterval(kTickMs);
    const std::optional<TTransferInfo> info = Record();
    if (!info)
        return;
    if (info->FinishTick != 0) {
        timer_.stop();
        Fill(*info);
        return;
    }
    const std::uint32_t now = tick_();
    const std::int64_t rate = TransferRate(info->BytesDone, bytesBefore_, now - tickBefore_);
    bytesBefore_ = info->BytesDone;
    if (info->TotalSize > 0)
        SetProgress(info->TotalSize, info->BytesDone);
    if (const std::optional<std::string> timeLeft = TimeLeftText(info->TotalSize, info->BytesDone, rate))
        timeLeftLabel_->setText(Text(*timeLeft));
    rateLabel_->setText(Text(RateText(rate)));
    tickBefore_ = now;
    FitContent();
}

void TTransferWindowForm::SetProgress(std::int64_t total, std::int64_t done)
{
    if (total <= 0)
        return;
    // The bar counts in int: halve both figures until the total fits.
    int shift = 0;
    while ((total >> shift) > INT_MAX)
        ++shift;
    const std::int64_t shown = std::clamp<std::int64_t>(done, 0, total);
    progressBar_->setRange(0, static_cast<int>(total >> shift));
    progressBar_->setValue(static_cast<int>(shown >> shift));
}

void ShowTransferDetails(QWidget* parent, TTransferLog& log, const TTransferRow& row)
{
    static bool showing = false;
    if (showing)
        return;
    const QScopedValueRollback oneAtATime(showing, true);
    const TPeerInfo peer{row.IP, row.Port};
    std::optional<TPeerInfo> record;
    if (log.TransferInfoForRow(row))
        record = peer;
    log.SetTransferWindowOpen(true);
    {
        TTransferWindowForm form(log, record, parent);
        form.exec();
    }
    log.SetTransferWindowOpen(false);
    // A record the window kept for a row that has gone since would never be dropped.
    if (!log.Row(row.Id))
        log.DropTransferInfo(peer);
}
