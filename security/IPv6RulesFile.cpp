#include "security/IPv6RulesFile.h"

#include <array>
#include <utility>

#include "security/SecurityRulesFile.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";

/// Generous room per line: the longest rule line is well under a hundred characters.
constexpr std::size_t kMaxFileBytes = kMaxRuleCount * 128;

struct TRightsWord {
    std::string_view Word;
    TAccessRights Rights;
};

constexpr std::array<TRightsWord, 4> kRightsWords{{{"read", arRead},
                                                   {"write", arWrite},
                                                   {"readwrite", arReadWrite},
                                                   {"deny", arDeny}}};

std::optional<TAccessRights> ParseRights(std::string_view word)
{
    for (const auto& entry : kRightsWords) {
        if (entry.Word == word)
            return entry.Rights;
    }
    return std::nullopt;
}

/// Rights the program does not know grant nothing, so they are written as "deny".
std::string_view RightsWord(TAccessRights rights)
{
    for (const auto& entry : kRightsWords) {
        if (entry.Rights == rights)
            return entry.Word;
    }
    return "deny";
}

/// Splits off the next blank-separated part of `line`; empty when none is left.
std::string_view NextPart(std::string_view& line)
{
    const auto start = line.find_first_not_of(kBlanks);
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    const auto end = std::min(line.find_first_of(kBlanks), line.size());
    const auto part = line.substr(0, end);
    line.remove_prefix(end);
    return part;
}

/// "<ipv6>/<length>" of a prefix rule.
bool ParsePrefix(std::string_view text, TIPv6Rule& rule)
{
    const auto slash = text.rfind('/');
    if (slash == std::string_view::npos)
        return false;
    const auto address = ParseIPv6Address(text.substr(0, slash));
    const auto length = ParsePrefixLength(text.substr(slash + 1));
    if (!address || !length)
        return false;
    rule.Address = *address;
    rule.PrefixLength = *length;
    return true;
}

bool ParseTarget(std::string_view kind, std::string_view target, TIPv6Rule& rule)
{
    if (kind == "prefix") {
        rule.Kind = rkSubnet;
        return ParsePrefix(target, rule);
    }
    if (kind != "address")
        return false;
    const auto address = ParseIPv6Address(target);
    if (!address)
        return false;
    rule.Kind = rkAddress;
    rule.Address = *address;
    return true;
}

/// The line without its comment; a '#' never occurs in a rule.
std::string_view WithoutComment(std::string_view line)
{
    return line.substr(0, line.find('#'));
}

void CountDamaged(TDamagedLines& damaged, std::size_t lineNumber)
{
    ++damaged.Count;
    if (damaged.First.size() < TDamagedLines::kListed)
        damaged.First.push_back(lineNumber);
}

}  // namespace

std::string TDamagedLines::Text() const
{
    std::string text = Count == 1 ? "line" : "lines";
    for (std::size_t i = 0; i < First.size(); ++i)
        text += (i == 0 ? " " : ", ") + std::to_string(First[i]);
    if (Count > First.size())
        text += ", ...";
    return text;
}

std::optional<TIPv6Rule> ParseIPv6RuleLine(std::string_view line)
{
    const auto kind = NextPart(line);
    const auto target = NextPart(line);
    const auto rights = ParseRights(NextPart(line));
    if (!rights || !NextPart(line).empty())
        return std::nullopt;
    TIPv6Rule rule;
    if (!ParseTarget(kind, target, rule))
        return std::nullopt;
    rule.Rights = *rights;
    return rule;
}

std::string IPv6RuleLine(const TIPv6Rule& rule)
{
    std::string line = rule.Kind == rkAddress ? "address " : "prefix ";
    line += IPv6AddressText(rule.Address);
    if (rule.Kind != rkAddress)
        line += '/' + std::to_string(rule.PrefixLength);
    line += ' ';
    line += RightsWord(rule.Rights);
    return line;
}

TIPv6RulesRead DecodeIPv6Rules(std::string_view text)
{
    TIPv6RulesRead read;
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    for (std::size_t lineNumber = 1; !text.empty(); ++lineNumber) {
        const auto end = std::min(text.find('\n'), text.size());
        auto line = WithoutComment(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.find_first_not_of(" \t\r") == std::string_view::npos)
            continue;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        auto rule = ParseIPv6RuleLine(line);
        if (rule && read.Rules.size() < kMaxRuleCount)
            read.Rules.push_back(std::move(*rule));
        else
            CountDamaged(read.Damaged, lineNumber);
    }
    return read;
}

std::string EncodeIPv6Rules(const TIPv6RuleList& rules)
{
    if (rules.empty())
        return {};
    std::string text =
        "# IPv6 access rules, consulted in order: the first rule matching a client decides.\n"
        "# address <ipv6>[%interface] <rights>   or   prefix <ipv6>[%interface]/<0..128> <rights>\n"
        "# rights: read, write, readwrite or deny\n";
    for (const auto& rule : rules)
        text += IPv6RuleLine(rule) + '\n';
    return text;
}

TIPv6RulesRead LoadIPv6Rules(const std::filesystem::path& file)
{
    const auto text = ReadRulesFile(file, kMaxFileBytes);
    return text ? DecodeIPv6Rules(*text) : TIPv6RulesRead{};
}

void SaveIPv6Rules(const std::filesystem::path& file, const TIPv6RuleList& rules)
{
    ReplaceRulesFile(file, EncodeIPv6Rules(rules));
}
