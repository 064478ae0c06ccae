#include "ui/icons/ListIcons.h"

#include <array>

#include <QPainter>
#include <QPainterPath>

#include "ui/icons/Painting.h"

namespace {

void PaintAvailable(QPainter& painter)
{
    DrawPage(painter, Qt::white, true);
}

void PaintTransfer(QPainter& painter)
{
    DrawArrow(painter, {2, 5}, {14, 5}, QColor(40, 110, 210), 2.2);
    DrawArrow(painter, {14, 11}, {2, 11}, QColor(40, 110, 210), 2.2);
}

void PaintSuccess(QPainter& painter)
{
    DrawBadge(painter, {8, 8}, 13, QColor(40, 160, 60), true);
}

void PaintError(QPainter& painter)
{
    DrawBadge(painter, {8, 8}, 13, QColor(210, 45, 40), false);
}

void PaintSuspended(QPainter& painter)
{
    DrawPage(painter, QColor(235, 235, 235), true);
    painter.setPen(QPen(QColor(170, 110, 0), 0.6));
    painter.setBrush(QColor(245, 170, 20));
    painter.drawEllipse(QPointF(11.5, 11.5), 4, 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(9.8, 9.5, 1.2, 4));
    painter.drawRect(QRectF(12, 9.5, 1.2, 4));
}

void PaintMissing(QPainter& painter)
{
    painter.setOpacity(0.45);
    DrawPage(painter, Qt::white, false);
    painter.setOpacity(1);
    painter.setPen(QPen(QColor(200, 30, 30), 2.2, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    QPainterPath question;
    question.moveTo(5.5, 6);
    question.cubicTo(5.5, 2.5, 11, 2.5, 11, 6);
    question.cubicTo(11, 8, 8.3, 8.2, 8.3, 10.5);
    painter.drawPath(question);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 30, 30));
    painter.drawEllipse(QPointF(8.3, 13.6), 1.3, 1.3);
}

void PaintUpload(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(120, 130, 145));
    painter.drawRect(QRectF(2, 13, 12, 2));
    DrawArrow(painter, {8, 12}, {8, 1.5}, QColor(40, 170, 70), 3.4);
}

void PaintDownload(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(120, 130, 145));
    painter.drawRect(QRectF(2, 13, 12, 2));
    DrawArrow(painter, {8, 1.5}, {8, 12}, QColor(40, 110, 210), 3.4);
}

void PaintInformation(QPainter& painter)
{
    const QColor blue(40, 110, 210);
    painter.setPen(QPen(blue.darker(140), 0.7));
    painter.setBrush(blue);
    painter.drawEllipse(QPointF(8, 8), 6.5, 6.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(8, 4.8), 1.2, 1.2);
    painter.drawRect(QRectF(7, 7, 2, 5.5));
}

const std::array<QIcon, kListIconCount>& Icons()
{
    static const std::array<QIcon, kListIconCount> icons{
        PaintedIcon(PaintAvailable), PaintedIcon(PaintTransfer), PaintedIcon(PaintSuccess),
        PaintedIcon(PaintError),     PaintedIcon(PaintSuspended), PaintedIcon(PaintMissing),
        PaintedIcon(PaintUpload),    PaintedIcon(PaintDownload),  PaintedIcon(PaintInformation),
    };
    return icons;
}

}  // namespace

QIcon ListIcon(int index)
{
    if (index < 0 || index >= kListIconCount)
        return {};
    return Icons()[static_cast<std::size_t>(index)];
}
