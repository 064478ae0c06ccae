#pragma once

#include <QWidget>

#include "core/Config.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TPrompts;

/// The "Logging" page of the configuration dialog: whether finished transfers go to log
/// files, where, in which format and how the files are split. The settings are usable only
/// while logging is chosen, the limits only while their box is ticked too; disabled values
/// are still saved. GUI thread only.
class TConfigLoggingPage : public QWidget {
    Q_OBJECT

public:
    explicit TConfigLoggingPage(TPrompts& prompts, QWidget* parent = nullptr);

    void Load(const TConfig& config);
    void Store(TConfig& config) const;

private:
    QGroupBox* BuildLimitGroup();
    void ApplyEnabling();
    void BrowseFolder();

    TPrompts& prompts_;
    QRadioButton* noLogRadio_;
    QRadioButton* logRadio_;
    QLineEdit* folder_;
    QPushButton* browse_;
    QLabel* typeLabel_;
    QComboBox* type_;
    QCheckBox* limitOptions_;
    QGroupBox* limitGroup_ = nullptr;
    QRadioButton* sizeLimitRadio_ = nullptr;
    QRadioButton* dailyRadio_ = nullptr;
    QSpinBox* size_ = nullptr;
};
