#include "ui/config/ConfigForm.h"

#include <array>
#include <utility>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/IniFile.h"
#include "app/SettingsStore.h"
#include "security/IPv6RulesFile.h"
#include "security/SecurityRulesFile.h"
#include "ui/config/ConfigAcceptingPage.h"
#include "ui/config/ConfigAddressesPage.h"
#include "ui/config/ConfigConnectionPage.h"
#include "ui/config/ConfigGeneralPage.h"
#include "ui/config/ConfigLoggingPage.h"
#include "ui/config/ConfigSecurityPage.h"
#include "ui/DialogFrame.h"

namespace {

constexpr char kRulesSaveError[] = "Application: Error saving security rules!";

}  // namespace

TConfigForm::TConfigForm(TSettingsStore& settings, TConfigServices services, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      services_(std::move(services)),
      tree_(new QTreeWidget(this)),
      pages_(new QStackedWidget(this))
{
    setWindowTitle(QStringLiteral("Configuration"));
    UseDialogFrame(*this);
    BuildTree();
    BuildPages();

    auto* save = new QPushButton(QStringLiteral("Save && Close"), this);
    save->setObjectName(QStringLiteral("SaveButton"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    connect(save, &QPushButton::clicked, this, &TConfigForm::SaveAndClose);
    connect(close, &QPushButton::clicked, this, &TConfigForm::reject);

    auto* body = new QHBoxLayout;
    body->addWidget(tree_);
    body->addWidget(pages_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);

    // The editing copy of the rules starts empty with the security page; then the local
    // addresses, the values, and last the rules file.
    addresses_->SetAvailable(services_.LocalAddresses());
    LoadValues();
    LoadRules();
}

TConfigForm::~TConfigForm() = default;

TConfigForm::TPage TConfigForm::PageForNodePosition(int position)
{
    // The tree lists "Accepting Files" and "Logging" before "Security"; the page control
    // keeps "Security" fourth.
    static constexpr std::array<TPage, 6> kPages{pgGeneral,   pgConnection, pgAddresses,
                                                 pgAccepting, pgLogging,    pgSecurity};
    if (position < 0 || position >= static_cast<int>(kPages.size()))
        return pgGeneral;
    return kPages[static_cast<std::size_t>(position)];
}

void TConfigForm::BuildTree()
{
    tree_->setObjectName(QStringLiteral("ConfigTree"));
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    auto* root = new QTreeWidgetItem(tree_, {QStringLiteral("Configuration")});
    for (const char* name : {"General", "Connection", "IP Addresses", "Accepting Files",
                             "Logging", "Security"})
        new QTreeWidgetItem(root, {QString::fromLatin1(name)});
    tree_->setFixedWidth(tree_->fontMetrics().horizontalAdvance(QStringLiteral("Accepting Files"))
                         + 80);
    tree_->header()->setStretchLastSection(true);
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* node) { TreeNodeChosen(node); });
}

void TConfigForm::BuildPages()
{
    pages_->setObjectName(QStringLiteral("PageControl1"));
    TPrompts& prompts = *services_.Prompts;
    general_ = new TConfigGeneralPage(prompts, pages_);
    connection_ = new TConfigConnectionPage(pages_);
    addresses_ = new TConfigAddressesPage(pages_);
    security_ = new TConfigSecurityPage(prompts, pages_);
    accepting_ = new TConfigAcceptingPage(prompts, pages_);
    logging_ = new TConfigLoggingPage(prompts, pages_);
    general_->setObjectName(QStringLiteral("GeneralPage"));
    connection_->setObjectName(QStringLiteral("ConnectionPage"));
    addresses_->setObjectName(QStringLiteral("AddressesPage"));
    security_->setObjectName(QStringLiteral("SecurityPage"));
    accepting_->setObjectName(QStringLiteral("AcceptingPage"));
    logging_->setObjectName(QStringLiteral("LoggingPage"));
    for (QWidget* page : std::initializer_list<QWidget*>{general_, connection_, addresses_,
                                                         security_, accepting_, logging_})
        pages_->addWidget(page);
}

void TConfigForm::TreeNodeChosen(QTreeWidgetItem* node)
{
    if (node == nullptr)
        return;
    const QTreeWidgetItem* parent = node->parent();
    const int position =
        parent != nullptr ? parent->indexOfChild(node) : tree_->indexOfTopLevelItem(node);
    pages_->setCurrentIndex(PageForNodePosition(position));
}

void TConfigForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    tree_->expandAll();
    tree_->setCurrentItem(tree_->topLevelItem(0)->child(0));
    tree_->setFocus();
    pages_->setCurrentIndex(pgGeneral);
}

