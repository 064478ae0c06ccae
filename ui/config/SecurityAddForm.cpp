#include "ui/config/SecurityAddForm.h"

#include <algorithm>
#include <array>
#include <optional>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "security/IPAddrUtils.h"
#include "ui/config/EditIPAddr.h"
#include "ui/DialogFrame.h"
#include "ui/Prompts.h"

namespace {

using TOctets = std::array<int, 4>;

std::optional<TOctets> Octets(const std::string& text)
{
    try {
        UIPAddrUtils::ValidateIPString(text);
    } catch (const EIPAddressError&) {
        return std::nullopt;
    }
    TOctets octets{};
    for (int i = 0; i < 4; ++i)
        octets[static_cast<std::size_t>(i)] = UIPAddrUtils::GetOctet(text, i + 1);
    return octets;
}

bool IsMaskOctet(int octet)
{
    constexpr std::array<int, 9> kMaskOctets{0, 128, 192, 224, 240, 248, 252, 254, 255};
    return std::find(kMaskOctets.begin(), kMaskOctets.end(), octet) != kMaskOctets.end();
}

}  // namespace

bool IsAcceptableMask(const std::string& mask)
{
    const auto octets = Octets(mask);
    return octets && std::all_of(octets->begin(), octets->end(), IsMaskOctet);
}

bool IsAcceptableSingleAddress(const std::string& address)
{
    const auto octets = Octets(address);
    if (!octets)
        return false;
    const auto [first, second, third, last] = *octets;
    return first != 0 && first != 255 && second != 255 && third != 255 && last != 0
           && last != 255;
}

TSecurityAddForm::TSecurityAddForm(TPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      prompts_(prompts),
      ipRadio_(new QRadioButton(QStringLiteral("Add single IP address"), this)),
      subnetRadio_(new QRadioButton(QStringLiteral("Add Subnet"), this)),
      ipv6Radio_(new QRadioButton(QStringLiteral("Add IPv6 address or prefix"), this)),
      netLabel_(new QLabel(this)),
      maskLabel_(new QLabel(QStringLiteral("Subnet Mask:"), this)),
      netEdit_(new CEditIPAddr(this)),
      maskEdit_(new CEditIPAddr(this)),
      ipv6Label_(new QLabel(QStringLiteral("IPv6 address or prefix:"), this)),
      ipv6Edit_(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Add IP/Subnet"));
    UseDialogFrame(*this);
    ipRadio_->setObjectName(QStringLiteral("IPRadio"));
    subnetRadio_->setObjectName(QStringLiteral("SubnetRadio"));
    netEdit_->setObjectName(QStringLiteral("NetEdit"));
    maskEdit_->setObjectName(QStringLiteral("MaskEdit"));
    netLabel_->setObjectName(QStringLiteral("NetLabel"));
    maskLabel_->setObjectName(QStringLiteral("MaskLabel"));
    netEdit_->SetPrompts(prompts);
    maskEdit_->SetPrompts(prompts);
    ipRadio_->setChecked(true);
    ipv6Radio_->setObjectName(QStringLiteral("IPv6Radio"));
    ipv6Label_->setObjectName(QStringLiteral("IPv6Label"));
    ipv6Edit_->setObjectName(QStringLiteral("IPv6Edit"));
    ipv6Edit_->setPlaceholderText(QStringLiteral("2001:db8::1 or 2001:db8::/32"));

    auto* entries = new QGridLayout;
    entries->addWidget(netLabel_, 0, 0);
    entries->addWidget(netEdit_, 0, 1);
    entries->addWidget(maskLabel_, 1, 0);
    entries->addWidget(maskEdit_, 1, 1);
    entries->addWidget(ipv6Label_, 2, 0);
    entries->addWidget(ipv6Edit_, 2, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OkButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TSecurityAddForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TSecurityAddForm::reject);
    connect(ipRadio_, &QRadioButton::clicked, this, &TSecurityAddForm::ApplyMode);
    connect(subnetRadio_, &QRadioButton::clicked, this, &TSecurityAddForm::ApplyMode);
    connect(ipv6Radio_, &QRadioButton::clicked, this, &TSecurityAddForm::ApplyMode);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ipRadio_);
    layout->addWidget(subnetRadio_);
    layout->addWidget(ipv6Radio_);
    layout->addLayout(entries);
    layout->addWidget(buttons);
    ApplyMode();
}

