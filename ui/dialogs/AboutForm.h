#pragma once

#include <functional>

#include <QDialog>

class QLabel;

/// "About": the product picture, the version, a link that opens the installed manual and
/// where updates come from. Created for one modal showing; GUI thread only.
class TAboutForm final : public QDialog {
public:
    /// `openManual` runs with the about box as the parent of any message it shows.
    explicit TAboutForm(QWidget* parent = nullptr, std::function<void(QWidget*)> openManual = {});

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* versionLabel_;
    std::function<void(QWidget*)> openManual_;
};

/// Opens the about box and waits until it is closed.
void ShowAbout(QWidget* parent, std::function<void(QWidget*)> openManual);
