#pragma once

#include <functional>

#include <QObject>

#include "security/RuleHits.h"

class QListWidget;
class QTimer;
class QWidget;
class TSecurityRuleRows;

/// The Security page's "Hits" column: its header, and each row's count drawn at the right
/// edge of the rules list, asked from the serving rules every second. Counts are matched
/// to rows by the peers a rule names, so they follow a rule that was moved or given other
/// rights; a rule added since the last save has none. Owned by the page; GUI thread only.
class TRuleHitsColumn final : public QObject {
public:
    TRuleHitsColumn(QListWidget& list, const TSecurityRuleRows& rows, QWidget& page);

    /// "Rule" and "Hits" above the list.
    QWidget* Header() const { return header_; }

    /// Where the counts come from; asked now and every second from then on.
    void SetSource(std::function<TRuleHitCounts()> source);
    /// Puts the last counts on the rows the list shows now.
    void Show();

private:
    void Refresh();

    QListWidget& list_;
    const TSecurityRuleRows& rows_;
    QWidget* header_;
    QTimer* timer_;
    std::function<TRuleHitCounts()> source_;
    TRuleHitCounts hits_;
};
