#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class TSettingsStore;

/// "Veltrane Desktop Pro - Tip of the day...": one of fourteen tips, a random one first,
/// then in turn with "Next Tip". Closing it, however it is closed, stores the "Show tips
/// on startup" choice in the settings. Created for one modal showing; GUI thread only.
class TTipsForm final : public QDialog {
public:
    static constexpr int kTipCount = 14;

    explicit TTipsForm(TSettingsStore& settings, QWidget* parent = nullptr);

    /// The number of the tip shown last, 1 to 14; it lasts for the life of the program.
    static int CurrentTip() { return currentTip_; }
    /// The text shown for tip `number` (1 to 14).
    static QString TipText(int number);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowTip(int number);
    void NextTip();

    static int currentTip_;

    TSettingsStore& settings_;
    bool shown_ = false;
    QLabel* tipText_;
    QCheckBox* showOnStartup_;
};

/// Opens the tip of the day and waits until it is closed.
void ShowTipOfTheDay(QWidget* parent, TSettingsStore& settings);
