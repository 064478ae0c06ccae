#include "ui/config/ConfigConnectionPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/SettingsStore.h"
#include "ui/config/ConfigWidgets.h"

namespace {

/// One row of the page: a caption, the number field and the text after it.
void AddNumberRow(QGridLayout* grid, const QString& caption, QSpinBox* field, const QString& after)
{
    const int row = grid->rowCount();
    auto* parent = field->parentWidget();
    grid->addWidget(new QLabel(caption, parent), row, 0);
    grid->addWidget(field, row, 1);
    grid->addWidget(new QLabel(after, parent), row, 2);
}

/// The transfer port range: "from" field in the number column, "to" and its field after it.
void AddPortRangeRow(QGridLayout* grid, QSpinBox* low, QSpinBox* high)
{
    const int row = grid->rowCount();
    auto* parent = low->parentWidget();
    grid->addWidget(new QLabel(QStringLiteral("Transfer ports from:"), parent), row, 0);
    grid->addWidget(low, row, 1);
    auto* to = new QHBoxLayout;
    to->addWidget(new QLabel(QStringLiteral("to:"), parent));
    to->addWidget(high);
    to->addStretch();
    grid->addLayout(to, row, 2);
}

}  // namespace

TConfigConnectionPage::TConfigConnectionPage(QWidget* parent)
    : QWidget(parent),
      maxDownloads_(NewSpinBox(this, QStringLiteral("MaxDLConnEdit"), 1, 9999)),
      maxUploads_(NewSpinBox(this, QStringLiteral("MaxULConnEdit"), 1, 9999)),
      port_(NewSpinBox(this, QStringLiteral("PortEdit"), 0, 65000,
                       QStringLiteral("Select a port number to use."))),
      bufferSize_(NewSpinBox(this, QStringLiteral("BufferSizeEdit"), 100, 99999,
                             QStringLiteral("Select a receive buffer size to use."))),
      timeout_(NewSpinBox(this, QStringLiteral("TimeoutEdit"), 1, 60,
                          QStringLiteral("Select a timeout period."))),
      maxWindowSize_(NewSpinBox(this, QStringLiteral("MaxWindowSizeEdit"), 1, MaxWindowSizeSetting,
                                QStringLiteral("Most blocks sent before waiting for an acknowledgement "
                                               "(RFC 7440); 1 turns windows off"))),
      portRangeLow_(NewSpinBox(this, QStringLiteral("PortRangeLowEdit"), 0, 65535)),
      portRangeHigh_(NewSpinBox(this, QStringLiteral("PortRangeHighEdit"), 0, 65535)),
      removeTransfers_(NewCheckBox(
          this, QStringLiteral("RMTransferBox"),
          QStringLiteral("Remove completed file transfers from the Transfer Log."))),
      tsize_(NewCheckBox(this, QStringLiteral("TSizeBox"),
                         QStringLiteral("Respond to TSIZE requests."))),
      clientTimeout_(NewCheckBox(this, QStringLiteral("ClientTimeoutBox"),
                                 QStringLiteral("Accept client TIMEOUT values.")))
{
    auto* limits = new QGridLayout;
    AddNumberRow(limits, QStringLiteral("Downloads:"), maxDownloads_, QStringLiteral("(1-9999)"));
    AddNumberRow(limits, QStringLiteral("Uploads:"), maxUploads_, QStringLiteral("(1-9999)"));
    auto* tftp = new QGridLayout;
    AddNumberRow(tftp, QStringLiteral("UDP connection port:"), port_,
                 QStringLiteral("(TFTP default = 69)"));
    AddNumberRow(tftp, QStringLiteral("Buffer Size:"), bufferSize_, QStringLiteral("Bytes"));
    AddNumberRow(tftp, QStringLiteral("Timeout:"), timeout_, QStringLiteral("Seconds"));
    AddNumberRow(tftp, QStringLiteral("Maximum window size (blocks):"), maxWindowSize_, QString());
    AddPortRangeRow(tftp, portRangeLow_, portRangeHigh_);

    auto* group = new QGroupBox(QStringLiteral("Connection Settings"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(new QLabel(QStringLiteral("Restrict simultaneous connections to:"), group));
    groupLayout->addLayout(limits);
    groupLayout->addWidget(new QLabel(QStringLiteral("TFTP settings"), group));
    groupLayout->addLayout(tftp);
    groupLayout->addWidget(new QLabel(QStringLiteral("Transfers"), group));
    groupLayout->addWidget(removeTransfers_);
    groupLayout->addWidget(tsize_);
    groupLayout->addWidget(clientTimeout_);
    groupLayout->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);

    Load(TConfig{});
}

void TConfigConnectionPage::Load(const TConfig& config)
{
    maxDownloads_->setValue(config.MaxDLConn);
    maxUploads_->setValue(config.MaxULConn);
    port_->setValue(config.Port);
    bufferSize_->setValue(config.BufferSize);
    timeout_->setValue(config.Timeout);
    maxWindowSize_->setValue(config.MaxWindowSize);
    portRangeLow_->setValue(config.PortRangeLow);
    portRangeHigh_->setValue(config.PortRangeHigh);
    removeTransfers_->setChecked(config.RMTransfer);
    tsize_->setChecked(config.TSize);
    clientTimeout_->setChecked(config.ClientTimeout);
}

void TConfigConnectionPage::Store(TConfig& config) const
{
    config.MaxDLConn = maxDownloads_->value();
    config.MaxULConn = maxUploads_->value();
    config.Port = port_->value();
    config.BufferSize = bufferSize_->value();
    config.Timeout = timeout_->value();
    config.MaxWindowSize = maxWindowSize_->value();
    config.PortRangeLow = portRangeLow_->value();
    config.PortRangeHigh = portRangeHigh_->value();
    config.RMTransfer = removeTransfers_->isChecked();
    config.TSize = tsize_->isChecked();
    config.ClientTimeout = clientTimeout_->isChecked();
}
