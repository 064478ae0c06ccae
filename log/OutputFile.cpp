#include "log/OutputFile.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// O_NONBLOCK keeps a FIFO without a reader (or a device) from stalling the caller in
// open(); such files are refused below anyway. It changes nothing for regular files.
int OpenFlags(TOutputFile::TMode mode)
{
    const int common = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK;
    return mode == TOutputFile::TMode::Append ? common | O_APPEND : common;
}

// Only a regular file is written: a FIFO or a device could block every later write.
// Emptying waits until then, so nothing but a regular file is ever truncated.
int OpenRegularFile(const std::string& path, TOutputFile::TMode mode)
{
    const int fd = ::open(path.c_str(), OpenFlags(mode), 0666);
    if (fd < 0)
        return -1;
    struct stat status {};
    const bool usable = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                        (mode == TOutputFile::TMode::Append || ::ftruncate(fd, 0) == 0);
    if (usable)
        return fd;
    ::close(fd);
    return -1;
}

}  // namespace

TOutputFile::TOutputFile(const std::string& path, TMode mode) : fd_(OpenRegularFile(path, mode)) {}

TOutputFile::TOutputFile(TOutputFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TOutputFile& TOutputFile::operator=(TOutputFile&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

TOutputFile::~TOutputFile()
{
    Close();
}

bool TOutputFile::Write(std::string_view data)
{
    if (fd_ < 0)
        return false;
    while (!data.empty()) {
        const ssize_t written = ::write(fd_, data.data(), data.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::int64_t TOutputFile::Size() const
{
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0)
        return -1;
    return static_cast<std::int64_t>(status.st_size);
}

bool TOutputFile::Close()
{
    if (fd_ < 0)
        return false;
    // The descriptor is gone after close() whatever it returns, so it is never retried.
    return ::close(std::exchange(fd_, -1)) == 0;
}
