#pragma once

#include <QWidget>

#include "core/Config.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TPrompts;

/// The "Accepting Files" page of the configuration dialog: whether uploads are accepted,
/// where they go and what happens to them. The destination and the two boxes are usable
/// only while uploads are accepted. GUI thread only.
class TConfigAcceptingPage : public QWidget {
    Q_OBJECT

public:
    explicit TConfigAcceptingPage(TPrompts& prompts, QWidget* parent = nullptr);

    void Load(const TConfig& config);
    void Store(TConfig& config) const;

    /// Drops one trailing "/" from the destination field, which then shows the result;
    /// "DestDir" is kept without it.
    void RemoveTrailingSeparator();

private:
    void ApplyEnabling();
    void BrowseDestination();

    TPrompts& prompts_;
    QRadioButton* refuseRadio_;
    QRadioButton* acceptRadio_;
    QLineEdit* destination_;
    QPushButton* browse_;
    QCheckBox* addNew_;
    QCheckBox* overwrite_;
    QCheckBox* logHash_;
};
