#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// One regular file opened beneath the boot tree: the descriptor and the file's full path.
/// Move-only owner of the descriptor until Release() hands it on.
class TTreeFile {
public:
    TTreeFile(int fd, std::string path) noexcept : fd_(fd), path_(std::move(path)) {}
    TTreeFile(TTreeFile&& other) noexcept;
    TTreeFile& operator=(TTreeFile&&) = delete;
    TTreeFile(const TTreeFile&) = delete;
    ~TTreeFile();

    const std::string& Path() const { return path_; }
    std::int64_t Size() const;
    /// Gives up the descriptor to a new owner.
    int Release();

private:
    int fd_ = -1;
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
        int Fd = -1;
        TTreeOutcome Outcome = TTreeOutcome::DoesNotExist;
    };

    TResolved OpenBeneath(int rootFd, const std::string& relative) const;
    TResolved OpenByWalk(int rootFd, const std::string& relative) const;
    std::optional<std::string> InsideRoot(const std::string& absoluteTarget) const;
    std::string FullPath(const std::string& relative) const;

    std::string root_;
    TResolver resolver_;
};
