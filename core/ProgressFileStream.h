#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/Transfer.h"
#include "core/TransferLog.h"
#include "engine/FileStream.h"
#include "engine/PeerInfo.h"
#include "fileio/UniqueFd.h"

/// What an upload must meet to be stored.
struct TUploadTerms {
    bool Replace = false;             ///< a file of that name may be replaced
    std::int64_t AnnouncedSize = 0;   ///< the client's tsize (RFC 2349); 0 or less: none
};

/// Called after every read and write of a progress stream, on the session's thread.
using TProgressCallback =
    std::function<void(TProgressCursor& cursor, const std::string& fileName, const TPeerInfo& peer,
                       std::int64_t position, std::int64_t size, TTransferDirection direction)>;

/// A file stream that reports its position after every read and write, so the Transfer
/// Log can follow the transfer. Owned by the transfer's session, then by completion. It
/// carries the transfer it serves (see TTransfer), tells it the outcome the session
/// reports, and hands it back to the completion handler.
///
/// An upload is written into a hidden temporary file beside its destination and only
/// renamed onto the destination by Commit() when its terms are met, so an existing file
/// is never emptied by an upload that then fails; an upload stream destroyed without a
/// successful Commit() removes its temporary file.
class TProgressFileStream : public TFileStream {
public:
    /// Creates the temporary file of an upload to `path`; raises EFCreateError.
    static std::unique_ptr<TProgressFileStream> CreateForUpload(const std::string& path,
                                                                TProgressCallback callback,
                                                                const TPeerInfo& peer,
                                                                TUploadTerms terms);
    /// Takes an open descriptor: `openedPath` is the file it is open on, `fileName` the
    /// file the transfer is about. An upload is made by CreateForUpload.
    TProgressFileStream(TUniqueFd fd, std::string openedPath, std::string fileName,
                        TProgressCallback callback, const TPeerInfo& peer,
                        TTransferDirection direction, TUploadTerms terms = {});
    ~TProgressFileStream() override;

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t ReadScattered(std::span<const std::span<char>> buffers) override;
    void Write(const void* buffer, std::size_t count) override;
    std::int64_t Size() const override;

    /// The file the transfer is about: the served file, or the upload's destination.
    const std::string& FileName() const { return fileName_; }
    /// Carries `transfer` from now on: progress goes to its row and record, and the
    /// session's outcome to it. Before the session starts.
    void AttachTransfer(std::unique_ptr<TTransfer> transfer) { transfer_ = std::move(transfer); }
    /// Hands the transfer back (at completion); none when the stream carries none.
    std::unique_ptr<TTransfer> TakeTransfer() { return std::move(transfer_); }
    void OutcomeKnown(TTransferOutcome outcome) noexcept override;
    /// Syncs a completed upload, checks it against its terms and renames it into place.
    /// Raises ENetException when the size differs from the one announced in octet
    /// mode, ETFTPFileAlreadyExists when the name is taken and may not be replaced,
    /// EStreamWriteError when the bytes cannot be synced. Nothing for a download.
    void Commit(TTransferMode mode) override;

private:
    void Report();

    std::string fileName_;
    TProgressCallback callback_;
    TPeerInfo peer_;
    TTransferDirection direction_;
    TUploadTerms terms_;
    // A download's size is read once at the start, so a block costs no extra system call.
    std::int64_t openedSize_ = 0;
    bool committed_ = false;
    TProgressCursor cursor_;
    std::unique_ptr<TTransfer> transfer_;
};

/// The transfer a stream handed back by a session carries, if it is one of ours.
std::unique_ptr<TTransfer> TakeTransfer(TStream* stream);
