#include "ui/icons/ToolIcons.h"

#include <cmath>
#include <map>
#include <numbers>

#include <QPainter>
#include <QPainterPath>

#include "ui/icons/Painting.h"

namespace {

void PaintSave(QPainter& painter)
{
    painter.setPen(QPen(QColor(30, 60, 120), 0.8));
    painter.setBrush(QColor(60, 110, 200));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(4, 1.5, 8, 5));
    painter.setBrush(QColor(200, 205, 215));
    painter.drawRect(QRectF(3.5, 9, 9, 5.5));
}

void PaintStart(QPainter& painter)
{
    painter.setPen(QPen(QColor(20, 110, 40), 0.8));
    painter.setBrush(QColor(50, 180, 70));
    QPainterPath triangle;
    triangle.moveTo(3.5, 2);
    triangle.lineTo(14, 8);
    triangle.lineTo(3.5, 14);
    triangle.closeSubpath();
    painter.drawPath(triangle);
}

void PaintStop(QPainter& painter)
{
    painter.setPen(QPen(QColor(140, 20, 20), 0.8));
    painter.setBrush(QColor(215, 50, 45));
    painter.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 1.5, 1.5);
}

void PaintRefresh(QPainter& painter)
{
    const QColor green(40, 150, 60);
    painter.setPen(QPen(green, 2.2, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 270 * 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(green);
    QPainterPath head;
    head.moveTo(9, 0.5);
    head.lineTo(14, 3);
    head.lineTo(9.5, 6.5);
    head.closeSubpath();
    painter.drawPath(head);
}

void PaintRemoveAll(QPainter& painter)
{
    painter.save();
    painter.translate(-1.5, -1);
    DrawPage(painter, QColor(230, 230, 230), false);
    painter.restore();
    painter.save();
    painter.translate(0.5, 0);
    painter.scale(0.95, 0.95);
    DrawPage(painter, Qt::white, true);
    painter.restore();
    DrawBadge(painter, {11.5, 11.5}, 8, QColor(210, 45, 40), false);
}

void PaintClearLog(QPainter& painter)
{
    painter.setPen(QPen(QColor(90, 100, 115), 0.8));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(1.5, 2, 13, 12));
    painter.setPen(QPen(QColor(110, 140, 190), 1));
    for (const qreal y : {5.0, 7.5, 10.0, 12.5})
        painter.drawLine(QPointF(3.5, y), QPointF(12.5, y));
    painter.setPen(QPen(QColor(210, 45, 40), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(3, 13), QPointF(13, 3));
}

void PaintConfiguration(QPainter& painter)
{
    const QPointF centre(8, 8);
    QPainterPath gear;
    constexpr int kTeeth = 8;
    for (int i = 0; i < kTeeth * 2; ++i) {
        const double angle = i * std::numbers::pi / kTeeth;
        const double radius = (i % 2 == 0) ? 7.2 : 5.4;
        const QPointF point = centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
        if (i == 0)
            gear.moveTo(point);
        else
            gear.lineTo(point);
    }
    gear.closeSubpath();
    gear.addEllipse(centre, 2.2, 2.2);
    gear.setFillRule(Qt::OddEvenFill);
    painter.setPen(QPen(QColor(70, 75, 85), 0.7));
    painter.setBrush(QColor(150, 158, 170));
    painter.drawPath(gear);
}

void PaintAbout(QPainter& painter)
{
    painter.setPen(QPen(QColor(20, 70, 150), 0.7));
    painter.setBrush(QColor(50, 120, 215));
    painter.drawEllipse(QPointF(8, 8), 6.8, 6.8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(8, 4.6), 1.2, 1.2);
    painter.drawRoundedRect(QRectF(7, 6.8, 2, 6), 0.6, 0.6);
}

void PaintExit(QPainter& painter)
{
    painter.setPen(QPen(QColor(90, 60, 30), 0.8));
    painter.setBrush(QColor(170, 115, 60));
    painter.drawRect(QRectF(1.5, 1.5, 8, 13));
    painter.setBrush(QColor(230, 200, 80));
    painter.drawEllipse(QPointF(7.5, 8.5), 0.8, 0.8);
    DrawArrow(painter, {8, 8}, {15.5, 8}, QColor(210, 45, 40), 2.6);
}

QIcon Make(TToolIcon which)
{
    switch (which) {
    case TToolIcon::OpenFilesList:
        return PaintedIcon([](QPainter& p) { DrawFolder(p, true); });
    case TToolIcon::SaveFilesList:
        return PaintedIcon(PaintSave);
    case TToolIcon::StartServer:
        return PaintedIcon(PaintStart);
    case TToolIcon::StopServer:
        return PaintedIcon(PaintStop);
    case TToolIcon::AddFiles:
        return PaintedIcon([](QPainter& p) { DrawPage(p, Qt::white, true); DrawSign(p, QColor(40, 160, 60), true); });
    case TToolIcon::RemoveFiles:
        return PaintedIcon([](QPainter& p) { DrawPage(p, Qt::white, true); DrawSign(p, QColor(210, 45, 40), false); });
    case TToolIcon::AddFolderContents:
        return PaintedIcon([](QPainter& p) { DrawFolder(p, false); DrawSign(p, QColor(40, 160, 60), true); });
    case TToolIcon::RefreshFilesList:
        return PaintedIcon(PaintRefresh);
    case TToolIcon::RemoveAllFiles:
        return PaintedIcon(PaintRemoveAll);
    case TToolIcon::ClearActivityLog:
        return PaintedIcon(PaintClearLog);
    case TToolIcon::Configuration:
        return PaintedIcon(PaintConfiguration);
    case TToolIcon::About:
        return PaintedIcon(PaintAbout);
    case TToolIcon::Exit:
        return PaintedIcon(PaintExit);
    }
    return {};
}

}  // namespace

QIcon ToolIcon(TToolIcon which)
{
    static std::map<TToolIcon, QIcon> made;
    auto found = made.find(which);
    if (found == made.end())
        found = made.emplace(which, Make(which)).first;
    return found->second;
}

QIcon AppIcon()
{
    // An installed theme's icon wins, so the window matches its launcher; the drawing
    // compiled into the program stands in where none is installed.
    static const QIcon icon =
        QIcon::fromTheme(QStringLiteral("veltrane"), QIcon(QStringLiteral(":/icons/veltrane.svg")));
    return icon;
}
