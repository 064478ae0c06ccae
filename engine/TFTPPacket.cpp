#include "engine/TFTPPacket.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <iterator>

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

/// The request's values that option agreement works from.
struct TAsked {
    std::int32_t BlockSize;
    std::int64_t TransferSize;
    bool TSizeRequested;
    std::int32_t Timeout;
    std::int32_t GrantedWindowSize;
};

/// When a server reads an option at all; otherwise it is an unknown option, skipped.
enum class TReadWhen { Always, TimeoutAccepted, WindowSizeAccepted };

/// One option: how a request's value is read and what the server answers to it.
struct TOptionRule {
    const char* Name;
    /// Options are read in this rank's order, so the first bad value in it is the one reported.
    int ReadRank;
    TReadWhen ReadWhen;
    void (*Read)(TTFTPRequest& request, std::int32_t value);
    /// The value the OACK carries, with the session's agreed setting; none: not answered.
    std::optional<std::int64_t> (*Agree)(const TAsked& asked, TNegotiation& result);
};

/// Every option this server knows, in the order an OACK answers them.
constexpr TOptionRule kOptionRules[] = {
    {"blksize", 2, TReadWhen::Always,
     [](TTFTPRequest& request, std::int32_t value) { request.BlockSize = value; },
     [](const TAsked& asked, TNegotiation& result) -> std::optional<std::int64_t> {
         if (asked.BlockSize <= 0)
             return std::nullopt;
         result.BlockSize = AgreedBlockSize(asked.BlockSize);
         return result.BlockSize;
     }},
    {"timeout", 0, TReadWhen::TimeoutAccepted,
     [](TTFTPRequest& request, std::int32_t value) { request.Timeout = value; },
     [](const TAsked& asked, TNegotiation& result) -> std::optional<std::int64_t> {
         if (asked.Timeout <= 0 || asked.Timeout > MaxTimeoutSeconds)
             return std::nullopt;
         result.ReplyWaitMs = asked.Timeout * 1000;
         return asked.Timeout;
     }},
    {"tsize", 1, TReadWhen::Always,
     [](TTFTPRequest& request, std::int32_t value) {
         request.TransferSize = value;
         request.TSizeRequested = true;
     },
     [](const TAsked& asked, TNegotiation&) -> std::optional<std::int64_t> {
         if (!asked.TSizeRequested || asked.TransferSize <= 0)
             return std::nullopt;
         return asked.TransferSize;
     }},
    {"windowsize", 3, TReadWhen::WindowSizeAccepted,
     [](TTFTPRequest& request, std::int32_t value) {
         // RFC 7440 section 3: 1 to 65535; anything else is left unanswered.
         if (value >= 1 && value <= MaxWindowSizeOption)
             request.WindowSize = value;
     },
     [](const TAsked& asked, TNegotiation& result) -> std::optional<std::int64_t> {
         if (asked.GrantedWindowSize <= 0)
             return std::nullopt;
         result.WindowSize = std::min(asked.GrantedWindowSize, MaxWindowSizeOption);
         return result.WindowSize;
     }},
};

/// The rules in the order a request's options are read.
constexpr auto kReadOrder = [] {
    std::array<const TOptionRule*, std::size(kOptionRules)> order{};
    for (std::size_t at = 0; at < order.size(); ++at)
        order[at] = &kOptionRules[at];
    std::ranges::sort(order, {}, &TOptionRule::ReadRank);
    return order;
}();

bool Reads(const TOptionRule& rule, bool acceptTimeOut, bool acceptWindowSize)
{
    switch (rule.ReadWhen) {
    case TReadWhen::TimeoutAccepted:
        return acceptTimeOut;
    case TReadWhen::WindowSizeAccepted:
        return acceptWindowSize;
    case TReadWhen::Always:
        break;
    }
    return true;
}

void AppendOption(std::string& options, const char* name, std::int64_t value)
{
    options.append(name);
    options.push_back('\0');
    options.append(std::to_string(value));
    options.push_back('\0');
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
    for (const TOptionRule* rule : kReadOrder) {
        if (!Reads(*rule, acceptTimeOut, acceptWindowSize))
            continue;
        if (const auto value = FindOptionValue(rest, rule->Name))
            rule->Read(request, StrToInt32(*value));
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
    const TAsked asked{requestedBlockSize, transferSize, tsizeRequested, requestedTimeout,
                       grantedWindowSize};
    TNegotiation result;
    std::string answered;
    for (const TOptionRule& rule : kOptionRules) {
        if (const auto value = rule.Agree(asked, result))
            AppendOption(answered, rule.Name, *value);
    }
    // Nothing agreed: no OACK, and the transfer starts as RFC 1350 has it.
    if (!answered.empty())
        result.FirstPacket = EncodeWord(TFTPOpcode::OACK) + answered;
    return result;
}
