#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "log/ActivityEntry.h"
#include "log/LogSettings.h"

class TActivityLog;

/// Log files: one line per finished transfer, written on the main thread only, so the
/// files need no lock of their own. Every write opens and closes the file.

/// The decimal text of `n`, prefixed with "0" up to `width` characters.
std::string PadNumber(std::int64_t n, int width);

/// The name, without folder, of the file the next line goes to: "vltrnlog", numbered
/// "vltrn0NNNNN" files of at most LogSize KB, or daily "vltrnYYMMDD" files (local date of
/// `now`); ".csv" for LogFormat 1, ".log" otherwise.
std::string CurrentLogFileName(const TLogSettings& settings, std::time_t now);

/// Writes `entry` to the current log file when `settings.Log` is on, creating the log
/// folder (one level) and, for a new CSV file, the header line. A failure is reported as
/// a "Log error: " entry in `log` and the line is dropped; nothing is raised.
void LogActivityEntry(const TActivityEntry& entry, const TLogSettings& settings, TActivityLog& log);
