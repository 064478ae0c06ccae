#include "ui/config/RuleHitsDelegate.h"

#include <QPainter>

void TRuleHitsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const QVariant hits = index.data(kHitsRole);
    if (!hits.isValid())
        return;
    const QRect area = option.rect.adjusted(0, 0, -4, 0);
    painter->save();
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    painter->setPen(option.palette.color(option.state & QStyle::State_Enabled ? QPalette::Active : QPalette::Disabled,
                                         selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    painter->drawText(area, Qt::AlignRight | Qt::AlignVCenter, QString::number(hits.toULongLong()));
    painter->restore();
}

QSize TRuleHitsDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += CountWidth(option.fontMetrics);
    return size;
}

int TRuleHitsDelegate::CountWidth(const QFontMetrics& metrics)
{
    return metrics.horizontalAdvance(QStringLiteral("000000000")) + 8;
}
