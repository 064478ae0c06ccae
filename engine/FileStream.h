#pragma once

#include <string>

#include "engine/Stream.h"
#include "fileio/UniqueFd.h"

/// A stream over one open file descriptor, owned and closed by the stream.
/// Used by one thread at a time.
class TFileStream : public TStream {
public:
    /// Opens an existing file read-only; raises EFOpenError.
    static TFileStream OpenForRead(const std::string& path);
    /// The descriptor OpenForRead takes, for a stream of another kind; raises as it does.
    static TUniqueFd OpenReadable(const std::string& path);
    /// Creates the file, or empties an existing one, and holds an exclusive advisory lock
    /// on it so no other writer of ours shares it; raises EFCreateError.
    static TFileStream CreateForWrite(const std::string& path);

    /// Takes the open descriptor `fd` of the file at `path`.
    TFileStream(TUniqueFd fd, std::string path);
    TFileStream(TFileStream&& other) noexcept = default;
    TFileStream& operator=(TFileStream&&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    /// One readv for up to 64 buffers.
    std::size_t ReadScattered(std::span<const std::span<char>> buffers) override;
    void Write(const void* buffer, std::size_t count) override;
    std::int64_t Position() const override { return position_; }
    std::int64_t Size() const override;
    /// Flushes the written bytes to the disk; raises EStreamWriteError.
    void Commit(TTransferMode mode) override;
    const std::string& Path() const { return path_; }

private:
    TUniqueFd fd_;
    std::string path_;
    std::int64_t position_ = 0;
};
