#include "ui/config/ConfigSecurityPage.h"

#include <array>
#include <utility>

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/config/RuleHitsColumn.h"
#include "ui/config/RuleTester.h"
#include "ui/config/SecurityAddForm.h"
#include "ui/Prompts.h"

namespace {

constexpr char kSingleMask[] = "255.255.255.255";

/// A small badge per rights value, in icon order: Read, Write, Read and Write, Deny.
QIcon RightsIcon(int index)
{
    struct TBadge {
        const char* Text;
        QColor Colour;
    };
    static const std::array<TBadge, 4> kBadges{{{"R", QColor(0x2e, 0x7d, 0x32)},
                                                {"W", QColor(0x15, 0x65, 0xc0)},
                                                {"RW", QColor(0x00, 0x83, 0x8f)},
                                                {"D", QColor(0xc6, 0x28, 0x28)}}};
    const TBadge& badge = kBadges[static_cast<std::size_t>(index)];
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(badge.Colour);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(pixmap.rect(), 3, 3);
    QFont font = painter.font();
    font.setPixelSize(badge.Text[1] == '\0' ? 11 : 8);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QString::fromLatin1(badge.Text));
    return QIcon(pixmap);
}

TAccessRights RightsFromBoxes(bool read, bool write)
{
    if (read && write)
        return arReadWrite;
    if (read)
        return arRead;
    return write ? arWrite : arDeny;
}

QPushButton* NewButton(const QString& name, const QString& text, const QString& hint,
                       QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    return button;
}

}  // namespace

int RightsIconIndex(TAccessRights rights)
{
    switch (rights) {
    case arRead:
        return 0;
    case arWrite:
        return 1;
    case arReadWrite:
        return 2;
    case arDeny:
        break;
    }
    return 3;
}

