#include "core/FilesList.h"

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <utility>

#include "core/FileSystem.h"
#include "core/LocaleText.h"
#include "log/AsciiText.h"
#include "log/PathText.h"

TFilesPopupEnabling FilesPopupEnabling(std::size_t selectedCount, std::size_t entryCount)
{
    TFilesPopupEnabling enabling;
    enabling.AddFiles = true;
    enabling.RemoveFiles = selectedCount >= 1;
    enabling.ToggleSuspend = selectedCount >= 1;
    enabling.ClearAccessCount = selectedCount >= 1;
    enabling.FileInformation = selectedCount == 1;
    enabling.RefreshDeviceList = entryCount >= 1;
    return enabling;
}

bool OpensFileInformation(std::size_t selectedCount)
{
    return selectedCount == 1;
}

void TFilesList::SetObserver(TFilesListObserver* observer)
{
    std::lock_guard lock(entriesMutex_);
    observer_ = observer;
}

std::size_t TFilesList::AddFiles(const std::vector<std::string>& paths)
{
    std::vector<TSlot> candidates;
    for (const std::string& chosen : paths) {
        const std::string path = AbsolutePath(chosen);
        std::string name = NamePart(path);
        if (!chosen.empty() && !name.empty())
            candidates.push_back(MakeSlot(MakeFileEntry(std::move(name), NormaliseFolder(DirPart(path)))));
    }
    return AddUnlessNameListed(std::move(candidates));
}

std::size_t TFilesList::AddDroppedFiles(const std::vector<std::string>& paths)
{
    std::size_t added = 0;
    std::vector<TSlot> files;
    for (const std::string& dropped : paths) {
        if (dropped.empty())
            continue;
        const std::string path = AbsolutePath(dropped);
        if (IsDirectory(path)) {
            // Files dropped before the folder are listed first, so the folder's name
            // test sees them.
            added += AddUnlessPathListed(std::exchange(files, {}));
            added += AddFolderContents(path);
            continue;
        }
        std::string name = NamePart(path);
        if (!name.empty())
            files.push_back(MakeSlot(MakeFileEntry(std::move(name), NormaliseFolder(DirPart(path)))));
    }
    return added + AddUnlessPathListed(std::move(files));
}

std::size_t TFilesList::AddFolderContents(const std::string& folder)
{
    if (folder.empty())
        return 0;
    const std::string chosen = WithoutTrailingSlashes(AbsolutePath(folder));
    if (!IsDirectory(chosen))
        return 0;
    const std::string normalised = NormaliseFolder(chosen);
    std::vector<TSlot> candidates;
    for (std::string& name : PlainFileNames(chosen))
        candidates.push_back(MakeSlot(MakeFileEntry(std::move(name), normalised)));
    return AddUnlessNameListed(std::move(candidates));
}

void TFilesList::RemoveSelected(const std::vector<TFileEntryId>& selection)
{
    const std::unordered_set<TFileEntryId> selected(selection.begin(), selection.end());
    std::size_t removed = 0;
    {
        std::lock_guard lock(entriesMutex_);
        removed = RemoveIfLocked([&](const TSlot& slot) { return selected.contains(slot.Entry.Id); });
    }
    if (removed > 0)
        Notify();
}

void TFilesList::RemoveAll(bool answeredYes)
{
    if (answeredYes)
        Clear();
}

void TFilesList::Clear()
{
    {
        std::lock_guard lock(entriesMutex_);
        slots_.clear();
        foldedNameCounts_.clear();
    }
    Notify();
}

void TFilesList::ToggleSuspend(const std::vector<TFileEntryId>& selection)
{
    const std::unordered_set<TFileEntryId> selected(selection.begin(), selection.end());
    {
        std::lock_guard lock(entriesMutex_);
        for (TSlot& slot : slots_) {
            if (!selected.contains(slot.Entry.Id))
                continue;
            FileState& state = slot.Entry.State;
            state = state == FileState::Suspended ? FileState::Available : FileState::Suspended;
        }
    }
    Notify();
}

std::vector<TFileEntryId> TFilesList::ClearAccessCount(const std::vector<TFileEntryId>& selection)
{
    const std::unordered_set<TFileEntryId> selected(selection.begin(), selection.end());
    {
        std::lock_guard lock(entriesMutex_);
        for (TSlot& slot : slots_) {
            if (selected.contains(slot.Entry.Id))
                slot.Entry.AccessCount = 0;
        }
    }
    Notify();
    return selected.size() == 1 ? selection : std::vector<TFileEntryId>{};
}

