#pragma once

#include <cstdint>
#include <string>

/// Availability of an offered file; shown as the row's icon.
enum class FileState {
    Available,
    Suspended,
    Missing,
};

/// Icon number of the image list the views share: 0 available, 4 suspended, 5 missing.
int FileStateIcon(FileState state);

/// Identity of an entry for as long as it is listed; commands name the selected entries
/// by it, so a change made meanwhile by another thread cannot make them hit another row.
using TFileEntryId = std::uint64_t;

/// One offered file, a plain value.
struct FileEntry {
    std::string Name;     // as the client must request it
    std::string Folder;   // without a trailing "/"; the root is ""
    std::int32_t AccessCount = 0;
    std::string SizeText;
    FileState State = FileState::Available;
    TFileEntryId Id = 0;  // given by the list
};

/// `Folder` + "/" + `Name`.
std::string FullPath(const FileEntry& entry);

/// A folder whose first "/" is also its last character loses it, so the root "/" becomes
/// "" and its files' full paths read "/name"; any other folder stays as it is.
std::string NormaliseFolder(std::string folder);

/// A new `Available` entry with count 0 and the size text of the file at
/// `folder` + "/" + `name`.
FileEntry MakeFileEntry(std::string name, std::string folder);
