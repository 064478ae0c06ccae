#include "ui/dialogs/FileInfoForm.h"

#include <utility>

#include <sys/stat.h>

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/FileSize.h"
#include "log/Clock.h"
#include "ui/dialogs/DigestJob.h"
#include "ui/DialogFrame.h"
#include "ui/icons/ListIcons.h"
#include "ui/ShownText.h"

namespace {

const QString kUnknown = QStringLiteral("Unknown");

QString DateTimeText(std::time_t time)
{
    return QString::fromStdString(FormatLocalDateTime(time));
}

}  // namespace

TFileInfoForm::TFileInfoForm(FileEntry entry, QWidget* parent)
    : QDialog(parent), entry_(std::move(entry)), form_(new QFormLayout)
{
    setObjectName(QStringLiteral("FileInfoForm"));
    setWindowTitle(QStringLiteral("File Information"));
    UseDialogFrame(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form_);
    fileName_ = AddField("FilenameField", QStringLiteral("Filename:"));
    directory_ = AddField("DirectoryField", QStringLiteral("Directory:"));
    size_ = AddField("SizeField", QStringLiteral("Size:"));
    AddStatusRow();
    lastAccessed_ = AddField("LastAccessedField", QStringLiteral("Last accessed:"));
    lastModified_ = AddField("LastModifiedField", QStringLiteral("Last modified:"));
    accessCount_ = AddField("AccessCountField", QStringLiteral("Access count:"));
    crc32_ = AddDigestField("Crc32Field", QStringLiteral("CRC-32:"), 8);
    md5_ = AddDigestField("Md5Field", QStringLiteral("MD5:"), 32);
    sha256_ = AddDigestField("Sha256Field", QStringLiteral("SHA-256:"), 64);
    digestProgress_ = new QProgressBar(this);
    digestProgress_->setObjectName(QStringLiteral("DigestProgress"));
    digestProgress_->setRange(0, 100);
    digestProgress_->setFormat(QStringLiteral("Computing checksums... %p%"));
    digestProgress_->hide();
    layout->addWidget(digestProgress_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("CloseButton"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

QLineEdit* TFileInfoForm::AddField(const char* name, const QString& caption)
{
    auto* field = new QLineEdit(kUnknown, this);
    field->setObjectName(QString::fromLatin1(name));
    form_->addRow(caption, field);
    return field;
}

TFileInfoForm::~TFileInfoForm() = default;

/// Checksums are for copying, not typing: read-only, in a fixed-width font wide enough to
/// show every digit.
QLineEdit* TFileInfoForm::AddDigestField(const char* name, const QString& caption, int digits)
{
    QLineEdit* field = AddField(name, caption);
    field->setReadOnly(true);
    field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QString(digits + 2, QLatin1Char('0'))));
    return field;
}

void TFileInfoForm::AddStatusRow()
{
    statusImage_ = new QLabel(this);
    statusImage_->setObjectName(QStringLiteral("StatusImage"));
    statusImage_->setFixedSize(16, 16);
    status_ = new QLabel(QStringLiteral("(Unknown)"), this);
    status_->setObjectName(QStringLiteral("StatusLabel"));
    auto* row = new QHBoxLayout;
    row->addWidget(statusImage_);
    row->addWidget(status_, 1);
    form_->addRow(QStringLiteral("Status:"), row);
}

void TFileInfoForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!std::exchange(filled_, true))
        Fill();
}

/// A closed dialog has no use for checksums still being computed; a minimised one (a
/// spontaneous hide, from the window system) still has.
void TFileInfoForm::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) {
        digestJob_.reset();
        digestProgress_->hide();
    }
    QDialog::hideEvent(event);
}

void TFileInfoForm::Fill()
{
    fileName_->setText(ShownText(entry_.Name));
    directory_->setText(ShownText(entry_.Folder));
    struct stat info {};
    if (::stat(FullPath(entry_).c_str(), &info) != 0) {
        ShowStatus(FileStateIcon(FileState::Missing), QStringLiteral("(File not found)"));
    } else {
        size_->setText(QString::fromStdString(FormatFileSizeValue(info.st_size)));
        lastAccessed_->setText(DateTimeText(info.st_atime));
        lastModified_->setText(DateTimeText(info.st_mtime));
        if (S_ISREG(info.st_mode))
            StartDigests(static_cast<std::uint64_t>(info.st_size));
        switch (entry_.State) {
        case FileState::Available:
            ShowStatus(FileStateIcon(FileState::Available), QStringLiteral("(Normal)"));
            break;
        case FileState::Suspended:
            ShowStatus(FileStateIcon(FileState::Suspended), QStringLiteral("(Suspended)"));
            break;
        case FileState::Missing:
            // Found now, but the entry stays missing until the next refresh says otherwise.
            ShowStatus(FileStateIcon(FileState::Missing), QStringLiteral("(File not found)"));
            break;
        }
    }
    accessCount_->setText(QString::number(entry_.AccessCount));
}

void TFileInfoForm::ShowStatus(int icon, const QString& text)
{
    statusImage_->setPixmap(ListIcon(icon).pixmap(16, 16));
    status_->setText(text);
}

void TFileInfoForm::StartDigests(std::uint64_t size)
{
    digestProgress_->setValue(0);
    digestProgress_->show();
    TDigestJob::TReports reports;
    reports.Progress = [this](int percent) { digestProgress_->setValue(percent); };
    reports.Finished = [this](const std::optional<TFileDigests>& digests) { ShowDigests(digests); };
    digestJob_ = std::make_unique<TDigestJob>(FullPath(entry_), size, std::move(reports));
}

void TFileInfoForm::ShowDigests(const std::optional<TFileDigests>& digests)
{
    digestProgress_->hide();
    if (!digests)
        return;
    crc32_->setText(QString::fromStdString(digests->Crc32));
    md5_->setText(QString::fromStdString(digests->Md5));
    sha256_->setText(QString::fromStdString(digests->Sha256));
}

void ShowFileInformation(QWidget* parent, const FileEntry& entry)
{
    TFileInfoForm form(entry, parent);
    form.exec();
}
