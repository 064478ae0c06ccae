#include "ui/config/ConfigForm.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/SettingsStore.h"
#include "security/IPv6RulesFile.h"
#include "security/SecurityRulesFile.h"
#include "tests/support/TempDir.h"
#include "tests/ui/RecordingPrompts.h"
#include "ui/config/ConfigSecurityPage.h"
#include "ui/config/ShowConfiguration.h"

namespace fs = std::filesystem;

namespace {

/// A settings file in which every key the dialog edits differs from its default.
const char kEveryKeyChanged[] =
    "[General]\nTipsOnStartUp=0\n"
    "[TFTP Settings]\nPort=6969\nBufferSize=512\nTimeout=5\nAutoStartTFTP=1\nSecurityOn=1\n"
    "LoadOnStartup=1\nRefreshAfterLoad=0\nRemoveDead=1\nAutoRefresh=1\nAutoRefreshInterval=7\n"
    "StartOnStartup=1\nMinOnStartup=1\nMaxDLConn=3\nMaxULConn=4\nMaxWindowSize=4\n"
    "PortRangeLow=30000\nPortRangeHigh=30010\nRMTransfer=0\nTSize=0\n"
    "ClientTimeout=0\n[IP Settings]\nBind=10.0.0.1\n"
    "[FileAccepting]\nAccept=1\nAddNew=1\nOverwrite=1\nDestDir=/srv/in\n"
    "[Logging]\nLog=1\nLogFormat=1\nLogLimitOptions=1\nLogLimit=0\nLogSize=500\n"
    "LogFolder=/var/log/v\n[Lasted Saved]\nFile=/lists/a.vlt\n[FileServing]\nTreeRoot=/srv/tftp\n";

QStringList Texts(const QListWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

void SelectTexts(QListWidget* list, const QStringList& texts)
{
    list->clearSelection();
    for (int row = 0; row < list->count(); ++row)
        list->item(row)->setSelected(texts.contains(list->item(row)->text()));
}

}  // namespace

class ConfigFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTempDir> dir_;
    std::unique_ptr<TSettingsStore> store_;
    TRecordingPrompts prompts_;
    std::vector<std::string> localAddresses_;
    std::vector<bool> autostartCalls_;
    TAutostartOutcome autostartOutcome_ = TAutostartOutcome::Done;
    QStringList reported_;
    std::unique_ptr<TConfigForm> form_;

    TConfigServices Services()
    {
        TConfigServices services;
        services.Prompts = &prompts_;
        services.LocalAddresses = [this] { return localAddresses_; };
        services.WriteAutostart = [this](bool enabled) {
            autostartCalls_.push_back(enabled);
            return autostartOutcome_;
        };
        services.ReportError = [this](const std::string& text) {
            reported_ << QString::fromStdString(text);
        };
        return services;
    }

    TConfigForm& Open()
    {
        form_ = std::make_unique<TConfigForm>(*store_, Services());
        return *form_;
    }

    void WriteSettings(const std::string& text) const { dir_->WriteFile("veltrane.INI", text); }
    std::string SettingsText() const { return TTempDir::ReadFile(dir_->Path() / "veltrane.INI"); }
    fs::path RulesFile() const { return dir_->Path() / "veltrane.SEC"; }
    fs::path IPv6RulesFile() const { return dir_->Path() / "veltrane.SE6"; }

    template <typename T>
    T* Child(const char* name) const
    {
        T* child = form_->findChild<T*>(QString::fromLatin1(name));
        if (child == nullptr)
            qFatal("no child %s", name);
        return child;
    }

    QListWidget* Available() const { return Child<QListWidget>("AvailIPList"); }
    QListWidget* Bound() const { return Child<QListWidget>("BindIPList"); }
    TConfigSecurityPage* SecurityPage() const { return Child<TConfigSecurityPage>("SecurityPage"); }

private slots:
    void init()
    {
        dir_ = std::make_unique<TTempDir>();
        store_ = std::make_unique<TSettingsStore>(TProgramPaths(dir_->Path()));
        prompts_.Clear();
        localAddresses_ = {"127.0.0.1", "10.0.0.1", "10.0.0.2", "10.0.0.3"};
        autostartCalls_.clear();
        autostartOutcome_ = TAutostartOutcome::Done;
        reported_.clear();
    }

