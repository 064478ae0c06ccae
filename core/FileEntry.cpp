#include "core/FileEntry.h"

#include <utility>

#include "core/FileSize.h"
#include "core/FileSystem.h"

int FileStateIcon(FileState state)
{
    switch (state) {
    case FileState::Available:
        return 0;
    case FileState::Suspended:
        return 4;
    case FileState::Missing:
        break;
    }
    return 5;
}

std::string FullPath(const FileEntry& entry)
{
    return entry.Folder + "/" + entry.Name;
}

std::string NormaliseFolder(std::string folder)
{
    const std::size_t first = folder.find('/');
    if (first != std::string::npos && first + 1 == folder.size())
        folder.pop_back();
    return folder;
}

FileEntry MakeFileEntry(std::string name, std::string folder)
{
    FileEntry entry;
    entry.Name = std::move(name);
    entry.Folder = std::move(folder);
    entry.SizeText = FormatFileSizeValue(ReadFileSize(FullPath(entry)));
    return entry;
}
