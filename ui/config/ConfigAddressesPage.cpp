#include "ui/config/ConfigAddressesPage.h"

#include <memory>

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QListWidget* NewAddressList(QWidget* parent, const QString& name, const QString& hint)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setToolTip(hint);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSortingEnabled(false);
    return list;
}

const QString kAllText = QString::fromLatin1(TConfigAddressesPage::kAll);

void RemoveRow(QListWidget* list, int row)
{
    const std::unique_ptr<QListWidgetItem> item(list->takeItem(row));
}

/// Takes the selected rows out of `list`, in list order, and returns their texts; with
/// `keepAll` a selected "All" stays where it is.
QStringList TakeSelected(QListWidget* list, bool keepAll)
{
    QStringList taken;
    for (int row = 0; row < list->count();) {
        const QListWidgetItem* item = list->item(row);
        if (item->isSelected() && !(keepAll && item->text() == kAllText)) {
            taken << item->text();
            RemoveRow(list, row);
        } else {
            ++row;
        }
    }
    return taken;
}

QStringList Texts(const QListWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

}  // namespace

TConfigAddressesPage::TConfigAddressesPage(QWidget* parent)
    : QWidget(parent),
      available_(NewAddressList(this, QStringLiteral("AvailIPList"),
                                QStringLiteral("List of available IP addresses to bind to."))),
      bound_(NewAddressList(this, QStringLiteral("BindIPList"),
                            QStringLiteral("List of IP addresses which are binded.")))
{
    QFont bold = bound_->font();
    bold.setBold(true);
    bound_->setFont(bold);

    auto* addButton = new QPushButton(this);
    addButton->setObjectName(QStringLiteral("AddBindButton"));
    addButton->setToolTip(QStringLiteral("Add IP address to binding list"));
    addButton->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    auto* removeButton = new QPushButton(this);
    removeButton->setObjectName(QStringLiteral("RemoveBindButton"));
    removeButton->setToolTip(QStringLiteral("Remove IP address from binding list"));
    removeButton->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    connect(addButton, &QPushButton::clicked, this, &TConfigAddressesPage::AddSelected);
    connect(removeButton, &QPushButton::clicked, this, &TConfigAddressesPage::RemoveSelected);

    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    buttons->addWidget(addButton);
    buttons->addWidget(removeButton);
    buttons->addStretch();

    auto* group = new QGroupBox(QStringLiteral("IP Addresses"), this);
    auto* intro = new QLabel(QStringLiteral("Select the local IP address(es) you wish the TFTP "
                                            "protocol to listen for incomming connections on:"),
                             group);
    intro->setWordWrap(true);
    auto* grid = new QGridLayout(group);
    grid->addWidget(intro, 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("List of available IP addresses:"), group), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Bind to only these IP addresses:"), group), 1, 2);
    grid->addWidget(available_, 2, 0);
    grid->addLayout(buttons, 2, 1);
    grid->addWidget(bound_, 2, 2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
}

void TConfigAddressesPage::SetAvailable(const std::vector<std::string>& addresses)
{
    available_->clear();
    for (const auto& address : addresses)
        available_->addItem(QString::fromStdString(address));
}

void TConfigAddressesPage::LoadBind(const std::string& bind)
{
    bound_->clear();
    if (!bind.empty())
        bound_->addItems(QString::fromStdString(bind).split(QLatin1Char(';')));
    const QStringList boundTexts = Texts(bound_);
    for (int row = available_->count() - 1; row >= 0; --row)
        if (boundTexts.contains(available_->item(row)->text()))
            RemoveRow(available_, row);
}

std::string TConfigAddressesPage::Bind() const
{
    return Texts(bound_).join(QLatin1Char(';')).toStdString();
}

void TConfigAddressesPage::AddSelected()
{
    if (available_->selectedItems().isEmpty())
        return;
    for (int row = bound_->count() - 1; row >= 0; --row)
        if (bound_->item(row)->text() == kAllText)
            RemoveRow(bound_, row);
    bound_->addItems(TakeSelected(available_, false));
}

void TConfigAddressesPage::RemoveSelected()
{
    if (bound_->selectedItems().isEmpty())
        return;
    available_->addItems(TakeSelected(bound_, true));
    if (bound_->count() == 0)
        bound_->addItem(kAllText);
}
