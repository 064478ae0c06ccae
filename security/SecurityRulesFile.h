#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "security/SecurityRule.h"

/// A rules file that exists but cannot be read, or that cannot be written or removed.
/// The caller reports it; the rules it held before stay in force.
class ESecurityRulesError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Size of one rule in the rules file: two 16-byte texts (length byte and 15 characters)
/// and two little-endian signed 32-bit integers, Kind and Rights.
inline constexpr std::size_t kRuleRecordSize = 40;

/// Most rules a rules file may hold. Operators keep a handful; a larger file is taken as
/// damaged and refused rather than read into memory.
inline constexpr std::size_t kMaxRuleCount = 100000;

/// The rules held in `bytes`, one 40-byte record each, in order. A trailing fragment shorter
/// than a record is ignored; a length byte above 15 counts as 15.
TSecurityRuleList DecodeSecurityRules(std::string_view bytes);

/// The 40-byte records of `rules`, in order; texts longer than 15 characters are cut and
/// unused text bytes are zero.
std::string EncodeSecurityRules(const TSecurityRuleList& rules);

/// Reads the rules file. A missing file gives no rules. Throws ESecurityRulesError when the
/// file exists but cannot be read or holds more than kMaxRuleCount rules.
TSecurityRuleList LoadSecurityRules(const std::filesystem::path& file);

/// Writes `rules` to the rules file, replacing it whole; an empty list deletes the file.
/// Throws ESecurityRulesError when the platform refuses; the old file is then untouched.
void SaveSecurityRules(const std::filesystem::path& file, const TSecurityRuleList& rules);

/// Reads a rules file of either family whole: nothing when it does not exist. Throws
/// ESecurityRulesError when it exists but cannot be read or holds more than `maxBytes`.
std::optional<std::string> ReadRulesFile(const std::filesystem::path& file, std::size_t maxBytes);

/// Replaces a rules file of either family with `bytes` atomically; empty bytes delete it.
/// Throws ESecurityRulesError when the platform refuses; the old file is then untouched.
void ReplaceRulesFile(const std::filesystem::path& file, std::string_view bytes);