bool TSecurityAddForm::SubnetMode() const
{
    return subnetRadio_->isChecked();
}

bool TSecurityAddForm::IPv6Mode() const
{
    return ipv6Radio_->isChecked();
}

void TSecurityAddForm::showEvent(QShowEvent* event)
{
    ApplyMode();
    QDialog::showEvent(event);
}

void TSecurityAddForm::ApplyMode()
{
    const bool subnet = SubnetMode();
    const bool ipv6 = IPv6Mode();
    netLabel_->setText(subnet ? QStringLiteral("Network ID:") : QStringLiteral("IP Address:"));
    netLabel_->setVisible(!ipv6);
    netEdit_->setVisible(!ipv6);
    maskLabel_->setVisible(subnet);
    maskEdit_->setVisible(subnet);
    ipv6Label_->setVisible(ipv6);
    ipv6Edit_->setVisible(ipv6);
}

void TSecurityAddForm::accept()
{
    if (IPv6Mode()) {
        if (IPv6EntryAcceptable(ipv6Edit_->text().trimmed()))
            QDialog::accept();
        return;
    }
    const QString address = netEdit_->Text();
    if (SubnetMode()) {
        const QString mask = maskEdit_->Text();
        if (!SubnetAcceptable(address, mask))
            return;
        mask_ = mask;
    } else if (!SingleAddressAcceptable(address)) {
        return;
    }
    address_ = address;
    QDialog::accept();
}

bool TSecurityAddForm::SubnetAcceptable(const QString& network, const QString& mask)
{
    if (!IsAcceptableMask(mask.toStdString())) {
        prompts_.ShowError(this, QStringLiteral("Invalid Subnet mask!\n"
                                                "Please type in a correct subnet mask."));
        return false;
    }
    // The network ID is taken as entered; subnet matching masks both sides, so any ID is
    // usable. Only a missing one is refused.
    if (network.isEmpty()) {
        prompts_.ShowError(this, QStringLiteral("Invalid IP Address!\n"
                                                "Please type in a correct IP Address."));
        return false;
    }
    return true;
}

bool TSecurityAddForm::SingleAddressAcceptable(const QString& address)
{
    if (IsAcceptableSingleAddress(address.toStdString()))
        return true;
    prompts_.ShowError(this, QStringLiteral("Invalid IP Address!\n"
                                            "Please type in a correct IP Address."));
    return false;
}

/// The address is read by inet_pton and may carry its interface ("fe80::1%eth0"); a
/// "/<length>" after it makes the entry a prefix.
bool TSecurityAddForm::IPv6EntryAcceptable(const QString& entry)
{
    const std::string text = entry.toStdString();
    const auto slash = text.find('/');
    const auto address = ParseIPv6Address(std::string_view(text).substr(0, slash));
    if (!address) {
        prompts_.ShowError(this, QStringLiteral("Invalid IPv6 address!\n"
                                                "Please type in a correct IPv6 address."));
        return false;
    }
    const auto length = slash == std::string::npos ? std::optional<int>(kIPv6Bits)
                                                   : ParsePrefixLength(text.substr(slash + 1));
    if (!length) {
        prompts_.ShowError(this, QStringLiteral("Invalid prefix length!\n"
                                                "Please type in a prefix length from 0 to 128."));
        return false;
    }
    ipv6Rule_ = {*address, *length, slash == std::string::npos ? rkAddress : rkSubnet, arRead};
    return true;
}
