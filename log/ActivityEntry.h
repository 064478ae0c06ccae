#pragma once

#include <cstdint>
#include <string>

/// Icon of an activity-log row; the numbers are those of the image list the views share.
enum TActivityIcon : int {
    aiTransfer = 1,
    aiSuccess = 2,
    aiError = 3,
    aiInformation = 8,  ///< a note on a finished transfer, neither success nor failure
};

/// Stable identity of an activity entry, unique for the life of its log. A transfer's
/// entry is found again by it even after older entries were dropped.
using TActivityEntryId = std::uint64_t;

/// One row of the activity log, held as a plain value. Texts are kept as they arrived;
/// anything that shows or writes them escapes control bytes (see LogLine.h).
struct TActivityEntry {
    TActivityEntryId Id = 0;
    TActivityIcon Icon = aiSuccess;
    std::string DateTime;
    std::string FileName;
    std::string RemoteIP;
    std::string Status;
};

/// Status texts of a transfer under way; an entry holding one of them is pending until
/// its transfer completes.
inline constexpr const char* kStatusSendingFile = "Transfer: Sending file...";
inline constexpr const char* kStatusReceivingFile = "Transfer: Receiving file...";

/// File name and remote address of application and log events: one blank each.
inline constexpr const char* kNoEventText = " ";
