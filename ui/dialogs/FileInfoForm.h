#pragma once

#include <QDialog>

#include "core/FileEntry.h"

class QFormLayout;
class QLabel;
class QLineEdit;

/// "File Information": what is known about one entry of the files list and its file on
/// disk. The fields can be typed into, but nothing typed is used. Created for one modal
/// showing; GUI thread only.
class TFileInfoForm final : public QDialog {
public:
    explicit TFileInfoForm(FileEntry entry, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* AddField(const char* name, const QString& caption);
    void AddStatusRow();
    void Fill();
    void ShowStatus(int icon, const QString& text);

    FileEntry entry_;
    bool filled_ = false;
    QFormLayout* form_;
    QLineEdit* fileName_ = nullptr;
    QLineEdit* directory_ = nullptr;
    QLineEdit* size_ = nullptr;
    QLabel* statusImage_ = nullptr;
    QLabel* status_ = nullptr;
    QLineEdit* lastAccessed_ = nullptr;
    QLineEdit* lastModified_ = nullptr;
    QLineEdit* accessCount_ = nullptr;
};

/// Opens the file information dialog for `entry` and waits until it is closed.
void ShowFileInformation(QWidget* parent, const FileEntry& entry);
