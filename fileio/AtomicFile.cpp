#include "fileio/AtomicFile.h"

#include <cerrno>
#include <optional>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fileio/UniqueFd.h"

namespace {


[[noreturn]] void ThrowErrno(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

bool IsMissing(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

bool ReadAll(int fd, std::size_t maxBytes, std::string& bytes)
{
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (bytes.size() + static_cast<std::size_t>(got) > maxBytes)
            return false;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

void WriteAll(int fd, std::string_view bytes, const std::string& what)
{
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            ThrowErrno(what);
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

/// The file that is really replaced: the target of a symbolic link, so that the link the
/// operator made stays a link.
std::filesystem::path ReplacedFile(const std::filesystem::path& file)
{
    std::error_code error;
    if (!std::filesystem::is_symlink(file, error))
        return file;
    auto target = std::filesystem::weakly_canonical(file, error);
    return error ? file : target;
}

/// The permission bits a replaced file keeps; none for a new file, which gets the usual
/// 0666 less the umask. Anything but a regular file (a FIFO, a device, a folder) is
/// refused: replacing it would silently turn it into a plain file.
std::optional<mode_t> KeptMode(const std::filesystem::path& file)
{
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return std::nullopt;
    if (!S_ISREG(info.st_mode))
        throw std::system_error(EINVAL, std::generic_category(), file.string() + " is not a regular file");
    return info.st_mode & 07777;
}

/// Makes the rename itself durable; a folder that cannot be flushed loses nothing but that.
void FlushFolder(const std::filesystem::path& folder)
{
    const std::string name = folder.empty() ? std::string(".") : folder.string();
    TUniqueFd dir(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid())
        ::fsync(dir.Get());
}

void WriteTempFile(const std::string& temp, std::string_view bytes, std::optional<mode_t> mode)
{
    // A stale or planted "<file>.new" is removed first; O_EXCL then refuses to follow a
    // link someone placed there in between.
    ::unlink(temp.c_str());
    TUniqueFd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!out.Valid())
        ThrowErrno("cannot create " + temp);
    if (mode && ::fchmod(out.Get(), *mode) != 0)
        ThrowErrno("cannot set the permissions of " + temp);
    WriteAll(out.Get(), bytes, "cannot write " + temp);
    if (::fsync(out.Get()) != 0)
        ThrowErrno("cannot flush " + temp);
    if (out.Close() != 0)
        ThrowErrno("cannot close " + temp);
}

}  // namespace

TFileRead ReadWholeFile(const std::filesystem::path& file, std::size_t maxBytes)
{
    TFileRead result;
    TUniqueFd in(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!in.Valid()) {
        result.Outcome = IsMissing(errno) ? roMissing : roFailed;
        return result;
    }
    struct stat info {};
    if (::fstat(in.Get(), &info) != 0 || !S_ISREG(info.st_mode)
        || static_cast<std::size_t>(info.st_size) > maxBytes
        || !ReadAll(in.Get(), maxBytes, result.Bytes)) {
        result.Bytes.clear();
        result.Outcome = roFailed;
        return result;
    }
    result.Outcome = roRead;
    return result;
}

void WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes)
{
    const auto target = ReplacedFile(file);
    const auto mode = KeptMode(target);
    const std::string temp = target.string() + ".new";
    try {
        WriteTempFile(temp, bytes, mode);
        if (::rename(temp.c_str(), target.c_str()) != 0)
            ThrowErrno("cannot replace " + target.string());
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    FlushFolder(target.parent_path());
}

void RemoveFileIfPresent(const std::filesystem::path& file)
{
    if (::unlink(file.c_str()) != 0 && !IsMissing(errno))
        ThrowErrno("cannot remove " + file.string());
}
