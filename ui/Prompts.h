#pragma once

#include <QString>

class QWidget;

/// The modal messages, questions and folder choosers the dialogs put to the operator, in
/// one place so that tests can answer them without a blocking window. This base class shows
/// the real ones; a test derives from it. GUI thread only.
class TPrompts {
public:
    virtual ~TPrompts() = default;

    /// An error message with an OK button.
    virtual void ShowError(QWidget* parent, const QString& text);

    /// A warning with Yes and No; true for Yes.
    virtual bool ConfirmWarning(QWidget* parent, const QString& text);

    /// A folder chooser titled `caption` starting at `start` (the default place when empty);
    /// the chosen folder, or an empty text when the operator cancels.
    virtual QString ChooseFolder(QWidget* parent, const QString& caption, const QString& start);
};

/// The prompts that show real windows, shared by every dialog of the process.
TPrompts& StandardPrompts();
