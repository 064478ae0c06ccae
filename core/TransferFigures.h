#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/TransferLog.h"

/// The texts of the transfer window, worked out from a transfer record. Plain functions of
/// their arguments, so every figure can be checked without a window.

/// "1 mins 15 secs", "0 mins 9 secs".
std::string DurationText(std::int64_t seconds);

/// "boot.bin to 192.168.1.20 (port: 2070)" for a download, "... from ..." for an upload;
/// the name as the client sent it, control bytes escaped.
std::string DestinationText(const TTransferInfo& info);

/// What a finished transfer shows.
struct TFinishedTexts {
    std::string Heading;   // "Sent:" or "Received:", for both the heading and the time line
    std::string Summary;   // "1.50MB in 0 mins 12 secs"
    std::string Rate;      // the average rate, "128KB/Sec"
};
TFinishedTexts FinishedTexts(const TTransferInfo& info);

/// Bytes a second between two updates: the bytes since the last update over the whole
/// seconds between them, taken as one second when below one.
std::int64_t TransferRate(std::int64_t bytesNow, std::int64_t bytesBefore, std::uint32_t elapsedMs);

/// Whole seconds left at `rate` bytes a second; none while nothing moves. At 1024 bytes a
/// second or more it is counted in whole kilobytes, below that in bytes.
std::optional<std::int64_t> SecondsLeft(std::int64_t remaining, std::int64_t rate);

/// The time line of a running transfer: "0 mins 3 secs (1.00MB of 4.00MB copied)", or
/// "Unknown (...)" while nothing moves. None when the total is known and reached (the line
/// keeps what it showed), and "1.50KB copied..." when the total was not announced.
std::optional<std::string> TimeLeftText(std::int64_t totalSize, std::int64_t bytesDone, std::int64_t rate);

/// "128KB/Sec".
std::string RateText(std::int64_t rate);
