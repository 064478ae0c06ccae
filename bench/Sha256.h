#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

/// Incremental SHA-256 (FIPS 180-4), to check what a benchmark transfer delivered.
class TSha256 {
public:
    TSha256();
    void Update(const void* data, std::size_t size);
    /// The digest as lower-case hexadecimal; the object is spent afterwards.
    std::string HexDigest();

private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t totalBits_ = 0;
};
