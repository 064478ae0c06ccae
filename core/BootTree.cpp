#include "core/BootTree.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <deque>
#include <utility>
#include <vector>

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

/// As many symbolic links as the kernel follows in one path lookup.
constexpr int kMaxLinks = 40;

bool IsControlByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

/// The non-empty components of a path other than ".", in order.
std::deque<std::string> Components(const std::string& path)
{
    std::deque<std::string> components;
    std::string::size_type start = 0;
    while (start <= path.size()) {
        const auto slash = std::min(path.find('/', start), path.size());
        std::string component = path.substr(start, slash - start);
        if (!component.empty() && component != ".")
            components.push_back(std::move(component));
        start = slash + 1;
    }
    return components;
}

/// The text of the symbolic link open as `linkFd` (O_PATH); empty when it cannot be read.
std::string LinkTarget(int linkFd)
{
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlinkat(linkFd, "", target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
        return {};
    target.resize(static_cast<std::size_t>(length));
    return target;
}

/// Keeps `fd` only when it is open on a regular file, made blocking again for reading.
TUniqueFd RegularFileOnly(TUniqueFd fd)
{
    struct stat status {};
    if (!fd.Valid() || ::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

std::int64_t TTreeFile::Size() const
{
    struct stat status {};
    return ::fstat(fd_.Get(), &status) == 0 ? static_cast<std::int64_t>(status.st_size) : -1;
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

TTreeLookup TBootTree::Lookup(std::string_view requested) const
{
    if (!Enabled())
        return {};
    const auto relative = RelativePath(requested);
    if (!relative)
        return {};
    const TUniqueFd rootFd(::open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!rootFd.Valid())
        return {};
    TResolved resolved = resolver_ == TResolver::Beneath ? OpenBeneath(rootFd.Get(), *relative)
                                                          : OpenByWalk(rootFd.Get(), *relative);
    TUniqueFd fd = RegularFileOnly(std::move(resolved.Fd));
    if (!fd.Valid())
        return {resolved.Outcome == TTreeOutcome::LinkLeavesTree ? resolved.Outcome : TTreeOutcome::DoesNotExist,
                std::nullopt};
    return {TTreeOutcome::Served, TTreeFile(std::move(fd), FullPath(*relative))};
}

std::optional<TTreeFile> TBootTree::Open(std::string_view requested) const
{
    return Lookup(requested).File;
}

TBootTree::TResolved TBootTree::OpenBeneath(int rootFd, const std::string& relative) const
{
    if (!openat2Missing.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = kServeFlags;
        // Relative links within the tree resolve here; an absolute link, one that leads
        // out, or a /proc-style magic link fails the lookup (EXDEV, ELOOP), and the walk
        // below then tells a link into the tree from one out of it.
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        TUniqueFd fd(static_cast<int>(::syscall(SYS_openat2, rootFd, relative.c_str(), &how, sizeof how)));
        if (fd.Valid())
            return {std::move(fd), TTreeOutcome::Served};
        if (errno != ENOSYS && errno != EPERM && errno != EXDEV && errno != ELOOP)
            return {};
        if (errno == ENOSYS || errno == EPERM)
            openat2Missing.store(true, std::memory_order_relaxed);
    }
    return OpenByWalk(rootFd, relative);
}

/// Resolves `relative` one component at a time beneath the root. Each component is opened
/// with O_NOFOLLOW in a folder already held open, so nothing is followed behind our back;
/// a symbolic link is read and its target put in front of what is left, an absolute one
/// only when it names a place beneath the root. ".." returns to the folder held before,
/// never above the root, so no path of links can lead upwards out of the tree.
TBootTree::TResolved TBootTree::OpenByWalk(int rootFd, const std::string& relative) const
{
    std::vector<TUniqueFd> folders;
    folders.emplace_back(::dup(rootFd));
    std::deque<std::string> pending = Components(relative);
    int linksFollowed = 0;
    while (!pending.empty()) {
        const std::string component = std::move(pending.front());
        pending.pop_front();
        if (component == "..") {
            if (folders.size() == 1)
                return {TUniqueFd(), TTreeOutcome::LinkLeavesTree};
            folders.pop_back();
            continue;
        }
        TUniqueFd node(::openat(folders.back().Get(), component.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        if (!node.Valid() || ::fstat(node.Get(), &status) != 0)
            return {};
        if (S_ISLNK(status.st_mode)) {
            // The kernel's own bound on links in one lookup: a loop ends as a missing file.
            if (++linksFollowed > kMaxLinks)
                return {};
            std::string target = LinkTarget(node.Get());
            if (target.empty())
                return {};
            if (target.front() == '/') {
                const auto inside = InsideRoot(target);
                if (!inside)
                    return {TUniqueFd(), TTreeOutcome::LinkLeavesTree};
                folders.erase(folders.begin() + 1, folders.end());
                target = *inside;
            }
            auto parts = Components(target);
            pending.insert(pending.begin(), parts.begin(), parts.end());
        } else if (pending.empty()) {
            return {TUniqueFd(::openat(folders.back().Get(), component.c_str(), kServeFlags | O_NOFOLLOW)),
                    TTreeOutcome::Served};
        } else if (S_ISDIR(status.st_mode)) {
            folders.push_back(std::move(node));
        } else {
            return {};
        }
    }
    return {};
}

/// The part of an absolute link target beneath the root, as the setting names the root or
/// as it is after its own links are resolved; none when the target lies elsewhere.
std::optional<std::string> TBootTree::InsideRoot(const std::string& absoluteTarget) const
{
    std::vector<std::string> roots{root_};
    if (char* canonical = ::realpath(root_.c_str(), nullptr)) {
        roots.emplace_back(canonical);
        std::free(canonical);
    }
    for (const std::string& root : roots) {
        if (root == "/")
            return absoluteTarget.substr(1);
        if (absoluteTarget == root)
            return std::string();
        if (absoluteTarget.size() > root.size() && absoluteTarget.compare(0, root.size(), root) == 0 &&
            absoluteTarget[root.size()] == '/')
            return absoluteTarget.substr(root.size() + 1);
    }
    return std::nullopt;
}

std::string TBootTree::FullPath(const std::string& relative) const
{
    return (root_ == "/" ? std::string() : root_) + "/" + relative;
}
