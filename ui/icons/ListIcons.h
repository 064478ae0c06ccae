#pragma once

#include <QIcon>

/// The one image list the three list views share, by number: 0 file available,
/// 1 transfer under way, 2 success, 3 error, 4 file suspended, 5 file missing,
/// 6 upload row, 7 download row, 8 information. Any other number gives an empty icon.
/// GUI thread only.
QIcon ListIcon(int index);

/// How many icons the list holds.
inline constexpr int kListIconCount = 9;
