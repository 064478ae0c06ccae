#include "core/BootTree.h"

#include <atomic>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

/// Flags of the file that is served: never a controlling terminal, and never a wait on a
/// FIFO or device before the type check below turns it away.
constexpr int kServeFlags = O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;

/// Set once openat2 turned out to be missing (an old kernel, or a sandbox that refuses
/// the call), so later requests go straight to the walk.
std::atomic<bool> openat2Missing{false};

/// Closes a descriptor at the end of a scope.
class TScopedFd {
public:
    explicit TScopedFd(int fd) noexcept : fd_(fd) {}
    TScopedFd(const TScopedFd&) = delete;
    TScopedFd& operator=(const TScopedFd&) = delete;
    ~TScopedFd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int Get() const { return fd_; }
    void Reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool IsControlByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

/// Keeps `fd` only when it is open on a regular file, made blocking again for reading.
int RegularFileOnly(int fd)
{
    if (fd < 0)
        return -1;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

TTreeFile::TTreeFile(TTreeFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_))
{
}

TTreeFile::~TTreeFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::int64_t TTreeFile::Size() const
{
    struct stat status {};
    return ::fstat(fd_, &status) == 0 ? static_cast<std::int64_t>(status.st_size) : -1;
}

int TTreeFile::Release()
{
    return std::exchange(fd_, -1);
}

TBootTree::TBootTree(std::string root, TResolver resolver) : root_(std::move(root)), resolver_(resolver)
{
    while (root_.size() > 1 && root_.back() == '/')
        root_.pop_back();
}

std::optional<std::string> TBootTree::RelativePath(std::string_view requested)
{
    std::string relative;
    std::string component;
    const auto takeComponent = [&] {
        if (!component.empty() && component != ".") {
            if (!relative.empty())
                relative += '/';
            relative += component;
        }
        component.clear();
    };
    for (const char c : requested) {
        if (c == '/' || c == '\\') {
            if (component == "..")
                return std::nullopt;
            takeComponent();
        } else if (IsControlByte(c)) {
            return std::nullopt;
        } else {
            component += c;
        }
    }
    if (component == "..")
        return std::nullopt;
    takeComponent();
    if (relative.empty())
        return std::nullopt;
    return relative;
}

std::optional<TTreeFile> TBootTree::Open(std::string_view requested) const
{
    if (!Enabled())
        return std::nullopt;
    const auto relative = RelativePath(requested);
    if (!relative)
        return std::nullopt;
    const TScopedFd rootFd(::open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (rootFd.Get() < 0)
        return std::nullopt;
    const int fd = RegularFileOnly(resolver_ == TResolver::Beneath ? OpenBeneath(rootFd.Get(), *relative)
                                                                   : OpenByWalk(rootFd.Get(), *relative));
    if (fd < 0)
        return std::nullopt;
    return TTreeFile(fd, FullPath(*relative));
}

int TBootTree::OpenBeneath(int rootFd, const std::string& relative) const
{
    if (!openat2Missing.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = kServeFlags;
        // Links may point within the tree; any that lead out of it, absolute ones and
        // /proc-style magic links included, fail the whole lookup.
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        const auto fd = ::syscall(SYS_openat2, rootFd, relative.c_str(), &how, sizeof how);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
            return static_cast<int>(fd);
        openat2Missing.store(true, std::memory_order_relaxed);
    }
    return OpenByWalk(rootFd, relative);
}

/// Without openat2 every component is opened on its own with O_NOFOLLOW, so a symbolic
/// link anywhere on the path ends the lookup: ".." is already refused, and nothing else
/// can lead upwards.
int TBootTree::OpenByWalk(int rootFd, const std::string& relative)
{
    TScopedFd folder(::dup(rootFd));
    std::string::size_type start = 0;
    for (auto slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', start)) {
        const std::string component = relative.substr(start, slash - start);
        folder.Reset(::openat(folder.Get(), component.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (folder.Get() < 0)
            return -1;
        start = slash + 1;
    }
    return ::openat(folder.Get(), relative.c_str() + start, kServeFlags | O_NOFOLLOW);
}

std::string TBootTree::FullPath(const std::string& relative) const
{
    return (root_ == "/" ? std::string() : root_) + "/" + relative;
}
