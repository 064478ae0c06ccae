#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// The few file-system questions the files list asks, each answered without raising.

/// Size of the file at `path`, or -1 when it is not a regular file that can be opened
/// for reading. Devices and pipes are never opened.
std::int64_t ReadFileSize(const std::string& path);

/// True when something other than a folder exists at `path`.
bool FileExists(const std::string& path);

bool IsDirectory(const std::string& path);

/// `path` taken from the working folder when relative (paths given on the command
/// line), so an entry's full path names the same file later; unchanged on failure.
std::string AbsolutePath(const std::string& path);

/// "/srv/tftp/" names the folder "/srv/tftp"; the root stays "/".
std::string WithoutTrailingSlashes(std::string folder);

/// Names of the regular files directly in `folder`, hidden ones (starting with ".")
/// skipped, in byte order so that of two names differing only in case the same one
/// comes first every time. Empty when the folder cannot be read.
std::vector<std::string> PlainFileNames(const std::string& folder);