TConfigSecurityPage::TConfigSecurityPage(TPrompts& prompts, QWidget* parent)
    : QWidget(parent),
      prompts_(prompts),
      disableRadio_(new QRadioButton(QStringLiteral("Allow everyone full access."), this)),
      enableRadio_(new QRadioButton(QStringLiteral("Allow only the following access:"), this)),
      list_(new QListWidget(this)),
      tester_(new TRuleTester(this)),
      hitsColumn_(new TRuleHitsColumn(*list_, rows_, *this))
{
    disableRadio_->setObjectName(QStringLiteral("DisableSecurityRadio"));
    tester_->setObjectName(QStringLiteral("RuleTester"));
    connect(tester_, &TRuleTester::DecidingRowFound, this, &TConfigSecurityPage::ShowDecidingRow);
    enableRadio_->setObjectName(QStringLiteral("EnableSecurityRadio"));
    list_->setObjectName(QStringLiteral("SecurityListView"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(list_, &QListWidget::itemSelectionChanged, this,
            &TConfigSecurityPage::CheckSecuritySelection);
    connect(disableRadio_, &QRadioButton::clicked, this, [this] { ApplySecurityChoice(false); });
    connect(enableRadio_, &QRadioButton::clicked, this, [this] { ApplySecurityChoice(true); });

    auto* listColumn = new QVBoxLayout;
    listColumn->setSpacing(0);
    listColumn->addWidget(hitsColumn_->Header());
    listColumn->addWidget(list_, 1);
    auto* rows = new QHBoxLayout;
    rows->addLayout(listColumn, 1);
    rows->addWidget(BuildRuleButtons());

    auto* group = new QGroupBox(QStringLiteral("Security Settings"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(disableRadio_);
    groupLayout->addWidget(enableRadio_);
    groupLayout->addLayout(rows, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group, 1);
    layout->addWidget(tester_);

    SetSecurityOn(false);
}

void TConfigSecurityPage::SetHitSource(std::function<TRuleHitCounts()> source)
{
    hitsColumn_->SetSource(std::move(source));
}

/// The tester found the rule deciding the typed address: its row is selected, and typing
/// goes on in the tester.
void TConfigSecurityPage::ShowDecidingRow(int row)
{
    QWidget* typing = focusWidget();
    if (row < 0)
        list_->clearSelection();
    else
        list_->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    if (typing != nullptr)
        typing->setFocus();
}

QWidget* TConfigSecurityPage::BuildRuleButtons()
{
    auto* column = new QWidget(this);
    addButton_ = NewButton(QStringLiteral("AddButton"), QStringLiteral("Add      "),
                           QStringLiteral("Add host to accepted hosts list"), column);
    removeButton_ = NewButton(QStringLiteral("RemoveButton"), QStringLiteral("Remove"),
                              QStringLiteral("Remove host from accepted hosts list"), column);
    removeAllButton_ =
        NewButton(QStringLiteral("RemoveAllButton"), QStringLiteral("Remove All"), {}, column);
    upButton_ = NewButton(QStringLiteral("UpButton"), {}, QStringLiteral("Move selected item up."),
                          column);
    downButton_ = NewButton(QStringLiteral("DownButton"), {},
                            QStringLiteral("Move selected item down."), column);
    upButton_->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    downButton_->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    connect(addButton_, &QPushButton::clicked, this, &TConfigSecurityPage::AddRule);
    connect(removeButton_, &QPushButton::clicked, this, &TConfigSecurityPage::RemoveRule);
    connect(removeAllButton_, &QPushButton::clicked, this, &TConfigSecurityPage::RemoveAllRules);
    connect(upButton_, &QPushButton::clicked, this, &TConfigSecurityPage::MoveUp);
    connect(downButton_, &QPushButton::clicked, this, &TConfigSecurityPage::MoveDown);

    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    for (auto* button : {addButton_, removeButton_, removeAllButton_, upButton_, downButton_})
        layout->addWidget(button);
    layout->addWidget(BuildRightsPanel());
    layout->addStretch();
    return column;
}

QFrame* TConfigSecurityPage::BuildRightsPanel()
{
    rightsPanel_ = new QFrame(this);
    rightsPanel_->setObjectName(QStringLiteral("RightsPanel"));
    rightsPanel_->setToolTip(QStringLiteral("Type of access."));
    rightsPanel_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    readBox_ = new QCheckBox(QStringLiteral("Read"), rightsPanel_);
    writeBox_ = new QCheckBox(QStringLiteral("Write"), rightsPanel_);
    denyBox_ = new QCheckBox(QStringLiteral("Deny"), rightsPanel_);
    readBox_->setObjectName(QStringLiteral("ReadCheckBox"));
    writeBox_->setObjectName(QStringLiteral("WriteCheckBox"));
    denyBox_->setObjectName(QStringLiteral("DenyCheckBox"));
    auto* layout = new QVBoxLayout(rightsPanel_);
    for (auto* box : {readBox_, writeBox_, denyBox_}) {
        layout->addWidget(box);
        connect(box, &QCheckBox::toggled, this, [this, box] { RightsToggled(box); });
    }
    return rightsPanel_;
}

void TConfigSecurityPage::SetSecurityOn(bool on)
{
    (on ? enableRadio_ : disableRadio_)->setChecked(true);
    ApplySecurityChoice(on);
}

bool TConfigSecurityPage::SecurityOn() const
{
    return enableRadio_->isChecked();
}

void TConfigSecurityPage::SetRules(TSecurityRuleList rules)
{
    rows_.SetRules(std::move(rules));
    RefillList();
    if (SecurityOn())
        CheckSecuritySelection();
}

void TConfigSecurityPage::SetIPv6Rules(TIPv6RuleList rules)
{
    rows_.SetIPv6Rules(std::move(rules));
    RefillList();
    if (SecurityOn())
        CheckSecuritySelection();
}

/// With security off the rules stay in the editing copy, are saved with the dialog and come
/// back when security is switched on again.
void TConfigSecurityPage::ApplySecurityChoice(bool on)
{
    if (on) {
        RefillList();
    } else {
        const QSignalBlocker quiet(list_);
        list_->clear();
    }
    tester_->SetRules(rows_.Rules(), rows_.IPv6Rules(), on);
    list_->setEnabled(on);
    addButton_->setEnabled(on);
    removeAllButton_->setEnabled(on);
    rightsPanel_->setEnabled(on);
    ShowNoSelection();
}

void TConfigSecurityPage::RefillList()
{
    const QSignalBlocker quiet(list_);
    list_->clear();
    for (int row = 0; row < rows_.Count(); ++row) {
        const int icon = RightsIconIndex(rows_.Rights(row));
        auto* item = new QListWidgetItem(RightsIcon(icon), rows_.Caption(row), list_);
        item->setData(kIconIndexRole, icon);
    }
    hitsColumn_->Show();
    tester_->SetRules(rows_.Rules(), rows_.IPv6Rules(), SecurityOn());
}

void TConfigSecurityPage::SelectRow(int row)
{
    list_->setFocus();
    list_->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void TConfigSecurityPage::CheckSecuritySelection()
{
    const auto selected = list_->selectedItems();
    if (selected.size() != 1) {
        ShowNoSelection();
        return;
    }
    for (auto* widget : std::initializer_list<QWidget*>{upButton_, downButton_, readBox_,
                                                        writeBox_, denyBox_, removeButton_})
        widget->setEnabled(true);
    selectedIndex_ = list_->row(selected.front());
    ShowRights(rows_.Rights(selectedIndex_));
    list_->setFocus();
}

void TConfigSecurityPage::ShowNoSelection()
{
    {
        const QScopedValueRollback suppress(updatingRights_, true);
        for (auto* box : {readBox_, writeBox_, denyBox_}) {
            box->setChecked(false);
            box->setEnabled(false);
        }
    }
    for (auto* button : {removeButton_, upButton_, downButton_})
        button->setEnabled(false);
    selectedIndex_ = -1;
}

void TConfigSecurityPage::ShowRights(TAccessRights rights)
{
    const QScopedValueRollback suppress(updatingRights_, true);
    const bool read = rights == arRead || rights == arReadWrite;
    const bool write = rights == arWrite || rights == arReadWrite;
    readBox_->setChecked(read);
    writeBox_->setChecked(write);
    denyBox_->setChecked(!read && !write);
}

/// Deny excludes Read and Write, and a rule with neither is a Deny rule, so Deny cannot be
/// cleared on its own. The rights then follow from Read and Write alone.
void TConfigSecurityPage::RightsToggled(const QCheckBox* box)
{
    if (updatingRights_ || selectedIndex_ < 0)
        return;
    {
        const QScopedValueRollback suppress(updatingRights_, true);
        if (box != denyBox_ && box->isChecked())
            denyBox_->setChecked(false);
        if (box == denyBox_ && denyBox_->isChecked()) {
            readBox_->setChecked(false);
            writeBox_->setChecked(false);
        }
        if (!readBox_->isChecked() && !writeBox_->isChecked())
            denyBox_->setChecked(true);
    }
    const int row = selectedIndex_;
    rows_.SetRights(row, RightsFromBoxes(readBox_->isChecked(), writeBox_->isChecked()));
    RefillList();
    SelectRow(row);
}

void TConfigSecurityPage::AddRule()
{
    TSecurityAddForm form(prompts_, this);
    if (form.exec() != QDialog::Accepted)
        return;
    if (form.IPv6Mode())
        AddEnteredIPv6Rule(form.IPv6Rule());
    else
        AddEnteredRule(form.SubnetMode(), form.Address(), form.Mask());
}

bool TConfigSecurityPage::AddEnteredRule(bool subnet, const QString& address, const QString& mask)
{
    TSecurityRule rule;
    rule.Rights = arRead;
    if (subnet) {
        rule.Address = address.toStdString();
        rule.Mask = mask.toStdString();
        rule.Kind = rkSubnet;
    } else {
        rule.Address = address.left(static_cast<int>(kRuleTextMax)).toStdString();
        rule.Mask = kSingleMask;
        rule.Kind = rkAddress;
    }
    if (CaptionTaken(subnet ? RuleCaption(rule) : address, subnet))
        return false;
    rows_.Append(std::move(rule));
    RulesChanged();
    return true;
}

bool TConfigSecurityPage::AddEnteredIPv6Rule(TIPv6Rule rule)
{
    rule.Rights = arRead;
    if (rule.Kind == rkAddress)
        rule.PrefixLength = kIPv6Bits;
    if (CaptionTaken(RuleCaption(rule), rule.Kind != rkAddress))
        return false;
    rows_.Append(std::move(rule));
    RulesChanged();
    return true;
}

/// A rule whose caption a row already shows would never match first; it is refused.
bool TConfigSecurityPage::CaptionTaken(const QString& caption, bool subnet)
{
    if (!rows_.HasCaption(caption))
        return false;
    prompts_.ShowError(this, subnet ? QStringLiteral("Subnet already exists in security list.")
                                    : QStringLiteral("IP Address already exists in security list."));
    return true;
}

void TConfigSecurityPage::RulesChanged()
{
    RefillList();
    CheckSecuritySelection();
}

void TConfigSecurityPage::RemoveRule()
{
    if (selectedIndex_ < 0)
        return;
    rows_.Remove(selectedIndex_);
    RulesChanged();
}

void TConfigSecurityPage::RemoveAllRules()
{
    if (!prompts_.ConfirmWarning(
            this, QStringLiteral("Are you sure you want to remove all security settings?")))
        return;
    rows_.Clear();
    RulesChanged();
}

void TConfigSecurityPage::MoveUp()
{
    MoveSelected(-1);
}

void TConfigSecurityPage::MoveDown()
{
    MoveSelected(+1);
}

/// Moving changes which rule matches first. At either end of its family's rules nothing
/// moves, and the row stays selected.
void TConfigSecurityPage::MoveSelected(int offset)
{
    const int from = selectedIndex_;
    if (from < 0)
        return;
    const int to = rows_.Move(from, offset);
    if (to != from)
        RefillList();
    SelectRow(to);
}
