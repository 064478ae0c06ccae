#pragma once

#include <QString>
#include <QStringList>

#include "ui/Prompts.h"

/// Prompts that never block: they record what would have been shown and give the answers
/// the test set beforehand.
class TRecordingPrompts : public TPrompts {
public:
    QStringList Errors;
    QStringList Warnings;
    bool ConfirmAnswer = false;
    QStringList FolderCaptions;
    QStringList FolderStarts;
    QString FolderAnswer;

    void Clear()
    {
        Errors.clear();
        Warnings.clear();
        ConfirmAnswer = false;
        FolderCaptions.clear();
        FolderStarts.clear();
        FolderAnswer.clear();
    }

    void ShowError(QWidget*, const QString& text) override { Errors << text; }

    bool ConfirmWarning(QWidget*, const QString& text) override
    {
        Warnings << text;
        return ConfirmAnswer;
    }

    QString ChooseFolder(QWidget*, const QString& caption, const QString& start) override
    {
        FolderCaptions << caption;
        FolderStarts << start;
        return FolderAnswer;
    }
};
