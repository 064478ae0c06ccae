#include "ui/icons/Painting.h"

#include <cmath>

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QIcon PaintedIcon(const std::function<void(QPainter&)>& paint)
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 16.0, size / 16.0);
        paint(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void DrawPage(QPainter& painter, const QColor& paper, bool lined)
{
    QPainterPath sheet;
    sheet.moveTo(3, 1);
    sheet.lineTo(10, 1);
    sheet.lineTo(13.5, 4.5);
    sheet.lineTo(13.5, 15);
    sheet.lineTo(3, 15);
    sheet.closeSubpath();
    painter.setPen(QPen(QColor(90, 100, 115), 0.8));
    painter.setBrush(paper);
    painter.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(10, 1);
    corner.lineTo(10, 4.5);
    corner.lineTo(13.5, 4.5);
    painter.setBrush(paper.darker(120));
    painter.drawPath(corner);
    if (!lined)
        return;
    painter.setPen(QPen(QColor(110, 140, 190), 0.8));
    for (const qreal y : {6.5, 8.5, 10.5, 12.5})
        painter.drawLine(QPointF(5, y), QPointF(11.5, y));
}

void DrawFolder(QPainter& painter, bool open)
{
    const QColor back(214, 160, 40);
    const QColor front(246, 200, 80);
    painter.setPen(QPen(back.darker(140), 0.8));
    painter.setBrush(back);
    QPainterPath rear;
    rear.moveTo(1, 3);
    rear.lineTo(6, 3);
    rear.lineTo(7.5, 4.5);
    rear.lineTo(14.5, 4.5);
    rear.lineTo(14.5, 13.5);
    rear.lineTo(1, 13.5);
    rear.closeSubpath();
    painter.drawPath(rear);
    painter.setBrush(front);
    QPainterPath lid;
    if (open) {
        lid.moveTo(3.5, 7);
        lid.lineTo(15.5, 7);
        lid.lineTo(13.5, 13.5);
        lid.lineTo(1, 13.5);
    } else {
        lid.moveTo(1, 6);
        lid.lineTo(14.5, 6);
        lid.lineTo(14.5, 13.5);
        lid.lineTo(1, 13.5);
    }
    lid.closeSubpath();
    painter.drawPath(lid);
}

void DrawArrow(QPainter& painter, QPointF from, QPointF to, const QColor& colour, qreal width)
{
    const QPointF along = to - from;
    const qreal length = std::hypot(along.x(), along.y());
    if (length <= 0)
        return;
    const QPointF unit = along / length;
    const QPointF across(-unit.y(), unit.x());
    const qreal head = width * 1.6;
    const QPointF neck = to - unit * head;
    painter.setPen(QPen(colour.darker(150), 0.6));
    painter.setBrush(colour);
    QPainterPath arrow;
    arrow.moveTo(from + across * (width / 2));
    arrow.lineTo(neck + across * (width / 2));
    arrow.lineTo(neck + across * head);
    arrow.lineTo(to);
    arrow.lineTo(neck - across * head);
    arrow.lineTo(neck - across * (width / 2));
    arrow.lineTo(from - across * (width / 2));
    arrow.closeSubpath();
    painter.drawPath(arrow);
}

void DrawBadge(QPainter& painter, QPointF centre, qreal diameter, const QColor& colour, bool tick)
{
    const qreal r = diameter / 2;
    painter.setPen(QPen(colour.darker(140), 0.7));
    painter.setBrush(colour);
    painter.drawEllipse(centre, r, r);
    painter.setPen(QPen(Qt::white, diameter / 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    const qreal s = r * 0.5;
    if (tick) {
        QPainterPath mark;
        mark.moveTo(centre + QPointF(-s, 0));
        mark.lineTo(centre + QPointF(-s * 0.2, s * 0.8));
        mark.lineTo(centre + QPointF(s * 1.1, -s * 0.8));
        painter.drawPath(mark);
    } else {
        painter.drawLine(centre + QPointF(-s, -s), centre + QPointF(s, s));
        painter.drawLine(centre + QPointF(-s, s), centre + QPointF(s, -s));
    }
}

void DrawSign(QPainter& painter, const QColor& colour, bool plus)
{
    const QPointF centre(12, 12);
    painter.setPen(QPen(colour.darker(140), 0.6));
    painter.setBrush(colour);
    painter.drawEllipse(centre, 3.6, 3.6);
    painter.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(centre + QPointF(-2, 0), centre + QPointF(2, 0));
    if (plus)
        painter.drawLine(centre + QPointF(0, -2), centre + QPointF(0, 2));
}
