#pragma once

#include <QStyledItemDelegate>

/// Draws a security rule's row with its hit count at the right edge, the page's "Hits"
/// column: the number of requests the serving copy of that rule decided since the server
/// started. A row without a count (a rule not yet in force) shows none. GUI thread only.
class TRuleHitsDelegate final : public QStyledItemDelegate {
public:
    /// Item data role holding a row's count (qulonglong), unset for a rule not in force.
    static constexpr int kHitsRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    /// Width kept free at the right edge for the count.
    static int CountWidth(const QFontMetrics& metrics);
};
