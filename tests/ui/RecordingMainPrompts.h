#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "ui/main/MainPrompts.h"

/// Main-window prompts that never block: they record what would have been asked or shown
/// and give the answers the test set beforehand.
class TRecordingMainPrompts : public TMainPrompts {
public:
    QStringList Errors;
    QStringList Warnings;
    bool ConfirmAnswer = false;
    QStringList FilesToAdd;
    QString FolderAnswer;
    QString OpenAnswer;
    QString SaveAnswer;
    QString QuickSaveAnswer;
    QStringList Asked;  // which chooser was opened, in order
    QStringList Messages;  // "title: text" of each message shown
    QList<QUrl> Opened;    // documents handed to the desktop, in order
    bool DesktopOpens = true;  // whether the desktop has a program for them

    void ShowError(QWidget*, const QString& text) override { Errors << text; }

    bool ConfirmWarning(QWidget*, const QString& text) override
    {
        Warnings << text;
        return ConfirmAnswer;
    }

    QString ChooseFolder(QWidget*, const QString&, const QString&) override
    {
        Asked << QStringLiteral("folder");
        return FolderAnswer;
    }

    QStringList ChooseFilesToAdd(QWidget*) override
    {
        Asked << QStringLiteral("add");
        return FilesToAdd;
    }

    QString ChooseFilesListToOpen(QWidget*, const QString&) override
    {
        Asked << QStringLiteral("open");
        return OpenAnswer;
    }

    QString ChooseFilesListToSave(QWidget*, const QString&) override
    {
        Asked << QStringLiteral("save");
        return SaveAnswer;
    }

    QString ChooseQuickSaveFile(QWidget*, const QString&) override
    {
        Asked << QStringLiteral("quicksave");
        return QuickSaveAnswer;
    }

    void ShowMessage(QWidget*, const QString& title, const QString& text) override
    {
        Messages << title + QStringLiteral(": ") + text;
    }

    bool OpenDocument(const QUrl& url) override
    {
        Opened << url;
        return DesktopOpens;
    }
};
