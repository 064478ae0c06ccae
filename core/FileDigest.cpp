#include "core/FileDigest.h"

#include <array>
#include <cstdio>
#include <memory>
#include <system_error>
#include <vector>

#include <nettle/md5.h>
#include <nettle/sha2.h>
#include <zlib.h>

namespace {

/// Large enough that the system call costs nothing beside the hashing, small enough that a
/// request to stop is seen within a few milliseconds.
constexpr std::size_t kChunkSize = 1 << 20;

struct TFileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string HexText(const std::uint8_t* bytes, std::size_t count)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

/// Hands each chunk of `file` to `consume` and reports progress after it. False when the
/// file cannot be opened or read, or when `progress` stops the work.
template <typename TConsume>
bool ReadChunks(const std::filesystem::path& file, const TDigestProgress& progress, TConsume consume)
{
    // Only a regular file has an end to read to: a folder reads as nothing and a pipe
    // could block for ever.
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return false;
    const std::unique_ptr<std::FILE, TFileClose> in(std::fopen(file.c_str(), "rbe"));
    if (!in)
        return false;
    std::vector<std::uint8_t> chunk(kChunkSize);
    std::uint64_t done = 0;
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), in.get());
        if (got > 0) {
            consume(chunk.data(), got);
            done += got;
            if (progress && !progress(done))
                return false;
        }
        if (got < chunk.size())
            return std::ferror(in.get()) == 0;
    }
}

}  // namespace

std::optional<TFileDigests> DigestFile(const std::filesystem::path& file, const TDigestProgress& progress)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    md5_ctx md5{};
    sha256_ctx sha256{};
    md5_init(&md5);
    sha256_init(&sha256);
    const bool read = ReadChunks(file, progress, [&](const std::uint8_t* data, std::size_t size) {
        crc = crc32_z(crc, data, size);
        md5_update(&md5, size, data);
        sha256_update(&sha256, size, data);
    });
    if (!read)
        return std::nullopt;
    const std::array<std::uint8_t, 4> crcBytes{static_cast<std::uint8_t>(crc >> 24), static_cast<std::uint8_t>(crc >> 16),
                                               static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)};
    std::array<std::uint8_t, MD5_DIGEST_SIZE> md5Bytes{};
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> sha256Bytes{};
    md5_digest(&md5, md5Bytes.size(), md5Bytes.data());
    sha256_digest(&sha256, sha256Bytes.size(), sha256Bytes.data());
    return TFileDigests{HexText(crcBytes.data(), crcBytes.size()), HexText(md5Bytes.data(), md5Bytes.size()),
                        HexText(sha256Bytes.data(), sha256Bytes.size())};
}

std::optional<std::string> FileSha256(const std::filesystem::path& file)
{
    sha256_ctx sha256{};
    sha256_init(&sha256);
    const bool read = ReadChunks(file, {}, [&](const std::uint8_t* data, std::size_t size) {
        sha256_update(&sha256, size, data);
    });
    if (!read)
        return std::nullopt;
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> bytes{};
    sha256_digest(&sha256, bytes.size(), bytes.data());
    return HexText(bytes.data(), bytes.size());
}
