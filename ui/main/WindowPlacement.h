#pragma once

#include <QList>
#include <QRect>

/// `wanted` moved and shrunk as little as needed to lie wholly on one of `screens` (their
/// available areas): the screen holding its centre, else the one it overlaps most, else the
/// first. A window kept from a run on a screen that is gone, or on a larger one, so comes
/// back whole where the operator can reach it. No screens: `wanted` unchanged.
QRect PlacedOnScreens(const QRect& wanted, const QList<QRect>& screens);

/// The available areas of the screens present, the primary one first.
QList<QRect> AvailableScreenAreas();
