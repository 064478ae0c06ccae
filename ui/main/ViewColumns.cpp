#include "ui/main/ViewColumns.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeView>

namespace {

/// What a cell showing `text` needs, as the view's delegate lays it out.
int CellWidth(const QTreeView& view, const QString& text, bool icon)
{
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.font = view.font();
    option.fontMetrics = QFontMetrics(view.font());
    option.text = text;
    option.features = QStyleOptionViewItem::HasDisplay;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.decorationPosition = QStyleOptionViewItem::Left;
    if (icon) {
        const int side = view.style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, &view);
        option.features |= QStyleOptionViewItem::HasDecoration;
        option.decorationSize = view.iconSize().isValid() ? view.iconSize() : QSize(side, side);
    }
    return view.style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), &view).width();
}

}  // namespace

int ScaledWidth(int defined, double charWidth)
{
    return static_cast<int>(std::lround(defined * charWidth / kReferenceCharWidth));
}

int ColumnWidth(const QTreeView& view, int column, const TColumnSpec& spec)
{
    int width = std::max(ScaledWidth(spec.Width, QFontMetricsF(view.font()).averageCharWidth()),
                         view.header()->sectionSizeHint(column));
    for (const QString& text : spec.Texts)
        width = std::max(width, CellWidth(view, text, spec.Icon));
    return width;
}

void SetUpColumns(QTreeView& view, const std::vector<TColumnSpec>& columns)
{
    QHeaderView& header = *view.header();
    header.setStretchLastSection(false);
    // The style's least width may exceed a narrow column's (the icon column's 25 pixels).
    header.setMinimumSectionSize(16);
    int column = 0;
    for (const TColumnSpec& spec : columns) {
        const int width = spec.Width == 0 ? 0 : ColumnWidth(view, column, spec);
        if (width == 0) {
            header.setSectionResizeMode(column, QHeaderView::Stretch);
        } else {
            header.setSectionResizeMode(column, QHeaderView::Interactive);
            header.resizeSection(column, width);
        }
        if (spec.WidestAsGiven) {
            QObject::connect(&header, &QHeaderView::sectionResized, &header,
                             [&header, column, width](int section, int, int size) {
                                 if (section == column && size > width)
                                     header.resizeSection(section, width);
                             });
        }
        ++column;
    }
}

std::vector<int> ColumnWidths(const QTreeView& view)
{
    const QHeaderView& header = *view.header();
    std::vector<int> widths;
    for (int column = 0; column < header.count(); ++column)
        widths.push_back(header.sectionSize(column));
    return widths;
}

void RestoreColumnWidths(QTreeView& view, const std::vector<int>& widths)
{
    QHeaderView& header = *view.header();
    if (widths.size() != static_cast<std::size_t>(header.count()))
        return;
    for (int column = 0; column < header.count(); ++column)
        if (header.sectionResizeMode(column) == QHeaderView::Interactive)
            header.resizeSection(column, std::max(header.minimumSectionSize(), widths[static_cast<std::size_t>(column)]));
}
