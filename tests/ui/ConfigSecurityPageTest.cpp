#include "ui/config/ConfigSecurityPage.h"

#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "tests/ui/RecordingPrompts.h"
#include "ui/config/EditIPAddr.h"
#include "ui/config/RuleHitsDelegate.h"
#include "ui/config/SecurityAddForm.h"

Q_DECLARE_METATYPE(TAccessRights)

namespace {

TSecurityRule Address(const char* address, TAccessRights rights = arRead)
{
    return {address, "255.255.255.255", rkAddress, rights};
}

TSecurityRule Subnet(const char* network, const char* mask, TAccessRights rights = arRead)
{
    return {network, mask, rkSubnet, rights};
}

TIPv6Rule Address6(const char* address, TAccessRights rights = arRead)
{
    return {*ParseIPv6Address(address), kIPv6Bits, rkAddress, rights};
}

TIPv6Rule Prefix6(const char* address, int length, TAccessRights rights = arRead)
{
    return {*ParseIPv6Address(address), length, rkSubnet, rights};
}

}  // namespace

class ConfigSecurityPageTest : public QObject {
    Q_OBJECT

private:
    TRecordingPrompts prompts_;
    std::unique_ptr<TConfigSecurityPage> page_;

    template <typename T>
    T* Child(const char* name) const
    {
        return page_->findChild<T*>(QString::fromLatin1(name));
    }

    QListWidget* List() const { return Child<QListWidget>("SecurityListView"); }
    QCheckBox* Box(const char* name) const { return Child<QCheckBox>(name); }
    QPushButton* Button(const char* name) const { return Child<QPushButton>(name); }

    QStringList Captions() const
    {
        QStringList captions;
        for (int row = 0; row < List()->count(); ++row)
            captions << List()->item(row)->text();
        return captions;
    }

    int IconOf(int row) const
    {
        return List()->item(row)->data(TConfigSecurityPage::kIconIndexRole).toInt();
    }

    QString Text(const char* name) const { return Child<QLabel>(name)->text(); }

    QVariant HitsOf(int row) const { return List()->item(row)->data(TRuleHitsDelegate::kHitsRole); }

    void Select(int row) const { List()->setCurrentRow(row, QItemSelectionModel::ClearAndSelect); }

    /// Whether the three boxes, Remove, Up and Down are all enabled (true) or all disabled.
    bool SelectionControlsEnabled(bool enabled) const
    {
        for (const char* name : {"ReadCheckBox", "WriteCheckBox", "DenyCheckBox"})
            if (Box(name)->isEnabled() != enabled)
                return false;
        for (const char* name : {"RemoveButton", "UpButton", "DownButton"})
            if (Button(name)->isEnabled() != enabled)
                return false;
        return true;
    }

    void ShowWithRules(const TSecurityRuleList& rules)
    {
        page_->SetSecurityOn(true);
        page_->SetRules(rules);
        page_->show();
    }

    /// Two IPv4 rules, then two IPv6 rules.
    void ShowBothFamilies()
    {
        ShowWithRules({Address("10.0.0.1"), Subnet("10.0.0.0", "255.0.0.0", arWrite)});
        page_->SetIPv6Rules({Address6("2001:0DB8::0001", arDeny), Prefix6("fe80::%eth0", 64, arReadWrite)});
    }

private slots:
    void init()
    {
        prompts_.Clear();
        page_ = std::make_unique<TConfigSecurityPage>(prompts_);
    }

    void cleanup() { page_.reset(); }

    // Rows.

    void RowsShowCaptionAndRightsIcon()
    {
        ShowWithRules({Address("192.168.1.10", arRead), Subnet("192.168.1.0", "255.255.255.0", arWrite),
                       Address("10.0.0.1", arReadWrite), Address("10.0.0.2", arDeny),
                       Address("10.0.0.3", static_cast<TAccessRights>(9))});
        QCOMPARE(Captions(), (QStringList{"192.168.1.10", "192.168.1.0  (255.255.255.0)",
                                          "10.0.0.1", "10.0.0.2", "10.0.0.3"}));
        QCOMPARE(IconOf(0), 0);
        QCOMPARE(IconOf(1), 1);
        QCOMPARE(IconOf(2), 2);
        QCOMPARE(IconOf(3), 3);
        QCOMPARE(IconOf(4), 3);
    }

