#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "core/Config.h"
#include "security/RuleHits.h"
#include "ui/config/AutostartEntry.h"
#include "ui/config/LocalAddresses.h"
#include "ui/Prompts.h"

class QPushButton;
class QShowEvent;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TConfigAcceptingPage;
class TConfigAddressesPage;
class TConfigConnectionPage;
class TConfigGeneralPage;
class TConfigLoggingPage;
class TConfigSecurityPage;
class TSettingsStore;

/// What the configuration dialog needs from outside the settings store; the defaults are
/// the real ones, and tests replace them.
struct TConfigServices {
    TPrompts* Prompts = &StandardPrompts();
    std::function<std::vector<std::string>()> LocalAddresses = LocalIPAddresses;
    std::function<TAutostartOutcome(bool enabled)> WriteAutostart =
        [](bool enabled) { return WriteAutostartEntry(enabled); };
    /// Logs an "Application: " failure in the activity log (a rules file that cannot be
    /// written).
    std::function<void(const std::string&)> ReportError = [](const std::string&) {};
    /// The serving rules' hit counts for the Security page; unset, the page shows none.
    std::function<TRuleHitCounts()> RuleHits;
};

/// "Configuration": the one dialog in which the operator changes settings, the bind list,
/// the autostart entry and the security rules. It reads everything from the settings and
/// rules files when made, and writes them back only on "Save && Close". Created for one
/// showing by ShowConfiguration; GUI thread only.
class TConfigForm : public QDialog {
    Q_OBJECT

public:
    /// Page indexes of the page control, in its own order.
    enum TPage { pgGeneral, pgConnection, pgAddresses, pgSecurity, pgAccepting, pgLogging };

    TConfigForm(TSettingsStore& settings, TConfigServices services, QWidget* parent = nullptr);
    ~TConfigForm() override;

    /// The page a tree node at `position` among its siblings shows.
    static TPage PageForNodePosition(int position);

public slots:
    /// "Save && Close": writes the settings, the autostart entry and the rules, in that
    /// order; a refused step is shown, skips the rest and closes.
    void SaveAndClose();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildTree();
    void BuildPages();
    void TreeNodeChosen(QTreeWidgetItem* node);
    void LoadValues();
    void LoadRules();
    TConfig ValuesShown();
    bool WriteSettings(const TConfig& values);
    void SaveRules();

    TSettingsStore& settings_;
    TConfigServices services_;
    TConfig loaded_;
    bool rulesUnreadable_ = false;
    bool ipv6RulesUnreadable_ = false;
    bool shownOnce_ = false;

    QTreeWidget* tree_;
    QStackedWidget* pages_;
    TConfigGeneralPage* general_ = nullptr;
    TConfigConnectionPage* connection_ = nullptr;
    TConfigAddressesPage* addresses_ = nullptr;
    TConfigSecurityPage* security_ = nullptr;
    TConfigAcceptingPage* accepting_ = nullptr;
    TConfigLoggingPage* logging_ = nullptr;
};
