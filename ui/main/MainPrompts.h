#pragma once

#include <QString>
#include <QStringList>

class QUrl;

#include "ui/Prompts.h"

/// The file choosers and messages of the main window, on top of the dialogs' shared
/// prompts, and the documents it hands to the desktop, so tests can answer them without a
/// blocking window or a browser. GUI thread only.
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

    /// A message with an information icon and an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& title, const QString& text);

    /// Opens `url` with the desktop's default program for it; false when there is none.
    virtual bool OpenDocument(const QUrl& url);
};

/// The prompts that show real windows.
TMainPrompts& StandardMainPrompts();