    void cleanup()
    {
        form_.reset();
        store_.reset();
        dir_.reset();
    }

    // Opening and saving.

    void FirstOpeningWritesDefaultsEvenWhenClosed()
    {
        Open();
        QVERIFY(store_->SettingsFileExists());
        QCOMPARE(store_->ReadSettingsFile(), store_->Defaults());
        form_->reject();
        QVERIFY(store_->SettingsFileExists());
        QVERIFY(autostartCalls_.empty());
    }

    void FirstOpeningShowsDefaultsAndSaveWritesThemAgain()
    {
        Open();
        const std::string written = SettingsText();
        QCOMPARE(Child<QSpinBox>("PortEdit")->value(), 69);
        QCOMPARE(Child<QSpinBox>("LogSizeEdit")->value(), 100);
        QVERIFY(Child<QCheckBox>("RefreshAfterLoadBox")->isChecked());
        QVERIFY(Child<QRadioButton>("SizeLimitRadio")->isChecked());
        QCOMPARE(Child<QLineEdit>("LogFolderEdit")->text(), QString::fromStdString(dir_->Str()));
        QCOMPARE(Texts(Bound()), QStringList{QStringLiteral("All")});

        form_->SaveAndClose();
        QCOMPARE(SettingsText(), written);
        QVERIFY(written.find("LogSize=100\n") != std::string::npos);
        QVERIFY(written.find("LogLimit=1\n") != std::string::npos);
        QVERIFY(written.find("LogFolder=" + dir_->Str() + "\n") != std::string::npos);
        QCOMPARE(autostartCalls_, std::vector<bool>{false});
        QVERIFY(!fs::exists(RulesFile()));
        QCOMPARE(form_->result(), int(QDialog::Accepted));
    }

    void EveryKeyRoundTripsUnchanged()
    {
        WriteSettings(kEveryKeyChanged);
        const TConfig before = store_->ReadSettingsFile();
        Open().SaveAndClose();
        QVERIFY(prompts_.Errors.isEmpty());
        QCOMPARE(store_->ReadSettingsFile(), before);
        QVERIFY(store_->ReadStartOnStartup());
        QCOMPARE(autostartCalls_, std::vector<bool>{true});
    }

    void ValuesOutsideTheFieldsAreClampedOnSave()
    {
        WriteSettings("[TFTP Settings]\nPort=65535\nTimeout=99\n[Logging]\nLogFormat=5\n");
        Open().SaveAndClose();
        const TConfig saved = store_->ReadSettingsFile();
        QCOMPARE(saved.Port, 65000);
        QCOMPARE(saved.Timeout, 60);
        QCOMPARE(saved.LogFormat, 0);
    }

    void WindowAndTransferPortsAreSavedAfterTheConnectionLimits()
    {
        Open();
        auto* window = Child<QSpinBox>("MaxWindowSizeEdit");
        auto* low = Child<QSpinBox>("PortRangeLowEdit");
        auto* high = Child<QSpinBox>("PortRangeHighEdit");
        QCOMPARE(window->value(), 16);
        QCOMPARE(window->minimum(), 1);
        QCOMPARE(window->maximum(), 64);
        QCOMPARE(window->toolTip(), QStringLiteral("Most blocks sent before waiting for an acknowledgement "
                                                   "(RFC 7440); 1 turns windows off"));
        QCOMPARE(low->value(), 0);
        QCOMPARE(high->value(), 0);
        QCOMPARE(high->maximum(), 65535);
        auto* page = Child<QWidget>("ConnectionPage");
        QStringList captions;
        for (const QLabel* label : page->findChildren<QLabel*>())
            captions << label->text();
        for (const char* caption : {"Maximum window size (blocks):", "Transfer ports from:", "to:"})
            QVERIFY2(captions.contains(QString::fromLatin1(caption)), caption);

        window->setValue(8);
        low->setValue(20000);
        high->setValue(20009);
        form_->SaveAndClose();
        QVERIFY(SettingsText().find("MaxDLConn=1\nMaxULConn=1\nMaxWindowSize=8\nPortRangeLow=20000\n"
                                    "PortRangeHigh=20009\n[IP Settings]") != std::string::npos);
        const TConfig saved = store_->ReadSettingsFile();
        QCOMPARE(saved.MaxWindowSize, 8);
        QCOMPARE(saved.PortRangeLow, 20000);
        QCOMPARE(saved.PortRangeHigh, 20009);
    }