void TFilesList::Refresh(bool removeDead)
{
    std::vector<std::pair<TFileEntryId, std::string>> paths;
    {
        std::lock_guard lock(entriesMutex_);
        for (const TSlot& slot : slots_)
            paths.emplace_back(slot.Entry.Id, FullPath(slot.Entry));
    }
    if (paths.empty())
        return;
    // The files are checked without the lock; entries added or removed meanwhile are
    // left as they are.
    std::unordered_map<TFileEntryId, bool> exists;
    for (const auto& [id, path] : paths)
        exists.emplace(id, FileExists(path));
    {
        std::lock_guard lock(entriesMutex_);
        const auto gone = [&](const TSlot& slot) {
            const auto found = exists.find(slot.Entry.Id);
            return found != exists.end() && !found->second;
        };
        if (removeDead)
            RemoveIfLocked(gone);
        for (TSlot& slot : slots_) {
            if (gone(slot))
                slot.Entry.State = FileState::Missing;
            else if (exists.contains(slot.Entry.Id) && slot.Entry.State == FileState::Missing)
                slot.Entry.State = FileState::Available;
        }
    }
    Notify();
}

std::optional<FileEntry> TFilesList::FindForRead(std::string_view name) const
{
    const std::wstring upper = LocaleUpper(name);
    std::lock_guard lock(entriesMutex_);
    const auto found = std::find_if(slots_.begin(), slots_.end(),
                                    [&](const TSlot& slot) { return slot.UpperName == upper; });
    if (found == slots_.end())
        return std::nullopt;
    return found->Entry;
}

std::optional<std::int64_t> TFilesList::SizeForRequest(std::string_view name) const
{
    const std::string folded = AsciiLowerText(name);
    std::vector<std::string> paths;
    {
        std::lock_guard lock(entriesMutex_);
        for (const TSlot& slot : slots_) {
            if (slot.FoldedName == folded)
                paths.push_back(FullPath(slot.Entry));
        }
    }
    std::optional<std::int64_t> size;
    for (const std::string& path : paths) {
        if (FileExists(path))
            size = ReadFileSize(path);
    }
    return size;
}

bool TFilesList::NameIsListed(std::string_view name) const
{
    const std::string folded = AsciiLowerText(name);
    std::lock_guard lock(entriesMutex_);
    return foldedNameCounts_.contains(folded);
}

void TFilesList::IncrementAccessCount(std::string_view name)
{
    const std::wstring upper = LocaleUpper(name);
    {
        std::lock_guard lock(entriesMutex_);
        const auto found = std::find_if(slots_.begin(), slots_.end(),
                                        [&](const TSlot& slot) { return slot.UpperName == upper; });
        if (found == slots_.end())
            return;
        std::int32_t& count = found->Entry.AccessCount;
        if (count < std::numeric_limits<std::int32_t>::max())
            ++count;
    }
    Notify();
}

void TFilesList::EnterUpload(const std::string& path)
{
    TSlot upload = MakeSlot(MakeFileEntry(NamePart(path), DirPart(path)));
    {
        std::lock_guard lock(entriesMutex_);
        const auto found = std::find_if(slots_.begin(), slots_.end(), [&](const TSlot& slot) {
            return slot.FoldedName == upload.FoldedName;
        });
        if (found != slots_.end()) {
            // The re-pointed entry keeps its identity but may take another place, since
            // its name can now be spelled differently.
            upload.Entry.Id = found->Entry.Id;
            ForgetNameLocked(found->FoldedName);
            slots_.erase(found);
        }
        std::vector<TSlot> inserted;
        inserted.push_back(std::move(upload));
        MergeSortedLocked(std::move(inserted));
    }
    Notify();
}

bool TFilesList::RemoveEntry(TFileEntryId id)
{
    std::size_t removed = 0;
    {
        std::lock_guard lock(entriesMutex_);
        removed = RemoveIfLocked([id](const TSlot& slot) { return slot.Entry.Id == id; });
    }
    if (removed > 0)
        Notify();
    return removed > 0;
}

void TFilesList::FileGone(TFileEntryId id, bool removeDead)
{
    if (removeDead) {
        RemoveEntry(id);
        return;
    }
    bool marked = false;
    {
        std::lock_guard lock(entriesMutex_);
        for (TSlot& slot : slots_) {
            if (slot.Entry.Id == id && slot.Entry.State == FileState::Available) {
                slot.Entry.State = FileState::Missing;
                marked = true;
            }
        }
    }
    if (marked)
        Notify();
}

void TFilesList::InsertEntries(std::vector<FileEntry> entries)
{
    if (entries.empty())
        return;
    std::vector<TSlot> slots;
    slots.reserve(entries.size());
    for (FileEntry& entry : entries) {
        entry.Id = 0;
        slots.push_back(MakeSlot(std::move(entry)));
    }
    SortSlots(slots);
    {
        std::lock_guard lock(entriesMutex_);
        MergeSortedLocked(std::move(slots));
    }
    Notify();
}

