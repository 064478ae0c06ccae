#include "ui/dialogs/FileInfoForm.h"

#include <utility>

#include <sys/stat.h>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/FileSize.h"
#include "log/Clock.h"
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

void ShowFileInformation(QWidget* parent, const FileEntry& entry)
{
    TFileInfoForm form(entry, parent);
    form.exec();
}
