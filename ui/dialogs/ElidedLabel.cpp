#include "ui/dialogs/ElidedLabel.h"

#include <algorithm>

#include <QFontMetrics>

TElidedLabel::TElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent), name_(text)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

void TElidedLabel::SetText(const QString& name, const QString& tail)
{
    name_ = name;
    tail_ = tail;
    updateGeometry();
    Elide();
}

QSize TElidedLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int whole = metrics.horizontalAdvance(name_ + tail_);
    const int margins = contentsMargins().left() + contentsMargins().right() + 2 * margin();
    return {std::min(whole, kWidestChars * metrics.averageCharWidth()) + margins, QLabel::sizeHint().height()};
}

QSize TElidedLabel::minimumSizeHint() const
{
    // The tail always shows whole; the name may shrink to an ellipsis.
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QStringLiteral("\u2026") + tail_), QLabel::minimumSizeHint().height()};
}

void TElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Elide();
}

void TElidedLabel::Elide()
{
    const QFontMetrics metrics(font());
    const int room = contentsRect().width() - 2 * margin() - metrics.horizontalAdvance(tail_);
    const QString shown = metrics.elidedText(name_, Qt::ElideMiddle, std::max(room, 0));
    setText(shown + tail_);
    setToolTip(shown == name_ ? QString() : name_);
}
