#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fileio/UniqueFd.h"

/// One regular file opened beneath the boot tree: the descriptor and the file's full path.
/// Move-only; TakeFd() hands the descriptor on.
class TTreeFile {
public:
    TTreeFile(TUniqueFd fd, std::string path) noexcept : fd_(std::move(fd)), path_(std::move(path)) {}

    const std::string& Path() const { return path_; }
    std::int64_t Size() const;
    TUniqueFd TakeFd() { return std::move(fd_); }

private:
    TUniqueFd fd_;
    std::string path_;
};

/// What became of a request for a file of the boot tree.
enum class TTreeOutcome {
    Served,          ///< a regular file beneath the root, opened
    DoesNotExist,    ///< nothing there, not a regular file, or a name that is refused
    LinkLeavesTree,  ///< a symbolic link on the way points outside the root
};

/// The answer of TBootTree::Lookup: the outcome, and the file when it is Served.
struct TTreeLookup {
    TTreeOutcome Outcome = TTreeOutcome::DoesNotExist;
    std::optional<TTreeFile> File;
};

/// The boot tree: a folder whose files are served by their paths beneath it, for boot
/// loaders that ask for "pxelinux.cfg/default" or "\boot\x64\wdsnbp.com". No request can
/// reach outside the folder: ".." in a request is refused, and symbolic links, absolute or
/// relative, are followed only while they stay beneath the folder. The kernel resolves
/// beneath the folder (openat2 with RESOLVE_BENEATH); what it turns away, and every lookup
/// where that call is missing, is walked one component at a time without following
/// anything by itself. Only regular files are opened. A plain value; any thread.
class TBootTree {
public:
    enum class TResolver { Beneath, ComponentWalk };

    /// `root` as the setting holds it; empty turns the tree off.
    explicit TBootTree(std::string root, TResolver resolver = TResolver::Beneath);

    bool Enabled() const { return !root_.empty(); }

    /// The file a request names, opened for reading, or why there is none.
    TTreeLookup Lookup(std::string_view requested) const;

    /// The file a request names, opened for reading; none when it must be refused.
    std::optional<TTreeFile> Open(std::string_view requested) const;

    /// The request as a relative path: a leading "/" dropped, "\" read as "/", empty and
    /// "." components skipped. None for "..", NUL or control bytes, or nothing left.
    static std::optional<std::string> RelativePath(std::string_view requested);

private:
    struct TResolved {
        TUniqueFd Fd;
        TTreeOutcome Outcome = TTreeOutcome::DoesNotExist;
    };

    TResolved OpenBeneath(int rootFd, const std::string& relative) const;
    TResolved OpenByWalk(int rootFd, const std::string& relative) const;
    std::optional<std::string> InsideRoot(const std::string& absoluteTarget) const;
    std::string FullPath(const std::string& relative) const;

    std::string root_;
    TResolver resolver_;
};
