#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "security/IPv6Rule.h"

/// The lines of an IPv6 rules file that were not rules and were skipped: how many, and the
/// numbers (from 1) of the first few.
struct TDamagedLines {
    static constexpr std::size_t kListed = 10;

    std::size_t Count = 0;
    std::vector<std::size_t> First;

    /// "line 3" or "lines 3, 7, 12", with ", ..." when more were damaged than are listed.
    std::string Text() const;
};

struct TIPv6RulesRead {
    TIPv6RuleList Rules;
    TDamagedLines Damaged;
};

/// The rule one line states: "address <ipv6> <rights>" or "prefix <ipv6>/<0..128> <rights>",
/// rights "read", "write", "readwrite" or "deny", parts separated by blanks or tabs. Nothing
/// for any other line.
std::optional<TIPv6Rule> ParseIPv6RuleLine(std::string_view line);

/// The rule's line as the file holds it, the address in RFC 5952 text.
std::string IPv6RuleLine(const TIPv6Rule& rule);

/// The rules in the UTF-8 text of an IPv6 rules file, in order. Blank lines and comments
/// (from '#' to the end of the line) are ignored; any other line that is not a rule is
/// skipped and counted. A leading byte order mark and carriage returns are ignored. At most
/// kMaxRuleCount rules are taken; lines beyond count as damaged.
TIPv6RulesRead DecodeIPv6Rules(std::string_view text);

/// The text of `rules`: a short comment on the format, then one line per rule.
std::string EncodeIPv6Rules(const TIPv6RuleList& rules);

/// Reads the IPv6 rules file. A missing file gives no rules. Throws ESecurityRulesError when
/// the file exists but cannot be read or is larger than any sound rules file.
TIPv6RulesRead LoadIPv6Rules(const std::filesystem::path& file);

/// Writes `rules` to the IPv6 rules file, replacing it whole; an empty list deletes the file.
/// Throws ESecurityRulesError when the platform refuses; the old file is then untouched.
void SaveIPv6Rules(const std::filesystem::path& file, const TIPv6RuleList& rules);
