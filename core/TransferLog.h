#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/PeerInfo.h"

/// What the "Status" column of a Transfer Log row says.
enum class TTransferStatus { Starting, Percent, Received, Finished };

/// One row of the Transfer Log. Progress is kept as numbers and turned into text only
/// when a view asks, so a block costs no formatting.
struct TTransferRow {
    std::uint64_t Id = 0;
    bool IsUpload = false;
    std::string FileName;
    std::string IP;
    std::int32_t Port = 0;
    TTransferStatus Status = TTransferStatus::Starting;
    std::int64_t Position = 0;
    std::int64_t Divisor = 0;  // the size a percentage is taken of

    std::string TypeText() const { return IsUpload ? "Upload" : "Download"; }
    int Icon() const { return IsUpload ? 6 : 7; }
    std::string StatusText() const;
};

/// The progress record of one transfer, identified by its peer's address and port.
struct TTransferInfo {
    std::string IP;
    std::int32_t Port = 0;
    std::string FileName;  // as requested, at most 100 characters
    std::int64_t TotalSize = 0;
    std::int64_t BytesDone = 0;
    bool IsUpload = false;
    std::uint32_t StartTick = 0;
    std::uint32_t FinishTick = 0;  // 0 while running
};

/// One transfer's own row and record. A transfer opened with OpenTransferInfo holds its
/// record from the start and gets its row at its first report; a stream reporting by its
/// peer alone finds both the first time. Later reports and the finish use them directly.
struct TProgressCursor {
    std::shared_ptr<TTransferRow> Row;
    std::shared_ptr<TTransferInfo> Info;
};

/// Told when Transfer Log rows are added, finished or removed; progress is not pushed
/// (views read it on a timer, see ProgressVersion). Called after the lock is released,
/// from any thread; must return quickly.
class TTransferLogObserver {
public:
    virtual ~TTransferLogObserver() = default;
    virtual void TransferRowsChanged() = 0;
};

/// The milliseconds of the system's monotonic tick counter, wrapping like a 32-bit tick.
std::uint32_t CurrentTick();

/// The Transfer Log rows and the transfer records, under one lock (the transfer lock).
/// Owned by the application core; every operation is safe from any thread.
class TTransferLog {
public:
    void SetObserver(TTransferLogObserver* observer) { observer_ = observer; }

    /// The progress callback of every transfer stream, run after each block.
    void ReportProgress(TProgressCursor& cursor, const std::string& fileName, const TPeerInfo& peer,
                        std::int64_t position, std::int64_t size, bool isUpload);

    /// Removes the peer's records, then appends a fresh one and returns it as the
    /// transfer's own, with no row yet.
    TProgressCursor OpenTransferInfo(const TPeerInfo& peer, const std::string& fileName,
                                     std::uint32_t startTick, bool isUpload, std::int64_t totalSize);
    /// Removes the peer's records, then appends a fresh one.
    void StartTransferInfo(const TPeerInfo& peer, const std::string& fileName, std::uint32_t startTick,
                           bool isUpload, std::int64_t totalSize);
    std::optional<std::size_t> FindTransferInfo(const TPeerInfo& peer) const;
    std::optional<TTransferInfo> TransferInfo(const TPeerInfo& peer) const;
    void FinishTransferInfo(const TPeerInfo& peer, std::uint32_t tick);
    void DropTransferInfo(const TPeerInfo& peer);
    /// Drops the record of a transfer that was refused.
    void DropTransferInfo(const TProgressCursor& transfer);
    /// The record of the row's peer (address and port), or none.
    std::optional<TTransferInfo> TransferInfoForRow(const TTransferRow& row) const;
    std::size_t TransferInfoCount() const;

    /// Ends a transfer's row: "Finished", then removed (and the record finished when
    /// the transfer window shows it, else dropped) with `removeRow`, or kept with its
    /// record finished. Without a row the record is dropped.
    void FinishTransfer(const TPeerInfo& peer, bool removeRow, std::uint32_t tick);
    /// The same for the row and record of one transfer.
    void FinishTransfer(const TProgressCursor& transfer, bool removeRow, std::uint32_t tick);

    /// Whether the transfer window is showing; it keeps finished records readable. When
    /// it closes, the finished records whose rows are gone are dropped, so transfers that
    /// ended while it was open leave nothing behind.
    void SetTransferWindowOpen(bool open);

    std::vector<TTransferRow> Rows() const;
    std::optional<TTransferRow> Row(std::uint64_t id) const;
    /// Grows with every progress report; a view repaints when it has moved.
    std::uint64_t ProgressVersion() const { return progressVersion_.load(std::memory_order_relaxed); }

private:
    using TRowPtr = std::shared_ptr<TTransferRow>;
    using TInfoPtr = std::shared_ptr<TTransferInfo>;
    /// A row with the record it shows; the record may be gone (null).
    struct TRowSlot {
        TRowPtr Row;
        TInfoPtr Info;
    };

    TRowSlot& AddRowLocked(const std::string& fileName, const TPeerInfo& peer, bool isUpload, TInfoPtr info);
    void FinishRowLocked(std::vector<TRowSlot>::iterator slot, bool removeRow, std::uint32_t tick);
    bool LocateLocked(TProgressCursor& cursor, const std::string& fileName, const TPeerInfo& peer,
                      bool isUpload);
    void UpdateLocked(TProgressCursor& cursor, const TPeerInfo& peer, std::int64_t position,
                      std::int64_t size, bool isUpload);
    TInfoPtr FindInfoLocked(const TPeerInfo& peer) const;
    void DropInfoLocked(const TPeerInfo& peer);
    void Notify() const;

    TTransferLogObserver* observer_ = nullptr;
    std::atomic<bool> transferWindowOpen_{false};
    std::atomic<std::uint64_t> progressVersion_{0};

    mutable std::mutex transferLock_;  // guards rows_, infos_ and nextRowId_
    std::vector<TRowSlot> rows_;
    std::vector<TInfoPtr> infos_;
    std::uint64_t nextRowId_ = 1;
};
