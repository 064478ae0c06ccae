#pragma once

#include <QWidget>

#include "core/Config.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TPrompts;

/// The "General" page of the configuration dialog: start-up, files list and refresh
/// settings, and the boot tree. "Minimize on startup." needs the autostart box, the
/// interval needs the auto-refresh box, and the tree's folder needs its box. GUI thread only.
class TConfigGeneralPage : public QWidget {
    Q_OBJECT

public:
    explicit TConfigGeneralPage(TPrompts& prompts, QWidget* parent = nullptr);

    /// Shows `config` and the autostart flag, then applies the enabling rule.
    void Load(const TConfig& config, bool startOnStartup);
    /// Writes the page's values into `config`.
    void Store(TConfig& config) const;
    /// "Automatically start application on system startup."
    bool StartOnStartup() const;

private:
    QWidget* NewTreeGroup();
    void ApplyEnabling();
    void BrowseTreeRoot();

    TPrompts& prompts_;
    QCheckBox* startOnStartup_;
    QCheckBox* minOnStartup_;
    QCheckBox* loadOnStartup_;
    QCheckBox* autoStartTftp_;
    QCheckBox* refreshAfterLoad_;
    QCheckBox* autoRefresh_;
    QSpinBox* interval_;
    QLabel* minutesLabel_;
    QCheckBox* removeDead_;
    QCheckBox* serveTree_;
    QLineEdit* treeRoot_;
    QPushButton* treeBrowse_;
};
