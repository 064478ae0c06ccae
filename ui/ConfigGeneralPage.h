#pragma once

#include <QWidget>

#include "core/Config.h"

class QCheckBox;
class QLabel;
class QSpinBox;

/// The "General" page of the configuration dialog: start-up, files list and refresh
/// settings. "Minimize on startup." needs the autostart box and the interval needs the
/// auto-refresh box. GUI thread only.
class TConfigGeneralPage : public QWidget {
    Q_OBJECT

public:
    explicit TConfigGeneralPage(QWidget* parent = nullptr);

    /// Shows `config` and the autostart flag, then applies the enabling rule.
    void Load(const TConfig& config, bool startOnStartup);
    /// Writes the page's values into `config`.
    void Store(TConfig& config) const;
    /// "Automatically start application on system startup."
    bool StartOnStartup() const;

private:
    void ApplyEnabling();

    QCheckBox* startOnStartup_;
    QCheckBox* minOnStartup_;
    QCheckBox* loadOnStartup_;
    QCheckBox* autoStartTftp_;
    QCheckBox* refreshAfterLoad_;
    QCheckBox* autoRefresh_;
    QSpinBox* interval_;
    QLabel* minutesLabel_;
    QCheckBox* removeDead_;
};
