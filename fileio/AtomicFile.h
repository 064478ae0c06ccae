#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

/// Result of reading a small configuration file.
enum TReadOutcome { roRead, roMissing, roFailed };

struct TFileRead {
    TReadOutcome Outcome = roMissing;
    std::string Bytes;
};

/// Reads a regular file whole. A file that does not exist is roMissing; one that exists but
/// cannot be opened or read, is not a regular file (a FIFO would block, a folder has no
/// content) or holds more than `maxBytes` is roFailed. Never blocks on special files.
TFileRead ReadWholeFile(const std::filesystem::path& file, std::size_t maxBytes);

/// Replaces `file` with `bytes` so that a crash or a refused write never leaves it half
/// written: the bytes go to "<file>.new", are flushed to disk, and the new file is renamed
/// over the old one. The permission bits of an existing file are kept, and a symbolic link
/// is written through to its target; an existing `file` that is not a regular file (a
/// FIFO, a device) is refused. Throws std::system_error when the platform refuses;
/// the old file is then untouched and no "<file>.new" is left behind.
void WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes);

/// Removes `file`; a file that is already gone is fine. Throws std::system_error otherwise.
void RemoveFileIfPresent(const std::filesystem::path& file);
