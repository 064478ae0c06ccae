#pragma once

#include <cstdint>
#include <string>

/// The size text of every view: " bytes" below 1000, then "KB", "MB", "GB" (and on up
/// for very large files) with three significant characters, e.g. 999 bytes, 0.97KB,
/// 10.5KB, 100KB, 1.00MB. A value of 1000 or more in its unit moves to the next unit with
/// two decimals (1,024,000 bytes show 0.98MB). A negative size, the unreadable -1, shows
/// "Unknown".
std::string FormatFileSizeValue(std::int64_t size);

/// `value` in fixed notation with `digits` decimals and a point, cut to its first
/// `digits` + 1 characters, and cut to `digits` characters when that leaves no point or a
/// point at the end (123.4 with 3 digits gives 123). Throws std::out_of_range
/// "GetSignificantDigits: A number of significant digits out of range" unless `digits`
/// lies in 1..16.
std::string GetSignificantDigits(double value, int digits);