std::vector<FileEntry> TFilesList::Entries() const
{
    std::lock_guard lock(entriesMutex_);
    std::vector<FileEntry> entries;
    entries.reserve(slots_.size());
    for (const TSlot& slot : slots_)
        entries.push_back(slot.Entry);
    return entries;
}

std::optional<FileEntry> TFilesList::Entry(TFileEntryId id) const
{
    std::lock_guard lock(entriesMutex_);
    for (const TSlot& slot : slots_) {
        if (slot.Entry.Id == id)
            return slot.Entry;
    }
    return std::nullopt;
}

std::size_t TFilesList::Count() const
{
    std::lock_guard lock(entriesMutex_);
    return slots_.size();
}

TFilesList::TSlot TFilesList::MakeSlot(FileEntry entry)
{
    TSlot slot;
    slot.SortKey = CollationKey(entry.Name);
    slot.UpperName = LocaleUpper(entry.Name);
    slot.FoldedName = AsciiLowerText(entry.Name);
    slot.Entry = std::move(entry);
    return slot;
}

std::size_t TFilesList::AddUnlessNameListed(std::vector<TSlot> candidates)
{
    KeepFirstOfEach(candidates, [](const TSlot& slot) { return slot.FoldedName; });
    SortSlots(candidates);
    std::size_t count = 0;
    {
        std::lock_guard lock(entriesMutex_);
        std::erase_if(candidates, [this](const TSlot& slot) { return foldedNameCounts_.contains(slot.FoldedName); });
        count = candidates.size();
        MergeSortedLocked(std::move(candidates));
    }
    if (count > 0)
        Notify();
    return count;
}

std::size_t TFilesList::AddUnlessPathListed(std::vector<TSlot> candidates)
{
    if (candidates.empty())
        return 0;
    KeepFirstOfEach(candidates, [](const TSlot& slot) { return FullPath(slot.Entry); });
    SortSlots(candidates);
    std::size_t count = 0;
    {
        std::lock_guard lock(entriesMutex_);
        std::unordered_set<std::string> listed;
        for (const TSlot& slot : slots_)
            listed.insert(FullPath(slot.Entry));
        std::erase_if(candidates, [&](const TSlot& slot) { return listed.contains(FullPath(slot.Entry)); });
        count = candidates.size();
        MergeSortedLocked(std::move(candidates));
    }
    if (count > 0)
        Notify();
    return count;
}

template <typename Key>
void TFilesList::KeepFirstOfEach(std::vector<TSlot>& slots, Key key)
{
    std::unordered_set<std::string> seen;
    std::erase_if(slots, [&](const TSlot& slot) { return !seen.insert(key(slot)).second; });
}

void TFilesList::SortSlots(std::vector<TSlot>& slots)
{
    // Stable, so equal names keep the order they came in. Done before the lock is taken:
    // readers wait only for the merge.
    std::stable_sort(slots.begin(), slots.end(), BySortKey);
}

bool TFilesList::BySortKey(const TSlot& a, const TSlot& b)
{
    return a.SortKey < b.SortKey;
}

void TFilesList::MergeSortedLocked(std::vector<TSlot> slots)
{
    // One stable merge of sorted new entries, after any listed entries of equal name: a
    // folder of many files costs one pass, not a shift of the list for every file.
    const auto oldSize = static_cast<std::ptrdiff_t>(slots_.size());
    for (TSlot& slot : slots) {
        if (slot.Entry.Id == 0)
            slot.Entry.Id = nextId_++;
        ++foldedNameCounts_[slot.FoldedName];
        slots_.push_back(std::move(slot));
    }
    std::inplace_merge(slots_.begin(), slots_.begin() + oldSize, slots_.end(), BySortKey);
}

template <typename Predicate>
std::size_t TFilesList::RemoveIfLocked(Predicate predicate)
{
    auto kept = slots_.begin();
    for (auto it = slots_.begin(); it != slots_.end(); ++it) {
        if (predicate(*it)) {
            ForgetNameLocked(it->FoldedName);
            continue;
        }
        if (kept != it)
            *kept = std::move(*it);
        ++kept;
    }
    const auto removed = static_cast<std::size_t>(slots_.end() - kept);
    slots_.erase(kept, slots_.end());
    return removed;
}

void TFilesList::ForgetNameLocked(const std::string& foldedName)
{
    const auto found = foldedNameCounts_.find(foldedName);
    if (found != foldedNameCounts_.end() && --found->second == 0)
        foldedNameCounts_.erase(found);
}

void TFilesList::Notify() const
{
    TFilesListObserver* observer = nullptr;
    {
        std::lock_guard lock(entriesMutex_);
        observer = observer_;
    }
    if (observer != nullptr)
        observer->FilesListChanged();
}
