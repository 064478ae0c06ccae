#include "core/ProgressFileStream.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/NetException.h"

namespace {

/// ".vlt-XXXXXX" beside `path`: hidden, so folder listings pass it over, and of one
/// length whatever the name, so every name the file system takes can be uploaded.
std::string TemporaryPattern(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return folder + ".vlt-XXXXXX";
}

/// Makes a rename in the folder of `path` lasting. Best effort: the file itself is
/// already synced and in place.
void SyncFolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
    const TUniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid())
        ::fsync(fd.Get());
}

}  // namespace

TProgressFileStream::TProgressFileStream(TUniqueFd fd, std::string openedPath, std::string fileName,
                                         TProgressCallback callback, const TPeerInfo& peer,
                                         TTransferDirection direction, TUploadTerms terms)
    : TFileStream(std::move(fd), std::move(openedPath)), fileName_(std::move(fileName)),
      callback_(std::move(callback)), peer_(peer), direction_(direction), terms_(terms)
{
    if (direction_ == tdDownload)
        openedSize_ = TFileStream::Size();
}

TProgressFileStream::~TProgressFileStream()
{
    if (direction_ == tdUpload && !committed_)
        ::unlink(Path().c_str());
}

std::unique_ptr<TProgressFileStream> TProgressFileStream::CreateForUpload(const std::string& path,
                                                                          TProgressCallback callback,
                                                                          const TPeerInfo& peer,
                                                                          TUploadTerms terms)
{
    std::string temporary = TemporaryPattern(path);
    TUniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.Valid())
        throw EFCreateError(FormatText("Cannot create file \"%s\". %s", path.c_str(), std::strerror(errno)));
    ::fchmod(fd.Get(), 0644);
    try {
        return std::make_unique<TProgressFileStream>(std::move(fd), temporary, path, std::move(callback), peer,
                                                     tdUpload, terms);
    } catch (...) {
        // The stream that would remove the temporary file was never made.
        ::unlink(temporary.c_str());
        throw;
    }
}

std::size_t TProgressFileStream::Read(void* buffer, std::size_t count)
{
    const std::size_t done = TFileStream::Read(buffer, count);
    Report();
    return done;
}

std::size_t TProgressFileStream::ReadScattered(std::span<const std::span<char>> buffers)
{
    const std::size_t done = TFileStream::ReadScattered(buffers);
    Report();
    return done;
}

void TProgressFileStream::Write(const void* buffer, std::size_t count)
{
    TFileStream::Write(buffer, count);
    Report();
}

std::int64_t TProgressFileStream::Size() const
{
    // A file being written is as long as what has been written to it.
    return std::max(openedSize_, Position());
}

void TProgressFileStream::Commit(TTransferMode mode)
{
    if (direction_ != tdUpload || committed_)
        return;
    TFileStream::Commit(mode);
    // A client that announced its size (RFC 2349) and sent another amount has lost track
    // of its own blocks: what arrived is not its file. In netascii the announced size is
    // that of the sender's file, whose line ends differ from the ones sent.
    if (mode == tmOctet && terms_.AnnouncedSize > 0 && Position() != terms_.AnnouncedSize)
        throw ENetException(FormatText("Size mismatch: %lld bytes received, %lld announced",
                                       static_cast<long long>(Position()),
                                       static_cast<long long>(terms_.AnnouncedSize)));
    // RENAME_NOREPLACE also keeps a symbolic link of that name, even a dangling one.
    const unsigned flags = terms_.Replace ? 0 : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, Path().c_str(), AT_FDCWD, fileName_.c_str(), flags) != 0) {
        const int error = errno;
        if (error == EEXIST)
            throw ETFTPFileAlreadyExists(std::strerror(error));
        throw ENetException(FormatText("Cannot create file \"%s\". %s", fileName_.c_str(), std::strerror(error)));
    }
    committed_ = true;
    SyncFolderOf(fileName_);
}

void TProgressFileStream::OutcomeKnown(TTransferOutcome outcome) noexcept
{
    if (transfer_)
        transfer_->OutcomeKnown(outcome);
}

void TProgressFileStream::Report()
{
    if (callback_)
        callback_(transfer_ ? transfer_->Record() : cursor_, fileName_, peer_, Position(), Size(), direction_);
}

std::unique_ptr<TTransfer> TakeTransfer(TStream* stream)
{
    auto* ours = dynamic_cast<TProgressFileStream*>(stream);
    return ours != nullptr ? ours->TakeTransfer() : nullptr;
}
