#include "security/SecurityRulesFile.h"

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <utility>

#include "fileio/AtomicFile.h"

namespace {

constexpr std::size_t kTextFieldSize = 1 + kRuleTextMax;
constexpr std::size_t kAddressOffset = 0;
constexpr std::size_t kMaskOffset = 16;
constexpr std::size_t kKindOffset = 32;
constexpr std::size_t kRightsOffset = 36;

std::string DecodeText(std::string_view field)
{
    const auto length = std::min<std::size_t>(static_cast<unsigned char>(field[0]), kRuleTextMax);
    return std::string(field.substr(1, length));
}

std::int32_t DecodeInt32(std::string_view field)
{
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(field[i]);
    return static_cast<std::int32_t>(value);
}

void EncodeText(std::string& record, std::size_t offset, const std::string& text)
{
    const auto length = std::min(text.size(), kRuleTextMax);
    record[offset] = static_cast<char>(length);
    std::copy_n(text.begin(), length, record.begin() + static_cast<std::ptrdiff_t>(offset + 1));
}

void EncodeInt32(std::string& record, std::size_t offset, std::int32_t value)
{
    auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i, bits >>= 8)
        record[offset + i] = static_cast<char>(bits & 0xFFu);
}

TSecurityRule DecodeRecord(std::string_view record)
{
    TSecurityRule rule;
    rule.Address = DecodeText(record.substr(kAddressOffset, kTextFieldSize));
    rule.Mask = DecodeText(record.substr(kMaskOffset, kTextFieldSize));
    rule.Kind = static_cast<TRuleKind>(DecodeInt32(record.substr(kKindOffset, 4)));
    rule.Rights = static_cast<TAccessRights>(DecodeInt32(record.substr(kRightsOffset, 4)));
    return rule;
}

}  // namespace

TSecurityRuleList DecodeSecurityRules(std::string_view bytes)
{
    TSecurityRuleList rules;
    rules.reserve(bytes.size() / kRuleRecordSize);
    for (; bytes.size() >= kRuleRecordSize; bytes.remove_prefix(kRuleRecordSize))
        rules.push_back(DecodeRecord(bytes.substr(0, kRuleRecordSize)));
    return rules;
}

std::string EncodeSecurityRules(const TSecurityRuleList& rules)
{
    std::string bytes;
    bytes.reserve(rules.size() * kRuleRecordSize);
    for (const auto& rule : rules) {
        std::string record(kRuleRecordSize, '\0');
        EncodeText(record, kAddressOffset, rule.Address);
        EncodeText(record, kMaskOffset, rule.Mask);
        EncodeInt32(record, kKindOffset, rule.Kind);
        EncodeInt32(record, kRightsOffset, rule.Rights);
        bytes += record;
    }
    return bytes;
}

TSecurityRuleList LoadSecurityRules(const std::filesystem::path& file)
{
    // Room for a trailing fragment, which is ignored, beyond the largest allowed list.
    constexpr std::size_t kRulesFileMax = kMaxRuleCount * kRuleRecordSize + kRuleRecordSize - 1;
    const auto bytes = ReadRulesFile(file, kRulesFileMax);
    return bytes ? DecodeSecurityRules(*bytes) : TSecurityRuleList{};
}

void SaveSecurityRules(const std::filesystem::path& file, const TSecurityRuleList& rules)
{
    ReplaceRulesFile(file, EncodeSecurityRules(rules));
}

std::optional<std::string> ReadRulesFile(const std::filesystem::path& file, std::size_t maxBytes)
{
    auto read = ReadWholeFile(file, maxBytes);
    if (read.Outcome == roMissing)
        return std::nullopt;
    if (read.Outcome == roFailed)
        throw ESecurityRulesError("cannot read the rules file " + file.string());
    return std::move(read.Bytes);
}

void ReplaceRulesFile(const std::filesystem::path& file, std::string_view bytes)
{
    try {
        if (bytes.empty())
            RemoveFileIfPresent(file);
        else
            WriteFileAtomically(file, bytes);
    } catch (const std::system_error& error) {
        throw ESecurityRulesError(error.what());
    }
}
