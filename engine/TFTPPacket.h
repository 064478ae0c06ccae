#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// TFTP packets (RFC 1350) with options (RFC 2347, 2348, 2349, 7440), built and parsed as pure
// functions of bytes. Packets are byte strings: 16-bit fields big-endian, texts NUL-ended.

enum TTransferMode { tmNetAscii, tmOctet };

namespace TFTPOpcode {
constexpr std::uint16_t RRQ = 1;
constexpr std::uint16_t WRQ = 2;
constexpr std::uint16_t DATA = 3;
constexpr std::uint16_t ACK = 4;
constexpr std::uint16_t ERROR = 5;
constexpr std::uint16_t OACK = 6;
}  // namespace TFTPOpcode

/// RFC 1350's block size, used when no blksize option is agreed.
constexpr std::int32_t DefaultBlockSize = 512;
/// RFC 2348: the largest block size a client may ask for.
constexpr std::int32_t MaxBlockSize = 65464;
/// RFC 2349: the largest timeout option, in seconds.
constexpr std::int32_t MaxTimeoutSeconds = 255;
/// RFC 7440: the largest windowsize option, in blocks.
constexpr std::int32_t MaxWindowSizeOption = 65535;
constexpr std::size_t kHeaderSize = 4;

std::string EncodeWord(std::uint16_t value);
/// The first two bytes in network order; `bytes` must hold at least two.
std::uint16_t DecodeWord(std::string_view bytes);
std::string MakeAckPacket(std::uint16_t block);
std::string MakeErrorPacket(std::uint16_t code, std::string_view message);

/// "octet" and "binary" give tmOctet, "netascii" gives tmNetAscii, in any letter case;
/// anything else raises ETFTPIllegalOperation.
TTransferMode ModeFromText(const std::string& mode);

/// A signed 32-bit decimal integer with an optional sign; anything else (empty text,
/// blanks, hexadecimal, trailing bytes, out of range) raises EConvertError.
std::int32_t StrToInt32(std::string_view text);

/// The value of option `name` in the option bytes after the mode: the first exact,
/// case-sensitive occurrence of name + NUL; the value runs to the next NUL or to the end.
std::optional<std::string> FindOptionValue(std::string_view options, std::string_view name);

/// What a read or write request carries, as the dispatcher hands it on.
struct TTFTPRequest {
    std::string Datagram;  ///< the request as it arrived, to know its retransmissions
    std::uint16_t Opcode = 0;
    std::string FileName;
    TTransferMode Mode = tmOctet;
    std::int32_t BlockSize = 0;
    std::int64_t TransferSize = -1;
    bool TSizeRequested = false;
    std::int32_t Timeout = 0;
    std::int32_t WindowSize = 0;  ///< blocks per window asked for; 0 when absent or ignored
};

/// Parses an RRQ or WRQ datagram. Raises EStreamReadError (shorter than 2 bytes),
/// ETFTPIllegalOperation (another opcode, naming the peer; or an unknown mode) and
/// EConvertError (an option value that is not an integer). Options are read in the order
/// timeout (only with `acceptTimeOut`), tsize, blksize, windowsize (only with
/// `acceptWindowSize`; otherwise it is an unknown option), so the first bad one in that
/// order is the one reported. A windowsize outside 1..65535 is ignored.
TTFTPRequest ParseRequest(std::string_view datagram, bool acceptTimeOut,
                          const std::string& peerIP, int peerPort, bool acceptWindowSize = false);

/// Bytes of blocks one window may hold: a client's default receive buffer takes this much
/// (with room for its bookkeeping), so a window never overflows it.
constexpr std::int32_t kWindowBytes = 131072;

/// The window a server that sends at most `maxWindowSize` blocks grants for `requested`
/// with blocks of `requestedBlockSize` bytes as the request asked (0: none asked). RFC
/// 7440 lets a server grant less than asked: the smallest of the two and of the blocks
/// that fit kWindowBytes (at least 1), so 512 and 1468 keep their windows and 65464
/// gets 2. 0 (not granted, no answer) when nothing was asked or the server sends one
/// block at a time.
std::int32_t GrantWindowSize(std::int32_t requested, std::int32_t maxWindowSize,
                             std::int32_t requestedBlockSize = 0);

/// The block size a session uses for a requested blksize (0 or below: none asked):
/// RFC 1350's 512 unless asked, and, by RFC 2348, at least 512 and at most 65464.
std::int32_t AgreedBlockSize(std::int32_t requestedBlockSize);

/// The outcome of option negotiation for one session.
struct TNegotiation {
    std::string FirstPacket;           ///< the OACK, or empty when none is due
    std::int32_t BlockSize = DefaultBlockSize;
    std::int32_t ReplyWaitMs = 0;      ///< 0: keep the session's default wait
    std::int32_t WindowSize = 1;       ///< blocks sent before waiting for an ACK
};

/// Decides the block size, reply wait and OACK of a session from the request's values.
/// A blksize of 0 or below is ignored; otherwise at least 512 and, by RFC 2348, at most
/// 65464. A timeout of 0 or below, or above RFC 2349's 255 seconds, is ignored. tsize
/// is acknowledged only when the request carried it and the size is above 0. A granted
/// window (see GrantWindowSize; 0 for none) is answered after the other options.
TNegotiation NegotiateOptions(std::int32_t requestedBlockSize, std::int64_t transferSize,
                              bool tsizeRequested, std::int32_t requestedTimeout,
                              std::int32_t grantedWindowSize = 0);
