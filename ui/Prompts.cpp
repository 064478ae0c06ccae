#include "ui/Prompts.h"

#include <QFileDialog>
#include <QMessageBox>

void TPrompts::ShowError(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, QStringLiteral("Error"), text, QMessageBox::Ok);
}

bool TPrompts::ConfirmWarning(QWidget* parent, const QString& text)
{
    return QMessageBox::warning(parent, QStringLiteral("Warning"), text,
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

QString TPrompts::ChooseFolder(QWidget* parent, const QString& caption, const QString& start)
{
    return QFileDialog::getExistingDirectory(parent, caption, start);
}

TPrompts& StandardPrompts()
{
    static TPrompts prompts;
    return prompts;
}
