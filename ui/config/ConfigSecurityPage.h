#pragma once

#include <functional>

#include <QString>
#include <QWidget>

#include "security/RuleHits.h"
#include "security/SecurityRule.h"
#include "ui/config/SecurityRuleRows.h"

class QCheckBox;
class QFrame;
class QListWidget;
class QPushButton;
class QRadioButton;
class TPrompts;
class TRuleHitsColumn;
class TRuleTester;

/// A rule's row icon: 0 Read, 1 Write, 2 Read and Write, 3 Deny. Rights the program does
/// not know grant nothing and so show as Deny.
int RightsIconIndex(TAccessRights rights);

/// The "Security" page of the configuration dialog: the choice between full access for
/// everyone and the rule list, and the editing copy of the rules with its commands (add,
/// remove, remove all, move, rights). The list shows the IPv4 rules, then the IPv6 rules,
/// each with the requests its serving copy decided, and a tester names the rule that
/// decides an address. The copy lives only as long as the page; the dialog stores it on
/// save. GUI thread only.
class TConfigSecurityPage : public QWidget {
    Q_OBJECT

public:
    /// Item data role holding a row's icon index.
    static constexpr int kIconIndexRole = Qt::UserRole;

    explicit TConfigSecurityPage(TPrompts& prompts, QWidget* parent = nullptr);

    /// Selects the radio button for `on` and applies it, as a click on it does.
    void SetSecurityOn(bool on);
    bool SecurityOn() const;

    /// Replaces the editing copy and shows it; with security off the rows show greyed.
    void SetRules(TSecurityRuleList rules);
    const TSecurityRuleList& Rules() const { return rows_.Rules(); }
    /// The same for the IPv6 rules, listed after the IPv4 ones.
    void SetIPv6Rules(TIPv6RuleList rules);
    const TIPv6RuleList& IPv6Rules() const { return rows_.IPv6Rules(); }

    /// Where the rows' hit counts come from; asked now and every second while the page lives.
    void SetHitSource(std::function<TRuleHitCounts()> source);

    /// The selected row, or -1 when not exactly one row is selected.
    int SelectedIndex() const { return selectedIndex_; }

    /// "Add": asks with "Add IP/Subnet" and adds what it confirms.
    void AddRule();
    /// Appends the rule the add dialog confirmed with Read rights, unless a row already has
    /// its caption, which is refused with a message. True when added.
    bool AddEnteredRule(bool subnet, const QString& address, const QString& mask);
    /// The same for an IPv6 rule the add dialog confirmed; it goes after the IPv6 rules.
    bool AddEnteredIPv6Rule(TIPv6Rule rule);
    void RemoveRule();
    void RemoveAllRules();
    void MoveUp();
    void MoveDown();
    /// Brings the rights boxes and buttons in line with the selection.
    void CheckSecuritySelection();

private:
    QWidget* BuildRuleButtons();
    void ShowDecidingRow(int row);
    QFrame* BuildRightsPanel();
    void ApplySecurityChoice(bool on);
    void RefillList();
    void SelectRow(int row);
    void ShowNoSelection();
    void ShowRights(TAccessRights rights);
    void RightsToggled(const QCheckBox* box);
    void MoveSelected(int offset);
    bool CaptionTaken(const QString& caption, bool subnet);
    void RulesChanged();

    TPrompts& prompts_;
    TSecurityRuleRows rows_;
    int selectedIndex_ = -1;
    bool updatingRights_ = false;  // on while the page sets the rights boxes itself

    QRadioButton* disableRadio_;
    QRadioButton* enableRadio_;
    QListWidget* list_;
    QPushButton* addButton_;
    QPushButton* removeButton_;
    QPushButton* removeAllButton_;
    QPushButton* upButton_;
    QPushButton* downButton_;
    QFrame* rightsPanel_;
    QCheckBox* readBox_;
    QCheckBox* writeBox_;
    QCheckBox* denyBox_;
    TRuleTester* tester_;
    TRuleHitsColumn* hitsColumn_;
};
