#include "ui/icons/Animate.h"

#include <QPainter>

#include "ui/icons/Painting.h"

TAnimate::TAnimate(QWidget* parent) : QWidget(parent)
{
    setFixedSize(kWidth, kHeight);
    timer_.setInterval(kFrameMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kFrameCount;
        update();
    });
}

void TAnimate::Play(TClip clip)
{
    clip_ = clip;
    frame_ = 0;
    timer_.start();
    update();
}

void TAnimate::Stop()
{
    timer_.stop();
    clip_ = TClip::None;
    frame_ = 0;
    update();
}

void TAnimate::paintEvent(QPaintEvent*)
{
    if (clip_ == TClip::None)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintComputer(painter);
    PaintDevice(painter);
    PaintTravellingPage(painter);
}

void TAnimate::PaintComputer(QPainter& painter) const
{
    painter.setPen(QPen(QColor(70, 75, 85), 1.2));
    painter.setBrush(QColor(215, 220, 228));
    painter.drawRoundedRect(QRectF(8, 6, 54, 38), 3, 3);
    painter.setBrush(QColor(40, 90, 170));
    painter.drawRect(QRectF(13, 11, 44, 28));
    painter.setBrush(QColor(190, 195, 205));
    painter.drawRect(QRectF(27, 44, 16, 5));
    painter.drawRoundedRect(QRectF(16, 49, 38, 6), 2, 2);
}

void TAnimate::PaintDevice(QPainter& painter) const
{
    painter.setPen(QPen(QColor(70, 75, 85), 1.2));
    painter.setBrush(QColor(60, 66, 78));
    painter.drawRoundedRect(QRectF(200, 24, 64, 24), 3, 3);
    for (int i = 0; i < 5; ++i) {
        painter.setBrush(i % 2 == frame_ % 2 ? QColor(90, 220, 90) : QColor(40, 110, 40));
        painter.drawEllipse(QPointF(210 + i * 8, 36), 2.2, 2.2);
    }
    painter.setPen(QPen(QColor(70, 75, 85), 2));
    painter.drawLine(QPointF(250, 24), QPointF(254, 10));
}

void TAnimate::PaintTravellingPage(QPainter& painter) const
{
    constexpr qreal kLeftX = 70;
    constexpr qreal kRightX = 176;
    const qreal progress = static_cast<qreal>(frame_) / (kFrameCount - 1);
    const qreal x = clip_ == TClip::Sending ? kLeftX + (kRightX - kLeftX) * progress
                                            : kRightX - (kRightX - kLeftX) * progress;
    // The path the page travels along.
    painter.setPen(QPen(QColor(150, 155, 165), 1.5, Qt::DotLine));
    painter.drawLine(QPointF(kLeftX, 40), QPointF(kRightX + 22, 40));
    painter.save();
    painter.translate(x, 12);
    painter.scale(1.5, 1.5);
    DrawPage(painter, Qt::white, true);
    painter.restore();
}
