#pragma once

#include <string>
#include <string_view>

#include "log/ActivityEntry.h"

/// Every line of a log file or quick save ends so.
inline constexpr std::string_view kLineEnd = "\r\n";

/// `text` with each control byte (below 0x20, and 0x7F) written as \xHH, so a name sent
/// by a client can never start a new line or move the cursor in a view, a log file or
/// the console. Every other byte is kept.
std::string EscapeControlBytes(std::string_view text);

/// One CSV field: escaped as above, then quoted as RFC 4180 asks when it holds a comma,
/// a double quote, CR or LF; any other field is written unchanged.
std::string CsvField(std::string_view text);

/// Date/Time, Filename, Remote IP Address and Status joined by four blanks; no line end.
std::string FormatTextLine(const TActivityEntry& entry);

/// The same four fields as CSV fields joined by ","; no line end.
std::string FormatCsvLine(const TActivityEntry& entry);

/// The titles of the four text columns as a CSV line; no line end.
std::string CsvHeaderLine();

/// The Status field alone, escaped; no line end.
std::string FormatStatusLine(const TActivityEntry& entry);
