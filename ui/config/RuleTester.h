#pragma once

#include <QGroupBox>

#include "security/IPv6Rule.h"
#include "security/SecurityRule.h"

class QLabel;
class QLineEdit;

/// "Which rule decides?" on the Security page: the operator types an IPv4 or IPv6 address
/// and reads, for a download and for an upload, which rule of the editing copy decides and
/// how, or that no rule matches and the request is refused. GUI thread only.
class TRuleTester final : public QGroupBox {
    Q_OBJECT

public:
    explicit TRuleTester(QWidget* parent = nullptr);

    /// The rules and the choice to test against, in the order the page lists them; the
    /// verdict is brought up to date without announcing a row.
    void SetRules(const TSecurityRuleList& rules, const TIPv6RuleList& ipv6Rules, bool securityOn);

signals:
    /// The page row of the rule that decides the typed address; -1 when none does.
    void DecidingRowFound(int row);

private:
    void Test(bool announce);
    void ShowVerdicts(const QString& read, const QString& write, const QString& note);

    TSecurityRuleList rules_;
    TIPv6RuleList ipv6Rules_;
    bool securityOn_ = false;
    QLineEdit* address_;
    QLabel* read_;
    QLabel* write_;
    QLabel* note_;
};