    void UnusablePortRangeOpensAsNone()
    {
        WriteSettings("[TFTP Settings]\nPortRangeLow=20009\nPortRangeHigh=20000\nMaxWindowSize=1\n");
        Open();
        QCOMPARE(Child<QSpinBox>("PortRangeLowEdit")->value(), 0);
        QCOMPARE(Child<QSpinBox>("PortRangeHighEdit")->value(), 0);
        QCOMPARE(Child<QSpinBox>("MaxWindowSizeEdit")->value(), 1);
    }

    void DestinationWithTwoTrailingSeparatorsIsSavedWithOne()
    {
        Open();
        Child<QLineEdit>("DestDirEdit")->setText(QStringLiteral("/srv/in//"));
        form_->SaveAndClose();
        QCOMPARE(store_->ReadSettingsFile().DestDir, std::string("/srv/in/"));
        QCOMPARE(Child<QLineEdit>("DestDirEdit")->text(), QStringLiteral("/srv/in/"));
    }

    // The bind list.

    void TwoBoundAddressesRoundTrip()
    {
        WriteSettings("[IP Settings]\nBind=10.0.0.1;10.0.0.2\n");
        Open();
        QCOMPARE(Texts(Bound()), (QStringList{"10.0.0.1", "10.0.0.2"}));
        QCOMPARE(Texts(Available()), (QStringList{"127.0.0.1", "10.0.0.3"}));
        form_->SaveAndClose();
        QCOMPARE(store_->ReadSettingsFile().Bind, std::string("10.0.0.1;10.0.0.2"));
    }

    void BoundAddressNoLongerLocalStaysBound()
    {
        WriteSettings("[IP Settings]\nBind=192.0.2.7\n");
        Open();
        QCOMPARE(Texts(Available()).size(), 4);
        form_->SaveAndClose();
        QCOMPARE(store_->ReadSettingsFile().Bind, std::string("192.0.2.7"));
    }

    void EmptyBindLeavesBoundListEmpty()
    {
        WriteSettings("[IP Settings]\nBind=\n");
        Open();
        QCOMPARE(Bound()->count(), 0);
        form_->SaveAndClose();
        QCOMPARE(store_->ReadSettingsFile().Bind, std::string());
    }

    void AddingReplacesAllAndRemovingLastBringsItBack()
    {
        Open();
        SelectTexts(Available(), {"10.0.0.3", "127.0.0.1"});
        Child<QPushButton>("AddBindButton")->click();
        QCOMPARE(Texts(Bound()), (QStringList{"127.0.0.1", "10.0.0.3"}));
        QCOMPARE(Texts(Available()), (QStringList{"10.0.0.1", "10.0.0.2"}));

        SelectTexts(Bound(), {"127.0.0.1", "10.0.0.3"});
        Child<QPushButton>("RemoveBindButton")->click();
        QCOMPARE(Texts(Bound()), QStringList{QStringLiteral("All")});
        QCOMPARE(Texts(Available()), (QStringList{"10.0.0.1", "10.0.0.2", "127.0.0.1", "10.0.0.3"}));
    }

    void CommandsWithoutUsableSelectionChangeNothing()
    {
        Open();
        Child<QPushButton>("AddBindButton")->click();
        SelectTexts(Bound(), {"All"});
        Child<QPushButton>("RemoveBindButton")->click();
        QCOMPARE(Texts(Bound()), QStringList{QStringLiteral("All")});
        QCOMPARE(Texts(Available()).size(), 4);
    }

    // Enabling rules.

    void UntickingAutostartUnticksAndDisablesMinimize()
    {
        WriteSettings("[TFTP Settings]\nStartOnStartup=1\nMinOnStartup=1\n");
        Open();
        auto* minimise = Child<QCheckBox>("MinOnStartupBox");
        QVERIFY(minimise->isChecked());
        QVERIFY(minimise->isEnabled());
        Child<QCheckBox>("StartOnStartupBox")->click();
        QVERIFY(!minimise->isChecked());
        QVERIFY(!minimise->isEnabled());
        form_->SaveAndClose();
        QVERIFY(!store_->ReadSettingsFile().MinOnStartup);
        QVERIFY(!store_->ReadStartOnStartup());
        QCOMPARE(autostartCalls_, std::vector<bool>{false});
    }

