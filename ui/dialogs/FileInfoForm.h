#pragma once

#include <memory>
#include <optional>

#include <QDialog>

#include "core/FileDigest.h"
#include "core/FileEntry.h"

class QFormLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class TDigestJob;

/// "File Information": what is known about one entry of the files list and its file on
/// disk. The fields can be typed into, but nothing typed is used. The file's checksums are
/// computed in the background once the dialog shows, with a progress bar, and the work
/// stops when the dialog goes. Created for one modal showing; GUI thread only.
class TFileInfoForm final : public QDialog {
public:
    explicit TFileInfoForm(FileEntry entry, QWidget* parent = nullptr);
    ~TFileInfoForm() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLineEdit* AddField(const char* name, const QString& caption);
    QLineEdit* AddDigestField(const char* name, const QString& caption, int digits);
    void AddStatusRow();
    void Fill();
    void ShowStatus(int icon, const QString& text);
    void StartDigests(std::uint64_t size);
    void ShowDigests(const std::optional<TFileDigests>& digests);

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
    QLineEdit* crc32_ = nullptr;
    QLineEdit* md5_ = nullptr;
    QLineEdit* sha256_ = nullptr;
    QProgressBar* digestProgress_ = nullptr;
    std::unique_ptr<TDigestJob> digestJob_;
};

/// Opens the file information dialog for `entry` and waits until it is closed.
void ShowFileInformation(QWidget* parent, const FileEntry& entry);
