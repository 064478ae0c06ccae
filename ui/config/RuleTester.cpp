#include "ui/config/RuleTester.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "security/IPAddrUtils.h"
#include "security/IPv6Address.h"
#include "security/SecurityRules.h"
#include "ui/config/SecurityRuleRows.h"

namespace {

/// Whether `text` is an address a client could come from, in either family.
bool IsPeerAddress(const std::string& text)
{
    if (IsIPv6Text(text))
        return ParseIPv6Address(text).has_value();
    try {
        UIPAddrUtils::ValidateIPString(text);
        return true;
    } catch (const EIPAddressError&) {
        return false;
    }
}

QLabel* NewVerdictLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

}  // namespace

TRuleTester::TRuleTester(QWidget* parent)
    : QGroupBox(QStringLiteral("Which rule decides?"), parent),
      address_(new QLineEdit(this)),
      read_(NewVerdictLabel("ReadVerdictLabel", this)),
      write_(NewVerdictLabel("WriteVerdictLabel", this)),
      note_(NewVerdictLabel("TesterNoteLabel", this))
{
    address_->setObjectName(QStringLiteral("TestAddressEdit"));
    address_->setPlaceholderText(QStringLiteral("192.168.1.20 or fe80::1%eth0"));
    address_->setToolTip(QStringLiteral("The address of a device, to see which rule decides its requests."));
    connect(address_, &QLineEdit::textChanged, this, [this] { Test(true); });
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Address:"), address_);
    layout->addRow(QStringLiteral("Read:"), read_);
    layout->addRow(QStringLiteral("Write:"), write_);
    layout->addRow(note_);
}

void TRuleTester::SetRules(const TSecurityRuleList& rules, const TIPv6RuleList& ipv6Rules, bool securityOn)
{
    rules_ = rules;
    ipv6Rules_ = ipv6Rules;
    securityOn_ = securityOn;
    Test(false);
}

void TRuleTester::Test(bool announce)
{
    const std::string text = address_->text().trimmed().toStdString();
    int row = -1;
    if (text.empty()) {
        ShowVerdicts({}, {}, {});
    } else if (!IsPeerAddress(text)) {
        ShowVerdicts({}, {}, QStringLiteral("Type an IPv4 or IPv6 address."));
    } else if (!securityOn_) {
        ShowVerdicts(QStringLiteral("allowed"), QStringLiteral("allowed"),
                     QStringLiteral("\"Allow everyone full access\" is chosen: every address may read and "
                                    "write, and the rules are not consulted."));
    } else {
        const TAccessDecision read = DecideAccess(rules_, ipv6Rules_, text, akRead);
        const TAccessDecision write = DecideAccess(rules_, ipv6Rules_, text, akWrite);
        if (!read.Rule) {
            ShowVerdicts(QStringLiteral("refused"), QStringLiteral("refused"),
                         QStringLiteral("No rule matches this address. With \"Allow only the following "
                                        "access\" an address no rule names is refused."));
        } else {
            row = static_cast<int>(*read.Rule) + (read.IPv6 ? static_cast<int>(rules_.size()) : 0);
            const QString caption =
                read.IPv6 ? RuleCaption(ipv6Rules_[*read.Rule]) : RuleCaption(rules_[*read.Rule]);
            const QString by = QStringLiteral(" by rule %1, %2").arg(row + 1).arg(caption);
            ShowVerdicts((read.Granted ? QStringLiteral("allowed") : QStringLiteral("refused")) + by,
                         (write.Granted ? QStringLiteral("allowed") : QStringLiteral("refused")) + by,
                         QStringLiteral("The first rule that matches the address decides; the rules "
                                        "below it are not consulted."));
        }
    }
    if (announce)
        emit DecidingRowFound(row);
}

void TRuleTester::ShowVerdicts(const QString& read, const QString& write, const QString& note)
{
    read_->setText(read);
    write_->setText(write);
    note_->setText(note);
}
