#pragma once

#include <vector>

#include <QStringList>

class QTreeView;

/// One column of a list view as the window defines it for a reference font whose
/// average character is 6 pixels wide.
struct TColumnSpec {
    int Width = 0;               // pixels at the reference font; 0: the column takes the remaining width
    bool WidestAsGiven = false;  // the operator may narrow it but not widen it beyond its width
    QStringList Texts = {};      // cell texts that must show whole
    bool Icon = false;           // its cells show an icon before the text
};

/// The average character width the defined column widths were drawn for.
inline constexpr double kReferenceCharWidth = 6.0;

/// A width defined at the reference font, scaled to a font whose average character is
/// `charWidth` pixels wide and rounded.
int ScaledWidth(int defined, double charWidth);

/// The width `column` of `view` gets: its defined width scaled to the view's font, but
/// never narrower than its title and its defined texts need.
int ColumnWidth(const QTreeView& view, int column, const TColumnSpec& spec);

/// Gives the columns of `view` their widths; the column of width 0 takes the rest, and
/// one that is widest as given cannot be dragged wider. The view's model must be set.
void SetUpColumns(QTreeView& view, const std::vector<TColumnSpec>& columns);

/// The width of every column of `view`, left to right.
std::vector<int> ColumnWidths(const QTreeView& view);

/// Gives the columns the operator sizes the widths kept from an earlier run; a column that
/// takes the remaining width keeps doing so. Widths for another number of columns are
/// ignored.
void RestoreColumnWidths(QTreeView& view, const std::vector<int>& widths);
