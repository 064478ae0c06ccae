#include "ui/config/RuleHitsColumn.h"

#include <utility>

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include "ui/config/RuleHitsDelegate.h"
#include "ui/config/SecurityRuleRows.h"

TRuleHitsColumn::TRuleHitsColumn(QListWidget& list, const TSecurityRuleRows& rows, QWidget& page)
    : QObject(&page), list_(list), rows_(rows), header_(new QWidget(&page)), timer_(new QTimer(this))
{
    list_.setItemDelegate(new TRuleHitsDelegate(&list_));
    auto* rule = new QLabel(QStringLiteral("Rule"), header_);
    auto* hits = new QLabel(QStringLiteral("Hits"), header_);
    hits->setObjectName(QStringLiteral("HitsHeader"));
    hits->setToolTip(QStringLiteral("Requests each rule decided since the server started."));
    auto* layout = new QHBoxLayout(header_);
    layout->setContentsMargins(4, 0, 8, 2);
    layout->addWidget(rule, 1);
    layout->addWidget(hits);
    connect(timer_, &QTimer::timeout, this, &TRuleHitsColumn::Refresh);
}

void TRuleHitsColumn::SetSource(std::function<TRuleHitCounts()> source)
{
    source_ = std::move(source);
    Refresh();
    timer_->start(1000);
}

void TRuleHitsColumn::Refresh()
{
    if (source_)
        hits_ = source_();
    Show();
}

void TRuleHitsColumn::Show()
{
    auto counts = HitsOf(rows_.Rules(), hits_.Rules, hits_.Hits);
    const auto ipv6Counts = HitsOf(rows_.IPv6Rules(), hits_.IPv6Rules, hits_.IPv6Hits);
    counts.insert(counts.end(), ipv6Counts.begin(), ipv6Counts.end());
    for (int row = 0; row < list_.count() && row < static_cast<int>(counts.size()); ++row) {
        const auto& count = counts[static_cast<std::size_t>(row)];
        list_.item(row)->setData(TRuleHitsDelegate::kHitsRole,
                                 count ? QVariant(static_cast<qulonglong>(*count)) : QVariant());
    }
}
