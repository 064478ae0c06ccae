#include "ui/SecurityAddForm.h"

#include <algorithm>
#include <array>
#include <optional>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "security/IPAddrUtils.h"
#include "ui/DialogFrame.h"
#include "ui/EditIPAddr.h"
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
      netLabel_(new QLabel(this)),
      maskLabel_(new QLabel(QStringLiteral("Subnet Mask:"), this)),
      netEdit_(new CEditIPAddr(this)),
      maskEdit_(new CEditIPAddr(this))
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

    auto* entries = new QGridLayout;
    entries->addWidget(netLabel_, 0, 0);
    entries->addWidget(netEdit_, 0, 1);
    entries->addWidget(maskLabel_, 1, 0);
    entries->addWidget(maskEdit_, 1, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OkButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TSecurityAddForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TSecurityAddForm::reject);
    connect(ipRadio_, &QRadioButton::clicked, this, &TSecurityAddForm::ApplyMode);
    connect(subnetRadio_, &QRadioButton::clicked, this, &TSecurityAddForm::ApplyMode);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ipRadio_);
    layout->addWidget(subnetRadio_);
    layout->addLayout(entries);
    layout->addWidget(buttons);
    ApplyMode();
}

bool TSecurityAddForm::SubnetMode() const
{
    return subnetRadio_->isChecked();
}

void TSecurityAddForm::showEvent(QShowEvent* event)
{
    ApplyMode();
    QDialog::showEvent(event);
}

void TSecurityAddForm::ApplyMode()
{
    const bool subnet = SubnetMode();
    netLabel_->setText(subnet ? QStringLiteral("Network ID:") : QStringLiteral("IP Address:"));
    maskLabel_->setVisible(subnet);
    maskEdit_->setVisible(subnet);
}

void TSecurityAddForm::accept()
{
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
