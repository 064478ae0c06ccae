#pragma once

#include <QIcon>

/// The toolbar's pictures, one per button.
enum class TToolIcon {
    OpenFilesList,
    SaveFilesList,
    StartServer,
    StopServer,
    AddFiles,
    RemoveFiles,
    AddFolderContents,
    RefreshFilesList,
    RemoveAllFiles,
    ClearActivityLog,
    Configuration,
    About,
    Exit,
};

/// The toolbar picture of a button. GUI thread only.
QIcon ToolIcon(TToolIcon which);

/// The program's own icon, the one its desktop entry names: window, taskbar, tray and
/// about box.
QIcon AppIcon();