    // Which rule decides, and how often each rule decided.

    void TesterNamesTheDecidingRuleAndSelectsIt_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QString>("write");
        QTest::newRow("IPv4 address rule") << "10.0.0.1" << 0 << "allowed by rule 1, 10.0.0.1"
                                           << "refused by rule 1, 10.0.0.1";
        QTest::newRow("IPv6 deny rule") << "2001:db8::1" << 2 << "refused by rule 3, 2001:db8::1"
                                        << "refused by rule 3, 2001:db8::1";
        QTest::newRow("IPv6 prefix on its link") << "fe80::5%eth0" << 3 << "allowed by rule 4, fe80::%eth0/64"
                                                 << "allowed by rule 4, fe80::%eth0/64";
        QTest::newRow("no rule matches") << "192.168.0.1" << -1 << "refused" << "refused";
        QTest::newRow("not an address") << "10.0.0" << -1 << "" << "";
    }

    void TesterNamesTheDecidingRuleAndSelectsIt()
    {
        QFETCH(QString, address);
        QFETCH(int, row);
        QFETCH(QString, read);
        QFETCH(QString, write);
        ShowBothFamilies();
        Select(1);
        Child<QLineEdit>("TestAddressEdit")->setText(address);
        QCOMPARE(Text("ReadVerdictLabel"), read);
        QCOMPARE(Text("WriteVerdictLabel"), write);
        QCOMPARE(List()->selectedItems().size(), row < 0 ? 0 : 1);
        if (row >= 0)
            QCOMPARE(List()->currentRow(), row);
        if (address == "10.0.0")
            QCOMPARE(Text("TesterNoteLabel"), QStringLiteral("Type an IPv4 or IPv6 address."));
        if (row < 0 && !read.isEmpty())
            QVERIFY(Text("TesterNoteLabel").contains(QStringLiteral("refused")));
    }

    void TesterWithFullAccessAllowsEveryoneAndFollowsTheChoice()
    {
        ShowBothFamilies();
        Child<QLineEdit>("TestAddressEdit")->setText(QStringLiteral("192.168.0.1"));
        QCOMPARE(Text("ReadVerdictLabel"), QStringLiteral("refused"));
        Child<QRadioButton>("DisableSecurityRadio")->click();
        QCOMPARE(Text("ReadVerdictLabel"), QStringLiteral("allowed"));
        QCOMPARE(Text("WriteVerdictLabel"), QStringLiteral("allowed"));
        QVERIFY(Text("TesterNoteLabel").contains(QStringLiteral("\"Allow everyone full access\"")));
        // Editing the rules brings the verdict up to date.
        Child<QRadioButton>("EnableSecurityRadio")->click();
        QVERIFY(page_->AddEnteredRule(false, QStringLiteral("192.168.0.1"), {}));
        QCOMPARE(Text("ReadVerdictLabel"), QStringLiteral("allowed by rule 3, 192.168.0.1"));
    }

    void HitsFollowTheirRulesAndNewRulesHaveNone()
    {
        TRuleHitCounts counts{{Address("10.0.0.1"), Subnet("10.0.0.0", "255.0.0.0", arWrite)},
                              {5, 0},
                              {Address6("2001:db8::1", arDeny)},
                              {2}};
        ShowBothFamilies();
        page_->SetHitSource([&counts] { return counts; });
        QCOMPARE(HitsOf(0), QVariant(qulonglong(5)));
        QCOMPARE(HitsOf(1), QVariant(qulonglong(0)));
        QCOMPARE(HitsOf(2), QVariant(qulonglong(2)));
        QVERIFY(!HitsOf(3).isValid());  // not in the serving copy
        QVERIFY(Child<QLabel>("HitsHeader") != nullptr);

        Select(1);
        page_->MoveUp();
        QCOMPARE(HitsOf(0), QVariant(qulonglong(0)));
        QCOMPARE(HitsOf(1), QVariant(qulonglong(5)));
        QVERIFY(page_->AddEnteredRule(false, QStringLiteral("10.9.9.9"), {}));
        QVERIFY(!HitsOf(2).isValid());

        counts.Hits = {7, 1};  // the server went on deciding
        QTRY_COMPARE(HitsOf(1), QVariant(qulonglong(7)));
    }

    // Adding and duplicates.

    void NewRuleIsLastWithReadRights()
    {
        ShowWithRules({Subnet("10.0.0.0", "255.0.0.0")});
        QVERIFY(page_->AddEnteredRule(false, QStringLiteral("192.168.1.10"), {}));
        QCOMPARE(page_->Rules().back(),
                 (TSecurityRule{"192.168.1.10", "255.255.255.255", rkAddress, arRead}));
        QCOMPARE(Captions().last(), QStringLiteral("192.168.1.10"));
        QCOMPARE(IconOf(1), 0);
    }

    void DuplicateAddressIsRefused()
    {
        ShowWithRules({});
        QVERIFY(page_->AddEnteredRule(false, QStringLiteral("192.168.1.10"), {}));
        QVERIFY(!page_->AddEnteredRule(false, QStringLiteral("192.168.1.10"), {}));
        QCOMPARE(prompts_.Errors,
                 QStringList{QStringLiteral("IP Address already exists in security list.")});
        QCOMPARE(page_->Rules().size(), std::size_t{1});
    }

    void SubnetsDifferingInMaskAreBothAddedButRepeatsRefused()
    {
        ShowWithRules({});
        QVERIFY(page_->AddEnteredRule(true, QStringLiteral("10.0.0.0"), QStringLiteral("255.0.0.0")));
        QVERIFY(page_->AddEnteredRule(true, QStringLiteral("10.0.0.0"), QStringLiteral("255.255.0.0")));
        QVERIFY(!page_->AddEnteredRule(true, QStringLiteral("10.0.0.0"), QStringLiteral("255.0.0.0")));
        QCOMPARE(prompts_.Errors,
                 QStringList{QStringLiteral("Subnet already exists in security list.")});
        QCOMPARE(page_->Rules().back(), (TSecurityRule{"10.0.0.0", "255.255.0.0", rkSubnet, arRead}));
        QCOMPARE(page_->Rules().size(), std::size_t{2});
    }

    void AddressAndSubnetNeverCollide()
    {
        ShowWithRules({Subnet("10.0.0.0", "255.0.0.0")});
        QVERIFY(page_->AddEnteredRule(false, QStringLiteral("10.0.0.0"), {}));
        QVERIFY(prompts_.Errors.isEmpty());
    }

    void AddButtonRunsDialogAndAddsWhatItConfirms()
    {
        ShowWithRules({});
        QTimer::singleShot(0, this, [] {
            auto* form = qobject_cast<TSecurityAddForm*>(QApplication::activeModalWidget());
            QVERIFY(form != nullptr);
            form->findChild<QRadioButton*>(QStringLiteral("SubnetRadio"))->click();
            form->findChild<CEditIPAddr*>(QStringLiteral("NetEdit"))->SetText(QStringLiteral("172.16.0.0"));
            form->findChild<CEditIPAddr*>(QStringLiteral("MaskEdit"))->SetText(QStringLiteral("255.240.0.0"));
            form->accept();
        });
        Button("AddButton")->click();
        QCOMPARE(Captions(), QStringList{QStringLiteral("172.16.0.0  (255.240.0.0)")});
    }

    // Selection and rights.

    void SelectionEnablesControlsOnlyForExactlyOneRow()
    {
        ShowWithRules({Address("10.0.0.1"), Address("10.0.0.2")});
        QVERIFY(SelectionControlsEnabled(false));
        QCOMPARE(page_->SelectedIndex(), -1);

        Select(1);
        QVERIFY(SelectionControlsEnabled(true));
        QCOMPARE(page_->SelectedIndex(), 1);
        QVERIFY(Box("ReadCheckBox")->isChecked());

        List()->selectAll();
        QVERIFY(SelectionControlsEnabled(false));
        QCOMPARE(page_->SelectedIndex(), -1);
        QVERIFY(!Box("ReadCheckBox")->isChecked());
    }

    void RightsBoxesFollowTheirRules_data()
    {
        QTest::addColumn<TAccessRights>("start");
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<TAccessRights>("result");
        QTest::addColumn<bool>("denyChecked");
        QTest::newRow("read off leaves deny") << arRead << "ReadCheckBox" << arDeny << true;
        QTest::newRow("write on deny") << arDeny << "WriteCheckBox" << arWrite << false;
        QTest::newRow("read on write") << arWrite << "ReadCheckBox" << arReadWrite << false;
        QTest::newRow("deny on read write") << arReadWrite << "DenyCheckBox" << arDeny << true;
        QTest::newRow("deny cannot be cleared") << arDeny << "DenyCheckBox" << arDeny << true;
        QTest::newRow("write off read write") << arReadWrite << "WriteCheckBox" << arRead << false;
        QTest::newRow("write off write") << arWrite << "WriteCheckBox" << arDeny << true;
    }

    void RightsBoxesFollowTheirRules()
    {
        QFETCH(TAccessRights, start);
        QFETCH(QString, clicked);
        QFETCH(TAccessRights, result);
        QFETCH(bool, denyChecked);
        ShowWithRules({Address("10.0.0.1"), Address("10.0.0.2", start)});
        Select(1);
        Box(clicked.toLatin1().constData())->click();

        QCOMPARE(page_->Rules()[1].Rights, result);
        QCOMPARE(Box("DenyCheckBox")->isChecked(), denyChecked);
        QCOMPARE(Box("ReadCheckBox")->isChecked(), result == arRead || result == arReadWrite);
        QCOMPARE(Box("WriteCheckBox")->isChecked(), result == arWrite || result == arReadWrite);
        QCOMPARE(IconOf(1), RightsIconIndex(result));
        QCOMPARE(page_->SelectedIndex(), 1);
        QVERIFY(List()->item(1)->isSelected());
        QCOMPARE(page_->Rules()[0].Rights, arRead);
    }

    // Remove and move.

    void RemoveDeletesSelectedRuleWithoutAsking()
    {
        ShowWithRules({Address("10.0.0.1"), Address("10.0.0.2")});
        Select(0);
        Button("RemoveButton")->click();
        QCOMPARE(Captions(), QStringList{QStringLiteral("10.0.0.2")});
        QVERIFY(prompts_.Warnings.isEmpty());
        QVERIFY(SelectionControlsEnabled(false));
    }

    void RemoveAllAsksAndEmptiesOnlyOnYes()
    {
        ShowWithRules({Address("10.0.0.1"), Address("10.0.0.2")});
        prompts_.ConfirmAnswer = false;
        Button("RemoveAllButton")->click();
        QCOMPARE(prompts_.Warnings, QStringList{QStringLiteral(
                                        "Are you sure you want to remove all security settings?")});
        QCOMPARE(page_->Rules().size(), std::size_t{2});
        prompts_.ConfirmAnswer = true;
        Button("RemoveAllButton")->click();
        QVERIFY(page_->Rules().empty());
        QCOMPARE(List()->count(), 0);
    }

    void UpAndDownSwapWithNeighbourAndKeepSelection()
    {
        ShowWithRules({Address("10.0.0.1"), Address("10.0.0.2"), Address("10.0.0.3")});
        Select(1);
        Button("UpButton")->click();
        QCOMPARE(Captions(), (QStringList{"10.0.0.2", "10.0.0.1", "10.0.0.3"}));
        QCOMPARE(page_->SelectedIndex(), 0);
        Button("DownButton")->click();
        Button("DownButton")->click();
        QCOMPARE(Captions(), (QStringList{"10.0.0.1", "10.0.0.3", "10.0.0.2"}));
        QCOMPARE(page_->SelectedIndex(), 2);
    }

    void UpAtTopAndDownAtBottomMoveNothing()
    {
        ShowWithRules({Address("10.0.0.1"), Address("10.0.0.2")});
        Select(0);
        Button("UpButton")->click();
        QCOMPARE(Captions(), (QStringList{"10.0.0.1", "10.0.0.2"}));
        QCOMPARE(page_->SelectedIndex(), 0);
        QVERIFY(List()->item(0)->isSelected());
        Select(1);
        Button("DownButton")->click();
        QCOMPARE(Captions(), (QStringList{"10.0.0.1", "10.0.0.2"}));
        QCOMPARE(page_->SelectedIndex(), 1);
        QVERIFY(List()->item(1)->isSelected());
    }

    // IPv6 rules.

    void IPv6RulesListAfterIPv4RulesWithTheirIcons()
    {
        ShowBothFamilies();
        QCOMPARE(Captions(), (QStringList{"10.0.0.1", "10.0.0.0  (255.0.0.0)", "2001:db8::1",
                                          "fe80::%eth0/64"}));
        QCOMPARE(IconOf(2), 3);
        QCOMPARE(IconOf(3), 2);
        Select(3);
        QVERIFY(SelectionControlsEnabled(true));
        QVERIFY(Box("ReadCheckBox")->isChecked());
        QVERIFY(Box("WriteCheckBox")->isChecked());
        Box("WriteCheckBox")->click();
        QCOMPARE(page_->IPv6Rules()[1].Rights, arRead);
        QCOMPARE(page_->Rules()[1].Rights, arWrite);
        QCOMPARE(IconOf(3), 0);
    }

    void UpAndDownMoveARuleOnlyAmongItsOwnFamily()
    {
        ShowBothFamilies();
        page_->SetIPv6Rules({Address6("::1"), Address6("::2"), Address6("::3")});
        Select(1);
        Button("DownButton")->click();
        QCOMPARE(Captions(), (QStringList{"10.0.0.1", "10.0.0.0  (255.0.0.0)", "::1", "::2", "::3"}));
        QCOMPARE(page_->SelectedIndex(), 1);
        Select(2);
        Button("UpButton")->click();
        QCOMPARE(page_->SelectedIndex(), 2);
        QCOMPARE(Captions()[1], QStringLiteral("10.0.0.0  (255.0.0.0)"));
        Button("DownButton")->click();
        QCOMPARE(page_->SelectedIndex(), 3);
        Button("DownButton")->click();
        Button("DownButton")->click();
        QCOMPARE(page_->SelectedIndex(), 4);
        QCOMPARE(page_->IPv6Rules(), (TIPv6RuleList{Address6("::2"), Address6("::3"), Address6("::1")}));
        Button("UpButton")->click();
        QCOMPARE(Captions(), (QStringList{"10.0.0.1", "10.0.0.0  (255.0.0.0)", "::2", "::1", "::3"}));
        QCOMPARE(page_->Rules().size(), std::size_t{2});
    }

    void RemoveAndRemoveAllWorkOnBothFamilies()
    {
        ShowBothFamilies();
        Select(2);
        Button("RemoveButton")->click();
        QCOMPARE(page_->IPv6Rules(), TIPv6RuleList{Prefix6("fe80::%eth0", 64, arReadWrite)});
        Select(0);
        Button("RemoveButton")->click();
        QCOMPARE(Captions(), (QStringList{"10.0.0.0  (255.0.0.0)", "fe80::%eth0/64"}));
        prompts_.ConfirmAnswer = true;
        Button("RemoveAllButton")->click();
        QVERIFY(page_->Rules().empty());
        QVERIFY(page_->IPv6Rules().empty());
        QCOMPARE(List()->count(), 0);
    }

    void NewIPv6RuleIsLastWithReadRightsAndRepeatsAreRefusedHoweverWritten()
    {
        ShowBothFamilies();
        QVERIFY(page_->AddEnteredIPv6Rule(Prefix6("2001:db8::", 32, arDeny)));
        QCOMPARE(page_->IPv6Rules().back(), Prefix6("2001:db8::", 32, arRead));
        QCOMPARE(Captions().last(), QStringLiteral("2001:db8::/32"));
        QVERIFY(page_->AddEnteredRule(false, QStringLiteral("10.0.0.9"), {}));
        QCOMPARE(Captions()[2], QStringLiteral("10.0.0.9"));

        QVERIFY(!page_->AddEnteredIPv6Rule(Address6("2001:db8:0:0::1")));
        QVERIFY(!page_->AddEnteredIPv6Rule(Prefix6("2001:DB8::", 32)));
        QVERIFY(page_->AddEnteredIPv6Rule(Prefix6("2001:db8::", 48)));
        QCOMPARE(prompts_.Errors, (QStringList{QStringLiteral("IP Address already exists in security list."),
                                               QStringLiteral("Subnet already exists in security list.")}));
        QCOMPARE(page_->IPv6Rules().size(), std::size_t{4});
    }

    void AddButtonAddsAnIPv6RuleTheDialogConfirms()
    {
        ShowWithRules({Address("10.0.0.1")});
        QTimer::singleShot(0, this, [] {
            auto* form = qobject_cast<TSecurityAddForm*>(QApplication::activeModalWidget());
            QVERIFY(form != nullptr);
            form->findChild<QRadioButton*>(QStringLiteral("IPv6Radio"))->click();
            form->findChild<QLineEdit*>(QStringLiteral("IPv6Edit"))->setText(QStringLiteral("2001:db8::/32"));
            form->accept();
        });
        Button("AddButton")->click();
        QCOMPARE(Captions(), (QStringList{"10.0.0.1", "2001:db8::/32"}));
        QCOMPARE(page_->IPv6Rules(), TIPv6RuleList{Prefix6("2001:db8::", 32)});
    }

    // Switching security on and off.

    void FullAccessKeepsRulesButEmptiesAndDisablesThePage()
    {
        ShowWithRules({Address("10.0.0.1"), Address("10.0.0.2")});
        Select(0);
        Child<QRadioButton>("DisableSecurityRadio")->click();
        QVERIFY(!page_->SecurityOn());
        QCOMPARE(List()->count(), 0);
        QVERIFY(!List()->isEnabled());
        QVERIFY(!Button("AddButton")->isEnabled());
        QVERIFY(!Button("RemoveAllButton")->isEnabled());
        QVERIFY(!Child<QWidget>("RightsPanel")->isEnabled());
        QVERIFY(SelectionControlsEnabled(false));
        QCOMPARE(page_->Rules().size(), std::size_t{2});

        Child<QRadioButton>("EnableSecurityRadio")->click();
        QVERIFY(page_->SecurityOn());
        QCOMPARE(Captions(), (QStringList{"10.0.0.1", "10.0.0.2"}));
        QVERIFY(List()->isEnabled());
        QVERIFY(Button("AddButton")->isEnabled());
        QVERIFY(Button("RemoveAllButton")->isEnabled());
        QVERIFY(SelectionControlsEnabled(false));
    }

    void RulesLoadedWithSecurityOffShowGreyed()
    {
        page_->SetSecurityOn(false);
        page_->SetRules({Address("10.0.0.1")});
        QCOMPARE(Captions(), QStringList{QStringLiteral("10.0.0.1")});
        QVERIFY(!List()->isEnabled());
        QVERIFY(!Button("AddButton")->isEnabled());
    }
};

QTEST_MAIN(ConfigSecurityPageTest)
#include "ConfigSecurityPageTest.moc"
