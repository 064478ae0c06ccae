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
TUniqueFd OpenRegularFile(const std::string& path, TOutputFile::TMode mode)
{
    TUniqueFd fd(::open(path.c_str(), OpenFlags(mode), 0666));
    struct stat status {};
    const bool usable = fd.Valid() && ::fstat(fd.Get(), &status) == 0 && S_ISREG(status.st_mode) &&
                        (mode == TOutputFile::TMode::Append || ::ftruncate(fd.Get(), 0) == 0);
    return usable ? std::move(fd) : TUniqueFd();
}

}  // namespace

TOutputFile::TOutputFile(const std::string& path, TMode mode) : fd_(OpenRegularFile(path, mode)) {}

bool TOutputFile::Write(std::string_view data)
{
    if (!fd_.Valid())
        return false;
    while (!data.empty()) {
        const ssize_t written = ::write(fd_.Get(), data.data(), data.size());
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
    if (!fd_.Valid() || ::fstat(fd_.Get(), &status) != 0)
        return -1;
    return static_cast<std::int64_t>(status.st_size);
}

bool TOutputFile::Close()
{
    // The descriptor is gone after close() whatever it returns, so it is never retried.
    return fd_.Close() == 0;
}
