#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "ui/main/MainPrompts.h"

/// Prompts that never block, for any window that asks through TPrompts or TMainPrompts:
/// they record what would have been asked or shown and give the answers the test set
/// beforehand.
class TRecordingPrompts : public TMainPrompts {
public:
    QStringList Errors;
    QStringList Warnings;
    bool ConfirmAnswer = false;
    QStringList FolderCaptions;
    QStringList FolderStarts;
    QString FolderAnswer;
    QStringList FilesToAdd;
    QString OpenAnswer;
    QString SaveAnswer;
    QString QuickSaveAnswer;
    QStringList Asked;         // which chooser was opened, in order
    QStringList Messages;      // "title: text" of each message shown
    QList<QUrl> Opened;        // documents handed to the desktop, in order
    bool DesktopOpens = true;  // whether the desktop has a program for them

    void Clear() { *this = TRecordingPrompts(); }

    void ShowError(QWidget*, const QString& text) override { Errors << text; }

    bool ConfirmWarning(QWidget*, const QString& text) override
    {
        Warnings << text;
        return ConfirmAnswer;
    }

    QString ChooseFolder(QWidget*, const QString& caption, const QString& start) override
    {
        Asked << QStringLiteral("folder");
        FolderCaptions << caption;
        FolderStarts << start;
        return FolderAnswer;
    }

    QStringList ChooseFilesToAdd(QWidget*) override { return Chose("add", FilesToAdd); }
    QString ChooseFilesListToOpen(QWidget*, const QString&) override { return Chose("open", OpenAnswer); }
    QString ChooseFilesListToSave(QWidget*, const QString&) override { return Chose("save", SaveAnswer); }
    QString ChooseQuickSaveFile(QWidget*, const QString&) override { return Chose("quicksave", QuickSaveAnswer); }

    void ShowMessage(QWidget*, const QString& title, const QString& text) override
    {
        Messages << title + QStringLiteral(": ") + text;
    }

    bool OpenDocument(const QUrl& url) override
    {
        Opened << url;
        return DesktopOpens;
    }

private:
    template <typename Answer>
    Answer Chose(const char* chooser, const Answer& answer)
    {
        Asked << QString::fromLatin1(chooser);
        return answer;
    }
};
