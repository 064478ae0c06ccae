#include "ui/main/MainPrompts.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

const QString kFilesListFilter = QStringLiteral("Veltrane save file (*.vlt)");

}  // namespace

QStringList TMainPrompts::ChooseFilesToAdd(QWidget* parent)
{
    // Every file, with or without an extension.
    return QFileDialog::getOpenFileNames(parent, QStringLiteral("Add Files..."), QString(),
                                         QStringLiteral("All Files (*)"));
}

QString TMainPrompts::ChooseFilesListToOpen(QWidget* parent, const QString& start)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Open Files List..."), start, kFilesListFilter);
}

QString TMainPrompts::ChooseFilesListToSave(QWidget* parent, const QString& start)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Files List..."), start, kFilesListFilter,
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}

QString TMainPrompts::ChooseQuickSaveFile(QWidget* parent, const QString& start)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Log Quick Save..."), start,
                                        QStringLiteral("Log file (*.log);;Comma delimited file (*.csv)"),
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}

void TMainPrompts::ShowMessage(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

bool TMainPrompts::OpenDocument(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

TMainPrompts& StandardMainPrompts()
{
    static TMainPrompts prompts;
    return prompts;
}
