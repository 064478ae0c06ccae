#pragma once

#include <QWidget>

#include "core/Config.h"

class QCheckBox;
class QSpinBox;

/// The "Connection" page of the configuration dialog: connection limits, the TFTP port,
/// buffer, timeout, window size and transfer ports, and the transfer switches. Every control is always enabled. GUI
/// thread only.
class TConfigConnectionPage : public QWidget {
    Q_OBJECT

public:
    explicit TConfigConnectionPage(QWidget* parent = nullptr);

    void Load(const TConfig& config);
    void Store(TConfig& config) const;

private:
    QSpinBox* maxDownloads_;
    QSpinBox* maxUploads_;
    QSpinBox* port_;
    QSpinBox* bufferSize_;
    QSpinBox* timeout_;
    QSpinBox* maxWindowSize_;
    QSpinBox* portRangeLow_;
    QSpinBox* portRangeHigh_;
    QCheckBox* removeTransfers_;
    QCheckBox* tsize_;
    QCheckBox* clientTimeout_;
};
