#include "engine/FileStream.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "engine/NetException.h"

TFileStream::TFileStream(TUniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

TUniqueFd TFileStream::OpenReadable(const std::string& path)
{
    TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (fd.Valid() && ::fstat(fd.Get(), &info) == 0 && S_ISDIR(info.st_mode))
        errno = EISDIR;
    else if (fd.Valid())
        return fd;
    throw EFOpenError(FormatText("Cannot open file \"%s\". %s", path.c_str(), std::strerror(errno)));
}

TFileStream TFileStream::OpenForRead(const std::string& path)
{
    return TFileStream(OpenReadable(path), path);
}

TFileStream TFileStream::CreateForWrite(const std::string& path)
{
    TUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    if (fd.Valid() && ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0 && ::ftruncate(fd.Get(), 0) == 0)
        return TFileStream(std::move(fd), path);
    throw EFCreateError(FormatText("Cannot create file \"%s\". %s", path.c_str(), std::strerror(errno)));
}

std::size_t TFileStream::Read(void* buffer, std::size_t count)
{
    for (;;) {
        const ssize_t done = ::read(fd_.Get(), buffer, count);
        if (done >= 0) {
            position_ += done;
            return static_cast<std::size_t>(done);
        }
        if (errno != EINTR)
            throw EStreamReadFailure(std::strerror(errno));
    }
}

std::size_t TFileStream::ReadScattered(std::span<const std::span<char>> buffers)
{
    // A window of blocks is read in one call rather than one call a block.
    constexpr std::size_t kMaxParts = 64;
    std::array<iovec, kMaxParts> parts{};
    std::size_t total = 0;
    while (!buffers.empty()) {
        const std::size_t count = std::min(buffers.size(), kMaxParts);
        std::size_t asked = 0;
        for (std::size_t i = 0; i < count; ++i) {
            parts[i] = {buffers[i].data(), buffers[i].size()};
            asked += buffers[i].size();
        }
        ssize_t done = 0;
        do {
            done = ::readv(fd_.Get(), parts.data(), static_cast<int>(count));
        } while (done < 0 && errno == EINTR);
        if (done < 0)
            throw EStreamReadFailure(std::strerror(errno));
        position_ += done;
        total += static_cast<std::size_t>(done);
        if (static_cast<std::size_t>(done) < asked)
            break;
        buffers = buffers.subspan(count);
    }
    return total;
}

void TFileStream::Write(const void* buffer, std::size_t count)
{
    const char* bytes = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t done = ::write(fd_.Get(), bytes, count);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            throw EStreamWriteError(std::strerror(done < 0 ? errno : ENOSPC));
        bytes += done;
        count -= static_cast<std::size_t>(done);
        position_ += done;
    }
}

void TFileStream::Commit(TTransferMode /*mode: the bytes are kept as they came*/)
{
    if (::fsync(fd_.Get()) != 0)
        throw EStreamWriteError(std::strerror(errno));
}

std::int64_t TFileStream::Size() const
{
    struct stat info {};
    return ::fstat(fd_.Get(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
}