/// Without a settings file the defaults are written at once, so the file exists even when
/// the dialog is then closed without saving.
void TConfigForm::LoadValues()
{
    bool startOnStartup = false;
    if (settings_.SettingsFileExists()) {
        loaded_ = settings_.ReadSettingsFile();
        startOnStartup = settings_.ReadStartOnStartup();
    } else {
        loaded_ = settings_.Defaults();
        try {
            settings_.WriteDefaults();
        } catch (const ESettingsWriteError& error) {
            services_.Prompts->ShowError(this, QString::fromStdString(error.what()));
        }
    }
    general_->Load(loaded_, startOnStartup);
    connection_->Load(loaded_);
    addresses_->LoadBind(loaded_.Bind);
    security_->SetSecurityOn(loaded_.SecurityOn);
    accepting_->Load(loaded_);
    logging_->Load(loaded_);
}

/// A rules file that exists but cannot be read shows as an empty list; it is then left as
/// it is on saving unless the operator enters new rules of its family, so a passing read
/// failure never deletes the operator's rules. The failure itself, and damaged IPv6 rule
/// lines, are logged where the serving copy is loaded, at start-up and again when the
/// dialog closes.
void TConfigForm::LoadRules()
{
    try {
        security_->SetRules(LoadSecurityRules(settings_.Paths().RulesFile()));
    } catch (const ESecurityRulesError&) {
        rulesUnreadable_ = true;
    }
    try {
        security_->SetIPv6Rules(LoadIPv6Rules(settings_.Paths().IPv6RulesFile()).Rules);
    } catch (const ESecurityRulesError&) {
        ipv6RulesUnreadable_ = true;
    }
    if (services_.RuleHits)
        security_->SetHitSource(services_.RuleHits);
}

TConfig TConfigForm::ValuesShown()
{
    TConfig values = loaded_;
    general_->Store(values);
    connection_->Store(values);
    values.Bind = addresses_->Bind();
    values.SecurityOn = security_->SecurityOn();
    accepting_->Store(values);
    logging_->Store(values);
    return values;
}

void TConfigForm::SaveAndClose()
{
    accepting_->RemoveTrailingSeparator();
    if (!WriteSettings(ValuesShown())) {
        reject();
        return;
    }
    if (services_.WriteAutostart(general_->StartOnStartup()) == TAutostartOutcome::Refused) {
        services_.Prompts->ShowError(this, QString::fromLatin1(kAutostartRefusedText));
        reject();
        return;
    }
    SaveRules();
    accept();
}

bool TConfigForm::WriteSettings(const TConfig& values)
{
    try {
        settings_.WriteConfigurationKeys(values, general_->StartOnStartup());
        return true;
    } catch (const ESettingsWriteError& error) {
        services_.Prompts->ShowError(this, QString::fromStdString(error.what()));
        return false;
    }
}

/// Both files are written even when one is refused, and a refusal is reported once.
void TConfigForm::SaveRules()
{
    const auto& rules = security_->Rules();
    const auto& ipv6Rules = security_->IPv6Rules();
    bool refused = false;
    const auto save = [&](bool unreadable, bool empty, const auto& write) {
        if (unreadable && empty)
            return;
        try {
            settings_.Paths().EnsureProgramFolder();
            write();
        } catch (const ESecurityRulesError&) {
            refused = true;
        }
    };
    save(rulesUnreadable_, rules.empty(),
         [&] { SaveSecurityRules(settings_.Paths().RulesFile(), rules); });
    save(ipv6RulesUnreadable_, ipv6Rules.empty(),
         [&] { SaveIPv6Rules(settings_.Paths().IPv6RulesFile(), ipv6Rules); });
    if (refused)
        services_.ReportError(kRulesSaveError);
}
