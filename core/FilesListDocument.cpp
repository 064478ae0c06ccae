#include "core/FilesListDocument.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <fstream>
#include <utility>
#include <vector>

#include "core/FilesList.h"
#include "core/FileSystem.h"
#include "fileio/AtomicFile.h"
#include "log/ActivityLog.h"
#include "log/LogLine.h"
#include "log/PathText.h"

namespace {

// No file-system path is this long; a longer line (a binary file) is skipped without
// being held in memory.
constexpr std::size_t kMaxLineLength = 16 * 1024;
// Lines are entered in batches, so read requests see the list grow while a long
// document loads. A batch may be as large as what is already loaded, so a document in
// any order costs a few merges of the list rather than one per line or per fixed batch.
constexpr std::size_t kFirstLoadBatch = 512;
constexpr std::size_t kReadChunk = 64 * 1024;

bool IsDecimal(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Hands every line of the document to `onLine`, without its line end; false on a read
// error.
template <typename OnLine>
bool ReadLines(std::ifstream& in, OnLine onLine)
{
    std::vector<char> chunk(kReadChunk);
    std::string line;
    bool overlong = false;
    const auto finishLine = [&] {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!overlong)
            onLine(line);
        line.clear();
        overlong = false;
    };
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        if (in.bad())
            return false;
        const auto got = static_cast<std::size_t>(in.gcount());
        for (std::size_t i = 0; i < got; ++i) {
            if (chunk[i] == '\n') {
                finishLine();
            } else if (line.size() < kMaxLineLength) {
                line += chunk[i];
            } else {
                overlong = true;
            }
        }
    }
    if (!line.empty() || overlong)
        finishLine();
    return true;
}

bool IsRegularFile(const std::string& path)
{
    return FileExists(path) && ReadFileSize(path) >= 0;
}

bool LoadEntries(const std::string& path, TFilesList& list)
{
    if (!IsRegularFile(path))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return false;
    list.Clear();
    std::vector<FileEntry> batch;
    std::size_t loaded = 0;
    const bool read = ReadLines(in, [&](std::string_view text) {
        std::optional<TFilesListLine> line = ParseFilesListLine(text);
        if (!line)
            return;
        FileEntry entry = MakeFileEntry(std::move(line->Name), std::move(line->Folder));
        entry.AccessCount = line->AccessCount;
        batch.push_back(std::move(entry));
        if (batch.size() >= std::max(kFirstLoadBatch, loaded)) {
            loaded += batch.size();
            list.InsertEntries(std::exchange(batch, {}));
        }
    });
    list.InsertEntries(std::move(batch));
    return read;
}

// The new document replaces the old one only when complete, so a failed save never
// destroys the document it was to replace.
bool WriteDocument(const std::string& path, const std::vector<FileEntry>& entries)
{
    std::string text;
    for (const FileEntry& entry : entries)
        (text += FormatFilesListLine(entry)) += kLineEnd;
    try {
        WriteFileAtomically(path, text);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

std::optional<TFilesListLine> ParseFilesListLine(std::string_view line)
{
    const std::size_t last = line.rfind('|');
    if (last == std::string_view::npos || line.find('\0') != std::string_view::npos)
        return std::nullopt;
    const std::string_view body = line.substr(0, last);
    // A name never holds "/" and a folder starts with one (or is the root, ""), so the
    // first "|/" ends the name even when name or folder hold "|" themselves.
    std::size_t split = body.find("|/");
    if (split == std::string_view::npos)
        split = body.rfind('|');
    const std::string_view count = line.substr(last + 1);
    if (split == std::string_view::npos || split == 0 || !IsDecimal(count))
        return std::nullopt;
    TFilesListLine parsed;
    parsed.Name = body.substr(0, split);
    parsed.Folder = body.substr(split + 1);
    const auto result = std::from_chars(count.data(), count.data() + count.size(), parsed.AccessCount);
    if (result.ec != std::errc{})
        parsed.AccessCount = 0;
    return parsed;
}

std::string FormatFilesListLine(const FileEntry& entry)
{
    return entry.Name + "|" + entry.Folder + "|" + std::to_string(entry.AccessCount);
}

std::string FilesListDocumentPath(const std::string& chosenPath)
{
    return FileExtension(chosenPath) == ".vlt" ? chosenPath : chosenPath + ".vlt";
}

void LoadFilesList(const std::string& path, TFilesList& list, TActivityLog& log)
{
    if (LoadEntries(path, list))
        log.AddActivityEntry(aiSuccess, kNoEventText, kNoEventText, "Application: Loaded files list.");
    else
        log.AddActivityEntry(aiError, kNoEventText, kNoEventText, "Application: Error loading files list!");
}

void SaveFilesList(const std::string& chosenPath, const TFilesList& list, TActivityLog& log,
                   const std::function<void(const std::string&)>& recordLastSaved)
{
    const std::vector<FileEntry> entries = list.Entries();
    if (entries.empty())
        return;
    const std::string path = FilesListDocumentPath(chosenPath);
    if (!WriteDocument(path, entries)) {
        log.AddActivityEntry(aiError, kNoEventText, kNoEventText, "Application: Error saving file list!");
        return;
    }
    if (recordLastSaved)
        recordLastSaved(path);
    log.AddActivityEntry(aiSuccess, kNoEventText, kNoEventText, "Application: Saved file list.");
}
