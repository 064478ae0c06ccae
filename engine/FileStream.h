#pragma once

#include <string>

#include "engine/Stream.h"

/// A stream over one open file descriptor, owned and closed by the stream.
/// Used by one thread at a time.
class TFileStream : public TStream {
public:
    /// Opens an existing file read-only; raises EFOpenError.
    static TFileStream OpenForRead(const std::string& path);
    /// Creates the file, or empties an existing one, and holds an exclusive advisory lock
    /// on it so no other writer of ours shares it; raises EFCreateError.
    static TFileStream CreateForWrite(const std::string& path);

    TFileStream(TFileStream&& other) noexcept;
    TFileStream& operator=(TFileStream&&) = delete;
    TFileStream(const TFileStream&) = delete;
    ~TFileStream() override;

    std::size_t Read(void* buffer, std::size_t count) override;
    /// One readv for up to 64 buffers.
    std::size_t ReadScattered(std::span<const std::span<char>> buffers) override;
    void Write(const void* buffer, std::size_t count) override;
    std::int64_t Position() const override { return position_; }
    std::int64_t Size() const override;
    /// Flushes the written bytes to the disk; raises EStreamWriteError.
    void Commit(TTransferMode mode) override;
    const std::string& Path() const { return path_; }
    /// Gives up the descriptor to a new owner; the stream is closed afterwards.
    int ReleaseHandle();

protected:
    TFileStream(int fd, std::string path);

private:
    int fd_ = -1;
    std::string path_;
    std::int64_t position_ = 0;
};
