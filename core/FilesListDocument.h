#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/FileEntry.h"

class TActivityLog;
class TFilesList;

/// Files-list documents (".vlt"): one line per entry, name|folder|access count, each
/// ending with CR LF, in list order. Main thread.

/// One parsed document line.
struct TFilesListLine {
    std::string Name;
    std::string Folder;
    std::int32_t AccessCount = 0;
};

/// Splits a line (without its line end): the count text follows the last "|", the folder
/// starts at the first "|/" before it (after the last "|" before the count when there is
/// none, as for the root folder ""), so names and folders holding "|" read back as
/// written. None for a line that cannot describe an entry: fewer than two "|", an empty
/// name, a NUL byte, or a count that is not a decimal number. A count too large for 32
/// bits reads as 0.
std::optional<TFilesListLine> ParseFilesListLine(std::string_view line);

/// The document line of `entry`, without its line end.
std::string FormatFilesListLine(const FileEntry& entry);

/// `chosenPath` with ".vlt" appended unless its extension is exactly ".vlt".
std::string FilesListDocumentPath(const std::string& chosenPath);

/// Replaces the list by the document's entries (each Available, sized from its file,
/// -1 when missing) and appends the outcome entry. A document that is missing or cannot
/// be opened leaves the list unchanged; a read error part-way keeps the entries read so
/// far. Lines that cannot describe an entry are skipped. The list is filled in steps, so
/// read requests meanwhile are answered from the part already loaded.
void LoadFilesList(const std::string& path, TFilesList& list, TActivityLog& log);

/// Writes the list to `chosenPath` (see FilesListDocumentPath), replacing any file of
/// that name only once the new document is complete; then hands the path written to
/// `recordLastSaved` and appends the outcome entry. An empty list writes nothing.
void SaveFilesList(const std::string& chosenPath, const TFilesList& list, TActivityLog& log,
                   const std::function<void(const std::string&)>& recordLastSaved);