    void AutoRefreshBoxEnablesInterval()
    {
        WriteSettings("[TFTP Settings]\nAutoRefresh=1\n");
        Open();
        QVERIFY(Child<QSpinBox>("AutoRefreshIntervalEdit")->isEnabled());
        Child<QCheckBox>("AutoRefreshBox")->click();
        QVERIFY(!Child<QSpinBox>("AutoRefreshIntervalEdit")->isEnabled());
        QVERIFY(!Child<QWidget>("MinutesLabel")->isEnabled());
    }

    void BootTreeFolderFollowsItsBoxAndIsWrittenOnlyWhenChanged()
    {
        Open();
        const std::string untouched = SettingsText();
        auto* box = Child<QCheckBox>("TreeRootBox");
        auto* folder = Child<QLineEdit>("TreeRootEdit");
        QCOMPARE(box->text(), QStringLiteral("Serve files beneath this folder too:"));
        QVERIFY(!box->isChecked());
        QVERIFY(!folder->isEnabled());
        QVERIFY(!Child<QPushButton>("TreeRootBrowseButton")->isEnabled());
        form_->SaveAndClose();
        QCOMPARE(SettingsText(), untouched);  // no boot tree: no new key

        Open();
        Child<QCheckBox>("TreeRootBox")->click();
        QVERIFY(Child<QLineEdit>("TreeRootEdit")->isEnabled());
        Child<QLineEdit>("TreeRootEdit")->setText(QStringLiteral("/srv/tftp/"));
        form_->SaveAndClose();
        QCOMPARE(SettingsText(), untouched + "[FileServing]\nTreeRoot=/srv/tftp\n");
    }

    void BootTreeRoundTripsAndUntickingTurnsItOff()
    {
        WriteSettings("[FileServing]\nTreeRoot=/srv/tftp\n");
        Open();
        QVERIFY(Child<QCheckBox>("TreeRootBox")->isChecked());
        QCOMPARE(Child<QLineEdit>("TreeRootEdit")->text(), QStringLiteral("/srv/tftp"));
        prompts_.FolderAnswer = QStringLiteral("/srv/boot/");
        Child<QPushButton>("TreeRootBrowseButton")->click();
        QCOMPARE(prompts_.FolderStarts.last(), QStringLiteral("/srv/tftp"));
        form_->SaveAndClose();
        QCOMPARE(store_->ReadSettingsFile().TreeRoot, std::string("/srv/boot"));

        Open();
        Child<QCheckBox>("TreeRootBox")->click();
        QVERIFY(!Child<QLineEdit>("TreeRootEdit")->isEnabled());
        form_->SaveAndClose();
        QCOMPARE(store_->ReadSettingsFile().TreeRoot, std::string());
    }

    void UploadHashBoxIsWrittenOnlyOnceTicked()
    {
        Open();
        const std::string untouched = SettingsText();
        auto* box = Child<QCheckBox>("LogUploadHashBox");
        QVERIFY(!box->isChecked());
        QVERIFY(!box->isEnabled());
        form_->SaveAndClose();
        QCOMPARE(SettingsText(), untouched);

        Open();
        Child<QRadioButton>("AcceptFilesRadio")->click();
        Child<QCheckBox>("LogUploadHashBox")->click();
        form_->SaveAndClose();
        QVERIFY(store_->ReadSettingsFile().LogUploadHash);
        Open();
        QVERIFY(Child<QCheckBox>("LogUploadHashBox")->isChecked());
    }

    void DestinationUsableOnlyWhileAccepting()
    {
        Open();
        QVERIFY(!Child<QLineEdit>("DestDirEdit")->isEnabled());
        QVERIFY(!Child<QCheckBox>("OverwriteBox")->isEnabled());
        Child<QRadioButton>("AcceptFilesRadio")->click();
        for (const char* name : {"DestDirEdit", "DestDirBrowseButton", "AddNewBox", "OverwriteBox"})
            QVERIFY2(Child<QWidget>(name)->isEnabled(), name);
    }

