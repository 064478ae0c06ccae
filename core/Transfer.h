#pragma once

#include <atomic>
#include <string>

#include "core/ServerState.h"
#include "core/TransferLog.h"
#include "engine/PeerInfo.h"
#include "engine/TransferOutcome.h"
#include "log/ActivityEntry.h"

/// Transfer direction as progress reports carry it.
enum TTransferDirection : std::int32_t { tdDownload = 0, tdUpload = 1 };

/// One granted transfer, from its grant to the report of its outcome: its place under
/// the connection limit, its activity entry, its Transfer Log row and record, its
/// direction and name. Made by the read or write handler on the listener thread,
/// carried by the session inside the transfer's stream, and handed back with the stream
/// to the completion handler on the main thread, which finishes exactly this entry and
/// this row. OutcomeKnown is called on the session's thread while the session holds it;
/// everything else belongs to whoever holds the transfer.
class TTransfer {
public:
    TTransfer(TConnectionPlace place, TTransferDirection direction, std::string fileName,
              TProgressCursor record);
    TTransfer(const TTransfer&) = delete;
    TTransfer& operator=(const TTransfer&) = delete;

    /// Records the outcome and gives the place back at once, so the client's next
    /// request is not refused while the report waits for the main thread.
    void OutcomeKnown(TTransferOutcome outcome) noexcept;
    /// Failed until the session says otherwise.
    TTransferOutcome Outcome() const { return outcome_; }
    /// Gives the place back without an outcome (a session that never started); once.
    void GiveBackPlace() noexcept { place_.Release(); }

    bool IsUpload() const { return direction_ == tdUpload; }
    /// The file the transfer is about: the served file, or the upload's destination.
    const std::string& FileName() const { return fileName_; }
    /// The row and record in the Transfer Log; progress reports fill them in.
    TProgressCursor& Record() { return record_; }

    /// The activity entry its completion finishes; set once the entry is made.
    TActivityEntryId Entry() const { return entry_; }
    void SetEntry(TActivityEntryId entry) { entry_ = entry; }
    /// Whether a successful download counts an access on a listed file (files of the
    /// boot tree have no access count).
    bool Listed() const { return listed_; }
    void SetListed(bool listed) { listed_ = listed; }

private:
    TConnectionPlace place_;
    std::atomic<TTransferOutcome> outcome_{TTransferOutcome::Failed};
    const TTransferDirection direction_;
    const std::string fileName_;
    TProgressCursor record_;
    TActivityEntryId entry_{};
    bool listed_ = false;
};
