#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QDialog>
#include <QTimer>

#include "core/TransferLog.h"

class QLabel;
class QProgressBar;
class QPushButton;
class TAnimate;
class TElidedLabel;

/// "Transmission Details": one transfer of the Transfer Log followed in detail, updated
/// once a second while it runs and summed up once it has ended. It reads the transfer's
/// record from the Transfer Log (copies taken under the log's lock) and never closes by
/// itself. It is at least 440 x 250 and grows for larger fonts and longer texts. Created
/// for one modal showing; GUI thread only.
class TTransferWindowForm final : public QDialog {
public:
    using TTickSource = std::function<std::uint32_t()>;

    static constexpr int kLeastWidth = 440;
    static constexpr int kLeastHeight = 250;
    static constexpr int kFirstTickMs = 10;
    static constexpr int kTickMs = 1000;

    /// `record` names the peer whose record the window shows; none leaves the initial texts.
    TTransferWindowForm(TTransferLog& log, std::optional<TPeerInfo> record, QWidget* parent = nullptr,
                        TTickSource tick = CurrentTick);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void BuildLayout();
    void FitContent();
    std::optional<TTransferInfo> Record() const;
    void Fill(const TTransferInfo& info);
    void FillFinished(const TTransferInfo& info);
    void TimerTick();
    void SetProgress(std::int64_t total, std::int64_t done);

    TTransferLog& log_;
    std::optional<TPeerInfo> record_;
    TTickSource tick_;
    std::int64_t bytesBefore_ = 0;
    std::uint32_t tickBefore_ = 0;
    bool shown_ = false;

    QTimer timer_;
    TAnimate* animate_;
    QLabel* doneImage_;
    QLabel* doneLabel_;
    QLabel* typeLabel_;
    TElidedLabel* destLabel_;
    QProgressBar* progressBar_;
    QLabel* type1Label_;
    QLabel* timeLeftLabel_;
    QLabel* rateHeaderLabel_;
    QLabel* rateLabel_;
    QPushButton* closeButton_;
};

/// Opens the transfer window for a Transfer Log row and waits until the operator closes
/// it. While it is open the log keeps the records of finished transfers; afterwards the
/// row's record is dropped when the row has gone meanwhile. Only one window at a time.
void ShowTransferDetails(QWidget* parent, TTransferLog& log, const TTransferRow& row);