    void LoggingControlsFollowTheirChoices_data()
    {
        QTest::addColumn<bool>("log");
        QTest::addColumn<bool>("limits");
        QTest::newRow("no logging") << false << false;
        QTest::newRow("no logging, limits ticked") << false << true;
        QTest::newRow("logging without limits") << true << false;
        QTest::newRow("logging with limits") << true << true;
    }

    void LoggingControlsFollowTheirChoices()
    {
        QFETCH(bool, log);
        QFETCH(bool, limits);
        WriteSettings(std::string("[Logging]\nLog=") + (log ? "1" : "0")
                      + "\nLogLimitOptions=" + (limits ? "1" : "0") + "\n");
        Open();
        for (const char* name : {"LogTypeLabel", "LogTypeList", "LogFolderEdit",
                                 "LogFolderBrowseButton", "LogLimitOptionsBox"})
            QVERIFY2(Child<QWidget>(name)->isEnabled() == log, name);
        QCOMPARE(Child<QGroupBox>("LogLimitGroup")->isEnabled(), log && limits);
        QCOMPARE(Child<QSpinBox>("LogSizeEdit")->isEnabled(), log && limits);
    }

    void LimitValuesAreSavedWhileDisabled()
    {
        WriteSettings("[Logging]\nLog=1\nLogLimitOptions=0\nLogLimit=0\nLogSize=77\n");
        Open().SaveAndClose();
        const TConfig saved = store_->ReadSettingsFile();
        QVERIFY(!saved.LogLimit);
        QCOMPARE(saved.LogSize, 77);
    }

    // Folder pickers.

    void BrowseButtonsOfferTheirFolders()
    {
        WriteSettings("[FileAccepting]\nAccept=1\nDestDir=/srv/in\n[Logging]\nLog=1\n");
        Open();
        prompts_.FolderAnswer = QStringLiteral("/srv/new");
        Child<QPushButton>("DestDirBrowseButton")->click();
        QCOMPARE(Child<QLineEdit>("DestDirEdit")->text(), QStringLiteral("/srv/new"));
        prompts_.FolderAnswer.clear();
        Child<QPushButton>("LogFolderBrowseButton")->click();
        QCOMPARE(Child<QLineEdit>("LogFolderEdit")->text(), QString::fromStdString(dir_->Str()));
        QCOMPARE(prompts_.FolderCaptions, (QStringList{"Destination folder for incoming files:",
                                                       "Log file folder:"}));
        QCOMPARE(prompts_.FolderStarts.first(), QStringLiteral("/srv/in"));
    }

    // Navigation.

    void TreeNodesShowTheirPages()
    {
        Open();
        form_->show();
        auto* tree = Child<QTreeWidget>("ConfigTree");
        auto* pages = Child<QStackedWidget>("PageControl1");
        QVERIFY(tree->topLevelItem(0)->isExpanded());
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("General"));
        QCOMPARE(pages->currentIndex(), int(TConfigForm::pgGeneral));

