#include "ui/main/WindowPlacement.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>

namespace {

long long OverlapArea(const QRect& one, const QRect& other)
{
    const QRect common = one.intersected(other);
    return common.isEmpty() ? 0 : static_cast<long long>(common.width()) * common.height();
}

QRect HomeScreen(const QRect& wanted, const QList<QRect>& screens)
{
    for (const QRect& screen : screens)
        if (screen.contains(wanted.center()))
            return screen;
    const auto most = std::max_element(screens.begin(), screens.end(), [&wanted](const QRect& a, const QRect& b) {
        return OverlapArea(wanted, a) < OverlapArea(wanted, b);
    });
    return OverlapArea(wanted, *most) > 0 ? *most : screens.front();
}

}  // namespace

QRect PlacedOnScreens(const QRect& wanted, const QList<QRect>& screens)
{
    if (screens.isEmpty())
        return wanted;
    const QRect screen = HomeScreen(wanted, screens);
    const QSize size = wanted.size().boundedTo(screen.size());
    const int left = std::clamp(wanted.left(), screen.left(), screen.right() + 1 - size.width());
    const int top = std::clamp(wanted.top(), screen.top(), screen.bottom() + 1 - size.height());
    return {QPoint(left, top), size};
}

QList<QRect> AvailableScreenAreas()
{
    QList<QRect> areas;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            areas << screen->availableGeometry();
    return areas;
}
