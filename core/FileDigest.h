#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

/// The checksums engineers compare a flashed image against, each in lower-case hex: the
/// CRC-32 that zlib and U-Boot's `crc32` command compute (8 digits), MD5 and SHA-256.
struct TFileDigests {
    std::string Crc32;
    std::string Md5;
    std::string Sha256;

    bool operator==(const TFileDigests&) const = default;
};

/// Told how many bytes have been digested after each chunk; returning false stops the work.
using TDigestProgress = std::function<bool(std::uint64_t bytesDone)>;

/// Reads `file` once in chunks and computes all three digests. Nothing when the file cannot
/// be opened or read to its end, or when `progress` asks to stop. Any thread.
std::optional<TFileDigests> DigestFile(const std::filesystem::path& file,
                                       const TDigestProgress& progress = {});

/// The SHA-256 of `file` alone, or nothing when it cannot be read. Any thread.
std::optional<std::string> FileSha256(const std::filesystem::path& file);
