#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/FileEntry.h"

/// Told that the files list changed, after the list's lock was released; the presenter
/// then reads `Entries()`. Calls may come from any thread that changes the list; an
/// observer must return quickly and must not throw.
class TFilesListObserver {
public:
    virtual ~TFilesListObserver() = default;
    virtual void FilesListChanged() = 0;
};

/// Which items of the files list's popup are enabled.
struct TFilesPopupEnabling {
    bool AddFiles = true;
    bool RemoveFiles = false;
    bool ToggleSuspend = false;
    bool ClearAccessCount = false;
    bool FileInformation = false;
    bool RefreshDeviceList = false;
};

/// The popup's enabling for `selectedCount` selected rows of a list of `entryCount`.
TFilesPopupEnabling FilesPopupEnabling(std::size_t selectedCount, std::size_t entryCount);

/// Whether a double click or Enter opens the file information dialog.
bool OpensFileInformation(std::size_t selectedCount);

/// The files offered for download, kept in ascending order of `Name` by the user's
/// locale (entries with equal names keep the order they came in). Owned by the
/// application core. Every operation is safe from any thread: one lock owned by the list
/// serialises them, lookups return copies, and file-system work happens outside the lock.
///
/// Commands act on a selection given as entry ids, so that a row removed meanwhile by a
/// read request (its file gone) cannot shift the selection onto another entry.
class TFilesList {
public:
    static constexpr const char* kRemoveAllQuestion =
        "Are you sure you want to remove all available files?";

    TFilesList() = default;
    TFilesList(const TFilesList&) = delete;
    TFilesList& operator=(const TFilesList&) = delete;

    /// Set once, before other threads use the list; nullptr stops the notifications.
    void SetObserver(TFilesListObserver* observer);

    /// Adds each chosen file unless an entry of that name (ASCII case ignored) is listed
    /// or was added earlier in the same call. Returns how many were added.
    std::size_t AddFiles(const std::vector<std::string>& paths);

    /// Adds each dropped file unless an entry with exactly that full path is listed; a
    /// dropped folder adds its plain files as AddFolderContents does.
    std::size_t AddDroppedFiles(const std::vector<std::string>& paths);

    /// Adds every plain, non-hidden file of `folder` (not its sub-folders) unless an
    /// entry of that name (ASCII case ignored) is listed. A missing folder adds nothing.
    std::size_t AddFolderContents(const std::string& folder);

    void RemoveSelected(const std::vector<TFileEntryId>& selection);

    /// Empties the list when the operator answered Yes to kRemoveAllQuestion.
    void RemoveAll(bool answeredYes);

    /// Empties the list.
    void Clear();

    /// Suspended entries become Available, the others Suspended. The window then
    /// deselects every toggled entry.
    void ToggleSuspend(const std::vector<TFileEntryId>& selection);

    /// Sets the count of the selected entries to 0 and returns the selection to keep: a
    /// single selected entry stays selected, several are deselected.
    std::vector<TFileEntryId> ClearAccessCount(const std::vector<TFileEntryId>& selection);

    /// Re-checks every entry's file: a gone file's entry is removed (`removeDead`) or
    /// marked Missing; a Missing entry whose file is back becomes Available.
    void Refresh(bool removeDead);

    /// The entry that serves a read request: the first whose name equals `name` ignoring
    /// case as the user's locale upper-cases it.
    std::optional<FileEntry> FindForRead(std::string_view name) const;

    /// Size for a size request: of the entries named `name` (ASCII case ignored) whose
    /// file exists, the last one's size (-1 if it cannot be read); none when no such file.
    std::optional<std::int64_t> SizeForRequest(std::string_view name) const;

    /// True when an entry is named `name`, ASCII case ignored.
    bool NameIsListed(std::string_view name) const;

    /// Counts a completed download on the first entry named `name` (locale case ignored).
    void IncrementAccessCount(std::string_view name);

    /// Puts a completed upload at `path` in the list: the first entry of that name (ASCII
    /// case ignored) is re-pointed at it, Available with count 0; else a new entry.
    void EnterUpload(const std::string& path);

    /// Removes the entry with this id; false when it is no longer listed.
    bool RemoveEntry(TFileEntryId id);
    /// An entry whose file was found gone while it was requested: removed with
    /// `removeDead`, else marked Missing until Refresh finds the file again.
    void FileGone(TFileEntryId id, bool removeDead);

    /// Inserts entries as given, in order and without any duplicate test (a loaded
    /// document). Their ids are assigned by the list.
    void InsertEntries(std::vector<FileEntry> entries);

    std::vector<FileEntry> Entries() const;
    std::optional<FileEntry> Entry(TFileEntryId id) const;
    std::size_t Count() const;

private:
    struct TSlot {
        FileEntry Entry;
        std::wstring SortKey;
        std::wstring UpperName;
        std::string FoldedName;
    };

    static TSlot MakeSlot(FileEntry entry);
    std::size_t AddUnlessNameListed(std::vector<TSlot> candidates);
    std::size_t AddUnlessPathListed(std::vector<TSlot> candidates);
    template <typename Key>
    static void KeepFirstOfEach(std::vector<TSlot>& slots, Key key);
    static void SortSlots(std::vector<TSlot>& slots);
    static bool BySortKey(const TSlot& a, const TSlot& b);
    void MergeSortedLocked(std::vector<TSlot> slots);
    template <typename Predicate>
    std::size_t RemoveIfLocked(Predicate predicate);
    void ForgetNameLocked(const std::string& foldedName);
    void Notify() const;

    TFilesListObserver* observer_ = nullptr;

    // Guards the entries, the count of names and the id counter.
    mutable std::mutex entriesMutex_;
    std::vector<TSlot> slots_;
    std::unordered_map<std::string, std::size_t> foldedNameCounts_;
    TFileEntryId nextId_ = 1;
};