        QTreeWidgetItem* root = tree->topLevelItem(0);
        const QList<QPair<QString, QString>> expected{
            {"Connection", "ConnectionPage"},     {"IP Addresses", "AddressesPage"},
            {"Accepting Files", "AcceptingPage"}, {"Logging", "LoggingPage"},
            {"Security", "SecurityPage"},         {"General", "GeneralPage"}};
        for (const auto& [node, page] : expected) {
            const auto found = tree->findItems(node, Qt::MatchExactly | Qt::MatchRecursive);
            tree->setCurrentItem(found.first());
            QCOMPARE(pages->currentWidget()->objectName(), page);
        }
        tree->setCurrentItem(tree->topLevelItem(0)->child(1));
        tree->setCurrentItem(root);
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("GeneralPage"));
        QCOMPARE(pages->count(), 6);
        QCOMPARE(pages->widget(int(TConfigForm::pgSecurity))->objectName(),
                 QStringLiteral("SecurityPage"));
    }

    // Refusals while saving.

    void RefusedSettingsWriteSkipsEveryLaterStep()
    {
        fs::create_directory(dir_->Path() / "veltrane.INI");
        Open();
        SecurityPage()->SetSecurityOn(true);
        SecurityPage()->AddEnteredRule(false, QStringLiteral("10.0.0.9"), {});
        form_->SaveAndClose();
        const QString path = QString::fromStdString((dir_->Path() / "veltrane.INI").string());
        QCOMPARE(prompts_.Errors, QStringList{QStringLiteral("Unable to write to ") + path});
        QVERIFY(autostartCalls_.empty());
        QVERIFY(!fs::exists(RulesFile()));
        QVERIFY(!form_->isVisible());
    }

    void RefusedAutostartSkipsRules()
    {
        autostartOutcome_ = TAutostartOutcome::Refused;
        Open();
        SecurityPage()->SetSecurityOn(true);
        SecurityPage()->AddEnteredRule(false, QStringLiteral("10.0.0.9"), {});
        form_->SaveAndClose();
        QCOMPARE(prompts_.Errors, QStringList{QStringLiteral("Failed to set data for 'Veltrane'")});
        QVERIFY(!fs::exists(RulesFile()));
    }

    void UnavailableAutostartFolderIsSilent()
    {
        autostartOutcome_ = TAutostartOutcome::FolderUnavailable;
        Open();
        SecurityPage()->SetSecurityOn(true);
        SecurityPage()->AddEnteredRule(false, QStringLiteral("10.0.0.9"), {});
        form_->SaveAndClose();
        QVERIFY(prompts_.Errors.isEmpty());
        QCOMPARE(LoadSecurityRules(RulesFile()).size(), std::size_t{1});
    }

    // Security rules.

    void RulesAreStoredOnSaveOnly()
    {
        Open();
        SecurityPage()->SetSecurityOn(true);
        SecurityPage()->AddEnteredRule(true, QStringLiteral("10.0.0.0"), QStringLiteral("255.0.0.0"));
        form_->reject();
        QVERIFY(!fs::exists(RulesFile()));
        Open();
        QVERIFY(SecurityPage()->Rules().empty());
        SecurityPage()->SetSecurityOn(true);
        SecurityPage()->AddEnteredRule(true, QStringLiteral("10.0.0.0"), QStringLiteral("255.0.0.0"));
        form_->SaveAndClose();
        QCOMPARE(LoadSecurityRules(RulesFile()),
                 (TSecurityRuleList{{"10.0.0.0", "255.0.0.0", rkSubnet, arRead}}));
        QVERIFY(store_->ReadSettingsFile().SecurityOn);
    }

    void RulesStayGreyedAfterFullAccessIsSaved()
    {
        WriteSettings("[TFTP Settings]\nSecurityOn=1\n");
        SaveSecurityRules(RulesFile(), {{"10.0.0.1", "255.255.255.255", rkAddress, arRead},
                                        {"10.0.0.2", "255.255.255.255", rkAddress, arDeny}});
        Open();
        QCOMPARE(Child<QListWidget>("SecurityListView")->count(), 2);
        Child<QRadioButton>("DisableSecurityRadio")->click();
        form_->SaveAndClose();
        QVERIFY(!store_->ReadSettingsFile().SecurityOn);

        Open();
        auto* list = Child<QListWidget>("SecurityListView");
        QVERIFY(Child<QRadioButton>("DisableSecurityRadio")->isChecked());
        QCOMPARE(list->count(), 2);
        QVERIFY(!list->isEnabled());
    }

    void RemovingAllRulesDeletesTheRulesFile()
    {
        WriteSettings("[TFTP Settings]\nSecurityOn=1\n");
        SaveSecurityRules(RulesFile(), {{"10.0.0.1", "255.255.255.255", rkAddress, arRead}});
        Open();
        prompts_.ConfirmAnswer = true;
        SecurityPage()->RemoveAllRules();
        form_->SaveAndClose();
        QVERIFY(!fs::exists(RulesFile()));
    }

    void UnreadableRulesFileIsLeftIntact()
    {
        fs::create_directory(RulesFile());
        Open().SaveAndClose();
        QVERIFY(fs::is_directory(RulesFile()));
        QVERIFY(reported_.isEmpty());
    }

    void RulesWriteFailureIsReported()
    {
        // A folder where the new rules file is written first makes the write fail.
        fs::create_directory(dir_->Path() / "veltrane.SEC.new");
        Open();
        SecurityPage()->SetSecurityOn(true);
        SecurityPage()->AddEnteredRule(false, QStringLiteral("10.0.0.9"), {});
        form_->SaveAndClose();
        QCOMPARE(reported_, QStringList{QStringLiteral("Application: Error saving security rules!")});
        QCOMPARE(form_->result(), int(QDialog::Accepted));
    }

    void SaveWritesBothRulesFilesAndOpeningShowsBoth()
    {
        const TIPv6Rule prefix{*ParseIPv6Address("2001:db8::"), 32, rkSubnet, arRead};
        Open();
        SecurityPage()->SetSecurityOn(true);
        SecurityPage()->AddEnteredRule(false, QStringLiteral("10.0.0.9"), {});
        SecurityPage()->AddEnteredIPv6Rule(prefix);
        form_->SaveAndClose();
        QCOMPARE(LoadSecurityRules(RulesFile()).size(), std::size_t{1});
        QVERIFY(LoadIPv6Rules(IPv6RulesFile()).Rules == TIPv6RuleList{prefix});

        Open();
        QCOMPARE(SecurityPage()->IPv6Rules().size(), std::size_t{1});
        QCOMPARE(Child<QListWidget>("SecurityListView")->item(1)->text(), QStringLiteral("2001:db8::/32"));
        prompts_.ConfirmAnswer = true;
        SecurityPage()->RemoveAllRules();
        form_->SaveAndClose();
        QVERIFY(!fs::exists(RulesFile()));
        QVERIFY(!fs::exists(IPv6RulesFile()));
    }

    void UnreadableIPv6RulesFileIsLeftIntactWhileIPv4RulesAreSaved()
    {
        fs::create_directory(IPv6RulesFile());
        Open();
        SecurityPage()->SetSecurityOn(true);
        SecurityPage()->AddEnteredRule(false, QStringLiteral("10.0.0.9"), {});
        form_->SaveAndClose();
        QVERIFY(fs::is_directory(IPv6RulesFile()));
        QCOMPARE(LoadSecurityRules(RulesFile()).size(), std::size_t{1});
        QVERIFY(reported_.isEmpty());
    }

    void RefusedWritesOfBothFilesAreReportedOnce()
    {
        fs::create_directory(dir_->Path() / "veltrane.SEC.new");
        fs::create_directory(dir_->Path() / "veltrane.SE6.new");
        Open();
        SecurityPage()->SetSecurityOn(true);
        SecurityPage()->AddEnteredRule(false, QStringLiteral("10.0.0.9"), {});
        SecurityPage()->AddEnteredIPv6Rule({*ParseIPv6Address("::9"), 128, rkAddress, arRead});
        form_->SaveAndClose();
        QCOMPARE(reported_, QStringList{QStringLiteral("Application: Error saving security rules!")});
    }

    // The command.

    void ShowConfigurationReappliesWhicheverButtonCloses_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("save") << "SaveButton";
        QTest::newRow("close") << "CloseButton";
    }

    void ShowConfigurationReappliesWhicheverButtonCloses()
    {
        QFETCH(QString, button);
        int reapplied = 0;
        int nestedReapplied = 0;
        QTimer::singleShot(0, this, [&] {
            auto* form = qobject_cast<TConfigForm*>(QApplication::activeModalWidget());
            QVERIFY(form != nullptr);
            // A second command while the dialog is open shows nothing.
            ShowConfiguration(nullptr, *store_, Services(), [&] { ++nestedReapplied; });
            QCOMPARE(reapplied, 0);
            form->findChild<QPushButton*>(button)->click();
        });
        ShowConfiguration(nullptr, *store_, Services(), [&] {
            ++reapplied;
            QVERIFY(QApplication::activeModalWidget() == nullptr);
        });
        QCOMPARE(reapplied, 1);
        QCOMPARE(nestedReapplied, 0);
        QCOMPARE(autostartCalls_.size(), std::size_t(button == QStringLiteral("SaveButton") ? 1 : 0));
    }
};

QTEST_MAIN(ConfigFormTest)
#include "ConfigFormTest.moc"
