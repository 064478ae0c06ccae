#pragma once

#include <QString>
#include <QStringList>

#include "ui/Prompts.h"

/// The file choosers and messages of the main window, on top of the dialogs' shared
/// prompts, so tests can answer them without a blocking window. GUI thread only.
class TMainPrompts : public TPrompts {
public:
    /// "Add Files...": several existing files; empty when cancelled.
    virtual QStringList ChooseFilesToAdd(QWidget* parent);

    /// "Open Files List...": one existing files-list document; empty when cancelled.
    virtual QString ChooseFilesListToOpen(QWidget* parent, const QString& start);

    /// "Save Files List...": a document name; an existing file is replaced without asking.
    virtual QString ChooseFilesListToSave(QWidget* parent, const QString& start);

    /// "Log Quick Save...": a log file name in an existing folder; replaced without asking.
    virtual QString ChooseQuickSaveFile(QWidget* parent, const QString& start);
};

/// The prompts that show real windows.
TMainPrompts& StandardMainPrompts();
