#include "ui/dialogs/AboutForm.h"

#include <utility>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CommandLine.h"
#include "ui/DialogFrame.h"
#include "ui/icons/ToolIcons.h"

namespace {

/// The banner, drawn in 380 x 110 device-independent pixels at `ratio` device pixels each,
/// so it is as crisp on a 2x screen as on a 1x one.
QPixmap ProductPicture(qreal ratio)
{
    QPixmap picture(QSize(380, 110) * ratio);
    picture.setDevicePixelRatio(ratio);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 380, 110);
    sky.setColorAt(0, QColor(22, 58, 128));
    sky.setColorAt(1, QColor(48, 132, 214));
    painter.fillRect(QRectF(0, 0, 380, 110), sky);
    // A few devices on a network line, fed from the left.
    painter.setPen(QPen(QColor(255, 255, 255, 110), 2));
    painter.drawLine(QPointF(292, 92), QPointF(372, 92));
    for (int i = 0; i < 4; ++i) {
        const qreal x = 294 + i * 20;
        painter.drawLine(QPointF(x + 7, 92), QPointF(x + 7, 82));
        painter.setBrush(QColor(255, 255, 255, 60));
        painter.drawRoundedRect(QRectF(x, 72, 14, 10), 2, 2);
    }
    AppIcon().paint(&painter, QRect(18, 23, 64, 64));
    painter.setPen(Qt::white);
    QFont title(QStringLiteral("Sans Serif"), 20, QFont::Bold);
    painter.setFont(title);
    painter.drawText(QPointF(98, 52), QStringLiteral("Veltrane"));
    QFont subtitle(QStringLiteral("Sans Serif"), 11);
    painter.setFont(subtitle);
    painter.drawText(QPointF(100, 76), QStringLiteral("Desktop Pro TFTP Server"));
    painter.end();
    return picture;
}

QLabel* ManualLink(QWidget* parent)
{
    auto* label = new QLabel(QStringLiteral("<a href=\"manual\">Open the manual</a>"), parent);
    label->setObjectName(QStringLiteral("ManualLink"));
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    return label;
}

}  // namespace

TAboutForm::TAboutForm(QWidget* parent, std::function<void(QWidget*)> openManual)
    : QDialog(parent), versionLabel_(new QLabel(QStringLiteral("Version ?.?"), this)), openManual_(std::move(openManual))
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    UseDialogFrame(*this);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("ProductImage"));
    picture->setPixmap(ProductPicture(devicePixelRatioF()));
    versionLabel_->setObjectName(QStringLiteral("VersionLabel"));
    QLabel* manual = ManualLink(this);
    connect(manual, &QLabel::linkActivated, this, [this] {
        if (openManual_)
            openManual_(this);
    });
    auto* updates = new QLabel(QStringLiteral("With the system's package manager"), this);
    updates->setObjectName(QStringLiteral("UpdatesLabel"));
    auto* links = new QGridLayout;
    links->addWidget(new QLabel(QStringLiteral("Manual:"), this), 0, 0);
    links->addWidget(manual, 0, 1);
    links->addWidget(new QLabel(QStringLiteral("Updates:"), this), 1, 0);
    links->addWidget(updates, 1, 1);
    links->setColumnStretch(1, 1);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(versionLabel_);
    layout->addLayout(links);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    versionLabel_->setText(QStringLiteral("Version ") + QString::fromLatin1(kVersionText));
}

void ShowAbout(QWidget* parent, std::function<void(QWidget*)> openManual)
{
    TAboutForm form(parent, std::move(openManual));
    form.exec();
}
