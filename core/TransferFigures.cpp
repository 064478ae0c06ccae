#include "core/TransferFigures.h"

#include "core/FileSize.h"
#include "log/LogLine.h"

std::string DurationText(std::int64_t seconds)
{
    return std::to_string(seconds / 60) + " mins " + std::to_string(seconds % 60) + " secs";
}

std::string DestinationText(const TTransferInfo& info)
{
    return EscapeControlBytes(info.FileName) + (info.IsUpload ? " from " : " to ") + info.IP +
           " (port: " + std::to_string(info.Port) + ")";
}

TFinishedTexts FinishedTexts(const TTransferInfo& info)
{
    // The tick counter wraps; the difference of two ticks is right as long as the
    // transfer took less than 49 days.
    const std::uint32_t elapsedMs = info.FinishTick - info.StartTick;
    const std::int64_t seconds = elapsedMs / 1000;
    const std::int64_t rate = info.BytesDone / (seconds == 0 ? 1 : seconds);
    return {info.IsUpload ? "Received:" : "Sent:",
            FormatFileSizeValue(info.BytesDone) + " in " + DurationText(seconds), RateText(rate)};
}

std::int64_t TransferRate(std::int64_t bytesNow, std::int64_t bytesBefore, std::uint32_t elapsedMs)
{
    const std::int64_t seconds = elapsedMs / 1000;
    // A record replaced by a new transfer of the same peer starts again from 0.
    const std::int64_t moved = bytesNow > bytesBefore ? bytesNow - bytesBefore : 0;
    return moved / (seconds == 0 ? 1 : seconds);
}

std::optional<std::int64_t> SecondsLeft(std::int64_t remaining, std::int64_t rate)
{
    if (rate <= 0)
        return std::nullopt;
    if (rate < 1024)
        return remaining / rate;
    return (remaining / 1024) / (rate / 1024);
}

std::optional<std::string> TimeLeftText(std::int64_t totalSize, std::int64_t bytesDone, std::int64_t rate)
{
    // A size that was not announced (0), or a download whose file size could not be
    // read (negative), leaves nothing to count down to.
    if (totalSize <= 0)
        return FormatFileSizeValue(bytesDone) + " copied...";
    const std::int64_t remaining = totalSize - bytesDone;
    if (remaining <= 0)
        return std::nullopt;
    const std::optional<std::int64_t> seconds = SecondsLeft(remaining, rate);
    return (seconds ? DurationText(*seconds) : std::string("Unknown")) + " (" + FormatFileSizeValue(bytesDone) +
           " of " + FormatFileSizeValue(totalSize) + " copied)";
}

std::string RateText(std::int64_t rate)
{
    return FormatFileSizeValue(rate) + "/Sec";
}
