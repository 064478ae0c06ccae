#include "ui/config/SecurityAddForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "tests/ui/RecordingPrompts.h"
#include "ui/config/EditIPAddr.h"

namespace {

const QString kInvalidAddress =
    QStringLiteral("Invalid IP Address!\nPlease type in a correct IP Address.");
const QString kInvalidMask =
    QStringLiteral("Invalid Subnet mask!\nPlease type in a correct subnet mask.");
const QString kInvalidIPv6 =
    QStringLiteral("Invalid IPv6 address!\nPlease type in a correct IPv6 address.");
const QString kInvalidLength =
    QStringLiteral("Invalid prefix length!\nPlease type in a prefix length from 0 to 128.");

}  // namespace

class SecurityAddFormTest : public QObject {
    Q_OBJECT

private:
    TRecordingPrompts prompts_;

    template <typename T>
    static T* Child(const QWidget& form, const char* name)
    {
        return form.findChild<T*>(QString::fromLatin1(name));
    }

    static void ChooseSubnet(TSecurityAddForm& form)
    {
        Child<QRadioButton>(form, "SubnetRadio")->click();
    }

    static void Enter(TSecurityAddForm& form, const char* edit, const char* text)
    {
        Child<CEditIPAddr>(form, edit)->SetText(QString::fromLatin1(text));
    }

private slots:
    void init() { prompts_.Clear(); }

    // The pure checks.

