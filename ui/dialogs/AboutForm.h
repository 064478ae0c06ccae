#pragma once

#include <QDialog>

class QLabel;

/// "About": the product picture, the version, and links to the maker's home page and to
/// a new e-mail to support. Created for one modal showing; GUI thread only.
class TAboutForm final : public QDialog {
public:
    explicit TAboutForm(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* versionLabel_;
};

/// Opens the about box and waits until it is closed.
void ShowAbout(QWidget* parent);
