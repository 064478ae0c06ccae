#include "engine/TFTPPacket.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include <strings.h>

#include "engine/NetException.h"

std::string EncodeWord(std::uint16_t value)
{
    return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::uint16_t DecodeWord(std::string_view bytes)
{
    const auto high = static_cast<unsigned char>(bytes[0]);
    const auto low = static_cast<unsigned char>(bytes[1]);
    return static_cast<std::uint16_t>((high << 8) | low);
}

std::string MakeAckPacket(std::uint16_t block)
{
    return EncodeWord(TFTPOpcode::ACK) + EncodeWord(block);
}

std::string MakeErrorPacket(std::uint16_t code, std::string_view message)
{
    std::string packet = EncodeWord(TFTPOpcode::ERROR) + EncodeWord(code);
    packet.append(message);
    packet.push_back('\0');
    return packet;
}

TTransferMode ModeFromText(const std::string& mode)
{
    const char* text = mode.c_str();
    // A mode holding a NUL cannot match; compare the whole string, not a C prefix.
    if (mode.find('\0') == std::string::npos) {
        if (strcasecmp(text, "octet") == 0 || strcasecmp(text, "binary") == 0)
            return tmOctet;
        if (strcasecmp(text, "netascii") == 0)
            return tmNetAscii;
    }
    throw ETFTPIllegalOperation(FormatText("Unsupported transfer mode: \"%s\"", text));
}

std::int32_t StrToInt32(std::string_view text)
{
    std::string_view digits = text;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '+' || negative))
        digits.remove_prefix(1);
    const bool allDigits = !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    std::int64_t magnitude = 0;
    const auto parsed = allDigits
        ? std::from_chars(digits.data(), digits.data() + digits.size(), magnitude)
        : std::from_chars_result{nullptr, std::errc::invalid_argument};
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (parsed.ec != std::errc() || value < INT32_MIN || value > INT32_MAX)
        throw EConvertError(std::string(text));
    return static_cast<std::int32_t>(value);
}

std::optional<std::string> FindOptionValue(std::string_view options, std::string_view name)
{
    std::string key(name);
    key.push_back('\0');
    const auto at = options.find(key);
    if (at == std::string_view::npos)
        return std::nullopt;
    const auto valueStart = at + key.size();
    const auto valueEnd = options.find('\0', valueStart);
    return std::string(options.substr(valueStart, valueEnd == std::string_view::npos
                                                      ? std::string_view::npos
                                                      : valueEnd - valueStart));
}

namespace {

/// Cuts the text up to the next NUL off the front of `rest`; without a NUL, all of it.
std::string TakeField(std::string_view& rest)
{
    const auto end = rest.find('\0');
    if (end == std::string_view::npos) {
        std::string field(rest);
        rest = {};
        return field;
    }
    std::string field(rest.substr(0, end));
    rest.remove_prefix(end + 1);
    return field;
}

}  // namespace

TTFTPRequest ParseRequest(std::string_view datagram, bool acceptTimeOut,
                          const std::string& peerIP, int peerPort, bool acceptWindowSize)
{
    if (datagram.size() < 2)
        throw EStreamReadError();
    TTFTPRequest request;
    request.Datagram = std::string(datagram);
    request.Opcode = DecodeWord(datagram);
    if (request.Opcode != TFTPOpcode::RRQ && request.Opcode != TFTPOpcode::WRQ)
        throw ETFTPIllegalOperation(
            FormatText("Unexpected operation from %s:%d", peerIP.c_str(), peerPort));
    std::string_view rest = datagram.substr(2);
    request.FileName = TakeField(rest);
    const std::string modeText = TakeField(rest);
    request.Mode = ModeFromText(modeText);
    if (acceptTimeOut) {
        if (const auto timeout = FindOptionValue(rest, "timeout"))
            request.Timeout = StrToInt32(*timeout);
    }
    if (const auto tsize = FindOptionValue(rest, "tsize")) {
        request.TransferSize = StrToInt32(*tsize);
        request.TSizeRequested = true;
    }
    if (const auto blksize = FindOptionValue(rest, "blksize"))
        request.BlockSize = StrToInt32(*blksize);
    if (acceptWindowSize) {
        if (const auto windowSize = FindOptionValue(rest, "windowsize")) {
            const std::int32_t blocks = StrToInt32(*windowSize);
            // RFC 7440 section 3: 1 to 65535; anything else is left unanswered.
            if (blocks >= 1 && blocks <= MaxWindowSizeOption)
                request.WindowSize = blocks;
        }
    }
    return request;
}

std::int32_t AgreedBlockSize(std::int32_t requestedBlockSize)
{
    if (requestedBlockSize <= 0)
        return DefaultBlockSize;
    return std::clamp(requestedBlockSize, DefaultBlockSize, MaxBlockSize);
}

std::int32_t GrantWindowSize(std::int32_t requested, std::int32_t maxWindowSize,
                             std::int32_t requestedBlockSize)
{
    if (requested <= 0 || maxWindowSize <= 1)
        return 0;
    const std::int32_t fitting = std::max(1, kWindowBytes / AgreedBlockSize(requestedBlockSize));
    return std::min({requested, maxWindowSize, fitting});
}

TNegotiation NegotiateOptions(std::int32_t requestedBlockSize, std::int64_t transferSize,
                              bool tsizeRequested, std::int32_t requestedTimeout,
                              std::int32_t grantedWindowSize)
{
    TNegotiation result;
    const bool blockSizeAgreed = requestedBlockSize > 0;
    const bool timeoutAgreed = requestedTimeout > 0 && requestedTimeout <= MaxTimeoutSeconds;
    const bool sizeAgreed = tsizeRequested && transferSize > 0;
    const bool windowAgreed = grantedWindowSize > 0;
    if (!blockSizeAgreed && !timeoutAgreed && !sizeAgreed && !windowAgreed)
        return result;
    std::string& oack = result.FirstPacket;
    oack = EncodeWord(TFTPOpcode::OACK);
    const auto appendOption = [&oack](const char* name, std::int64_t value) {
        oack.append(name);
        oack.push_back('\0');
        oack.append(std::to_string(value));
        oack.push_back('\0');
    };
    if (blockSizeAgreed) {
        result.BlockSize = AgreedBlockSize(requestedBlockSize);
        appendOption("blksize", result.BlockSize);
    }
    if (timeoutAgreed) {
        result.ReplyWaitMs = requestedTimeout * 1000;
        appendOption("timeout", requestedTimeout);
    }
    if (sizeAgreed)
        appendOption("tsize", transferSize);
    if (windowAgreed) {
        result.WindowSize = std::min(grantedWindowSize, MaxWindowSizeOption);
        appendOption("windowsize", result.WindowSize);
    }
    return result;
}