    void MaskOctetsAreTestedOneByOne_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<bool>("acceptable");
        QTest::newRow("class C") << "255.255.255.0" << true;
        QTest::newRow("gaps pass") << "255.0.255.0" << true;
        QTest::newRow("all zero") << "0.0.0.0" << true;
        QTest::newRow("all ones") << "255.255.255.255" << true;
        QTest::newRow("every step") << "128.192.224.240" << true;
        QTest::newRow("248 252 254") << "248.252.254.0" << true;
        QTest::newRow("100 is no mask octet") << "255.255.255.100" << false;
        QTest::newRow("1 is no mask octet") << "255.1.0.0" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("three octets") << "255.255.0" << false;
    }

    void MaskOctetsAreTestedOneByOne()
    {
        QFETCH(QString, mask);
        QFETCH(bool, acceptable);
        QCOMPARE(IsAcceptableMask(mask.toStdString()), acceptable);
    }

    void SingleAddressExcludesNetworkAndBroadcastOctets_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("acceptable");
        QTest::newRow("plain") << "10.0.0.1" << true;
        QTest::newRow("first 0") << "0.1.2.3" << false;
        QTest::newRow("first 255") << "255.1.2.3" << false;
        QTest::newRow("second 255") << "10.255.0.1" << false;
        QTest::newRow("third 255") << "10.0.255.1" << false;
        QTest::newRow("last 0") << "10.0.0.0" << false;
        QTest::newRow("last 255") << "10.0.0.255" << false;
        QTest::newRow("middle zeros fine") << "10.0.0.9" << true;
        QTest::newRow("empty") << "" << false;
    }

    void SingleAddressExcludesNetworkAndBroadcastOctets()
    {
        QFETCH(QString, address);
        QFETCH(bool, acceptable);
        QCOMPARE(IsAcceptableSingleAddress(address.toStdString()), acceptable);
    }

    // The dialog.

    void OpensForSingleAddressAndSwitchesToSubnet()
    {
        TSecurityAddForm form(prompts_);
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Add IP/Subnet"));
        QVERIFY(Child<QRadioButton>(form, "IPRadio")->isChecked());
        QCOMPARE(Child<QLabel>(form, "NetLabel")->text(), QStringLiteral("IP Address:"));
        QVERIFY(!Child<CEditIPAddr>(form, "MaskEdit")->isVisible());
        QVERIFY(!Child<QLabel>(form, "MaskLabel")->isVisible());

        ChooseSubnet(form);
        QCOMPARE(Child<QLabel>(form, "NetLabel")->text(), QStringLiteral("Network ID:"));
        QVERIFY(Child<CEditIPAddr>(form, "MaskEdit")->isVisible());
        QCOMPARE(Child<QLabel>(form, "MaskLabel")->text(), QStringLiteral("Subnet Mask:"));
    }

    void RefusedEntryKeepsDialogOpenWithMessage_data()
    {
        QTest::addColumn<bool>("subnet");
        QTest::addColumn<QString>("net");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("message");
        QTest::newRow("broadcast address") << false << "10.0.0.255" << "" << kInvalidAddress;
        QTest::newRow("empty address") << false << "" << "" << kInvalidAddress;
        QTest::newRow("bad mask") << true << "10.0.0.0" << "255.255.255.100" << kInvalidMask;
        QTest::newRow("empty mask") << true << "10.0.0.0" << "" << kInvalidMask;
        QTest::newRow("empty network ID") << true << "" << "255.0.0.0" << kInvalidAddress;
    }

    void RefusedEntryKeepsDialogOpenWithMessage()
    {
        QFETCH(bool, subnet);
        QFETCH(QString, net);
        QFETCH(QString, mask);
        QFETCH(QString, message);
        TSecurityAddForm form(prompts_);
        form.show();
        if (subnet)
            ChooseSubnet(form);
        Enter(form, "NetEdit", net.toLatin1().constData());
        Enter(form, "MaskEdit", mask.toLatin1().constData());
        form.accept();
        QCOMPARE(prompts_.Errors, QStringList{message});
        QVERIFY(form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }

    void AcceptedSubnetKeepsNetworkIdAsEntered()
    {
        TSecurityAddForm form(prompts_);
        form.show();
        ChooseSubnet(form);
        Enter(form, "NetEdit", "10.1.2.3");
        Enter(form, "MaskEdit", "255.0.255.0");
        form.accept();
        QVERIFY(prompts_.Errors.isEmpty());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(form.SubnetMode());
        QCOMPARE(form.Address(), QStringLiteral("10.1.2.3"));
        QCOMPARE(form.Mask(), QStringLiteral("255.0.255.0"));
    }

    void AcceptedSingleAddress()
    {
        TSecurityAddForm form(prompts_);
        form.show();
        Enter(form, "NetEdit", "192.168.1.10");
        form.accept();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(!form.SubnetMode());
        QCOMPARE(form.Address(), QStringLiteral("192.168.1.10"));
    }

    // IPv6 mode.

    void IPv6ModeShowsOneEntryInPlaceOfTheIPv4Ones()
    {
        TSecurityAddForm form(prompts_);
        form.show();
        QVERIFY(!Child<QLineEdit>(form, "IPv6Edit")->isVisible());
        Child<QRadioButton>(form, "IPv6Radio")->click();
        QVERIFY(form.IPv6Mode());
        QVERIFY(!form.SubnetMode());
        QCOMPARE(Child<QLabel>(form, "IPv6Label")->text(), QStringLiteral("IPv6 address or prefix:"));
        QVERIFY(Child<QLineEdit>(form, "IPv6Edit")->isVisible());
        QVERIFY(!Child<CEditIPAddr>(form, "NetEdit")->isVisible());
        QVERIFY(!Child<QLabel>(form, "NetLabel")->isVisible());
        QVERIFY(!Child<CEditIPAddr>(form, "MaskEdit")->isVisible());
        ChooseSubnet(form);
        QVERIFY(!Child<QLineEdit>(form, "IPv6Edit")->isVisible());
        QVERIFY(Child<CEditIPAddr>(form, "NetEdit")->isVisible());
    }

    void IPv6EntryIsCheckedByInetPtonAndItsLength_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("prefix");
        QTest::newRow("address") << "2001:DB8:0::1" << "" << "2001:db8::1" << 128 << false;
        QTest::newRow("prefix, blanks trimmed") << "  2001:db8::/32 " << "" << "2001:db8::" << 32 << true;
        QTest::newRow("everything") << "::/0" << "" << "::" << 0 << true;
        QTest::newRow("link-local") << "fe80::1%eth0" << "" << "fe80::1%eth0" << 128 << false;
        QTest::newRow("link-local prefix") << "fe80::%eth0/64" << "" << "fe80::%eth0" << 64 << true;
        QTest::newRow("full length prefix") << "::1/128" << "" << "::1" << 128 << true;
        QTest::newRow("IPv4") << "10.0.0.1" << kInvalidIPv6 << "" << 0 << false;
        QTest::newRow("empty") << "" << kInvalidIPv6 << "" << 0 << false;
        QTest::newRow("two gaps") << "2001::db8::1" << kInvalidIPv6 << "" << 0 << false;
        QTest::newRow("bad address first") << "nonsense/129" << kInvalidIPv6 << "" << 0 << false;
        QTest::newRow("empty interface") << "fe80::1%" << kInvalidIPv6 << "" << 0 << false;
        QTest::newRow("too long") << "2001:db8::/129" << kInvalidLength << "" << 0 << false;
        QTest::newRow("no length") << "2001:db8::/" << kInvalidLength << "" << 0 << false;
        QTest::newRow("not a number") << "2001:db8::/x" << kInvalidLength << "" << 0 << false;
        QTest::newRow("negative") << "2001:db8::/-1" << kInvalidLength << "" << 0 << false;
        QTest::newRow("two lengths") << "2001:db8::/32/1" << kInvalidLength << "" << 0 << false;
    }

    void IPv6EntryIsCheckedByInetPtonAndItsLength()
    {
        QFETCH(QString, entry);
        QFETCH(QString, message);
        QFETCH(QString, address);
        QFETCH(int, length);
        QFETCH(bool, prefix);
        TSecurityAddForm form(prompts_);
        form.show();
        Child<QRadioButton>(form, "IPv6Radio")->click();
        Child<QLineEdit>(form, "IPv6Edit")->setText(entry);
        form.accept();
        if (!message.isEmpty()) {
            QCOMPARE(prompts_.Errors, QStringList{message});
            QVERIFY(form.isVisible());
            QCOMPARE(form.result(), int(QDialog::Rejected));
            return;
        }
        QVERIFY(prompts_.Errors.isEmpty());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        const TIPv6Rule& rule = form.IPv6Rule();
        QCOMPARE(QString::fromStdString(IPv6AddressText(rule.Address)), address);
        QCOMPARE(rule.PrefixLength, length);
        QCOMPARE(rule.Kind, prefix ? rkSubnet : rkAddress);
        QCOMPARE(rule.Rights, arRead);
    }
};

QTEST_MAIN(SecurityAddFormTest)
#include "SecurityAddFormTest.moc"
