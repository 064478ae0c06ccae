#pragma once

#include <functional>

#include <QColor>
#include <QIcon>
#include <QPointF>

class QPainter;

/// Drawing helpers for the pictures the program paints for itself at start-up. Shapes are
/// given in a 16 x 16 grid; the icon makers scale it to every size they render.

/// An icon painted at 16, 24, 32, 48 and 64 pixels by `paint`, which draws in the 16-unit grid.
QIcon PaintedIcon(const std::function<void(QPainter&)>& paint);

/// A sheet of paper with a folded corner filling most of the grid, lined when `lined`.
void DrawPage(QPainter& painter, const QColor& paper, bool lined);

/// A folder, open or closed.
void DrawFolder(QPainter& painter, bool open);

/// A thick arrow from `from` to `to`.
void DrawArrow(QPainter& painter, QPointF from, QPointF to, const QColor& colour, qreal width);

/// A round badge of `diameter` at `centre` with a tick (`tick`) or a cross inside.
void DrawBadge(QPainter& painter, QPointF centre, qreal diameter, const QColor& colour, bool tick);

/// A plus or minus sign in a small disc at the lower right of the grid.
void DrawSign(QPainter& painter, const QColor& colour, bool plus);
