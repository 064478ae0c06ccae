#pragma once

#include <string>

#include <QDialog>
#include <QString>

#include "security/IPv6Rule.h"

class CEditIPAddr;
class QLabel;
class QLineEdit;
class QRadioButton;
class QShowEvent;
class TPrompts;

/// Whether `mask` is four octets each of which a mask may hold (0, 128, 192, 224, 240, 248,
/// 252, 254 or 255). Each octet is tested alone, so 255.0.255.0 passes; an empty or
/// malformed text does not.
bool IsAcceptableMask(const std::string& mask);

/// Whether `address` may stand alone in a rule: four octets, the first neither 0 nor 255,
/// the second and third not 255, the last neither 0 nor 255. An empty text does not.
bool IsAcceptableSingleAddress(const std::string& address);

/// "Add IP/Subnet": asks for one single address, one subnet (network ID and mask) or one
/// IPv6 address or prefix ("2001:db8::/32") and refuses, keeping itself open, what cannot
/// be a rule. Created for one showing by the
/// security page; GUI thread only.
class TSecurityAddForm : public QDialog {
    Q_OBJECT

public:
    explicit TSecurityAddForm(TPrompts& prompts, QWidget* parent = nullptr);

    bool SubnetMode() const;
    bool IPv6Mode() const;
    /// The address or network ID, and the mask, as they were when OK was accepted.
    const QString& Address() const { return address_; }
    const QString& Mask() const { return mask_; }
    /// The IPv6 address or prefix as it was when OK was accepted, with Read rights.
    const TIPv6Rule& IPv6Rule() const { return ipv6Rule_; }

public slots:
    /// "OK": checks the entries and closes only when they are acceptable.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ApplyMode();
    bool SubnetAcceptable(const QString& network, const QString& mask);
    bool SingleAddressAcceptable(const QString& address);
    bool IPv6EntryAcceptable(const QString& entry);

    TPrompts& prompts_;
    QRadioButton* ipRadio_;
    QRadioButton* subnetRadio_;
    QRadioButton* ipv6Radio_;
    QLabel* netLabel_;
    QLabel* maskLabel_;
    CEditIPAddr* netEdit_;
    CEditIPAddr* maskEdit_;
    QLabel* ipv6Label_;
    QLineEdit* ipv6Edit_;
    QString address_;
    QString mask_;
    TIPv6Rule ipv6Rule_;
};
