#include "app/IniDocument.h"

#include <initializer_list>
#include <limits>
#include <utility>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

/// The name of a section header line "[Name]", blanks trimmed.
std::optional<std::string_view> SectionName(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

struct TKeyLine {
    std::string_view Key;
    std::string_view Value;
};

/// The key and value of a "Key=Value" line; comments and lines without "=" hold none.
std::optional<TKeyLine> KeyLine(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() == ';')
        return std::nullopt;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    const auto key = Trim(line.substr(0, equals));
    if (key.empty())
        return std::nullopt;
    return TKeyLine{key, Trim(line.substr(equals + 1))};
}

std::optional<unsigned> DigitValue(char c, unsigned base)
{
    unsigned value = base;
    if (c >= '0' && c <= '9')
        value = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
        value = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
        value = static_cast<unsigned>(c - 'A' + 10);
    if (value >= base)
        return std::nullopt;
    return value;
}

/// Digits in `base` up to `limit`; nothing for no digits, a stray character or overflow.
std::optional<std::int64_t> ParseDigits(std::string_view digits, unsigned base, std::int64_t limit)
{
    if (digits.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : digits) {
        const auto digit = DigitValue(c, base);
        if (!digit)
            return std::nullopt;
        value = value * base + *digit;
        if (value > limit)
            return std::nullopt;
    }
    return value;
}

/// The parts one after another. Appending rather than "[" + text + "]" keeps GCC 12's
/// optimiser from warning about an overlapping copy that cannot happen.
std::string Joined(std::initializer_list<std::string_view> parts)
{
    std::string joined;
    for (const std::string_view part : parts)
        joined += part;
    return joined;
}

}  // namespace

TIniDocument::TIniDocument(std::string_view text)
{
    bool endingSeen = false;
    while (!text.empty()) {
        const auto newLine = text.find('\n');
        TLine line;
        line.Content = std::string(text.substr(0, newLine));
        if (newLine != std::string_view::npos) {
            line.Ending = "\n";
            if (!line.Content.empty() && line.Content.back() == '\r') {
                line.Content.pop_back();
                line.Ending = "\r\n";
            }
            if (!endingSeen)
                newLine_ = line.Ending;
            endingSeen = true;
        }
        text.remove_prefix(newLine == std::string_view::npos ? text.size() : newLine + 1);
        lines_.push_back(std::move(line));
    }
    if (!lines_.empty() && lines_.front().Content.starts_with(kByteOrderMark))
        byteOrderMark_ = true;
}

std::string_view TIniDocument::LineText(std::size_t index) const
{
    std::string_view content = lines_[index].Content;
    if (index == 0 && byteOrderMark_)
        content.remove_prefix(kByteOrderMark.size());
    return content;
}

std::optional<std::size_t> TIniDocument::FindSection(std::string_view section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(LineText(i));
        if (name && SameName(*name, section))
            return i;
    }
    return std::nullopt;
}

std::size_t TIniDocument::SectionEnd(std::size_t header) const
{
    std::size_t i = header + 1;
    while (i < lines_.size() && !SectionName(LineText(i)))
        ++i;
    return i;
}

std::optional<std::size_t> TIniDocument::FindKey(std::string_view section,
                                                 std::string_view key) const
{
    const auto header = FindSection(section);
    if (!header)
        return std::nullopt;
    const auto end = SectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        const auto line = KeyLine(LineText(i));
        if (line && SameName(line->Key, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> TIniDocument::Value(std::string_view section,
                                              std::string_view key) const
{
    const auto index = FindKey(section, key);
    if (!index)
        return std::nullopt;
    return std::string(KeyLine(LineText(*index))->Value.substr(0, kValueMax));
}

std::string TIniDocument::ReadString(std::string_view section, std::string_view key,
                                     std::string_view fallback) const
{
    auto value = Value(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

std::int32_t TIniDocument::ReadInteger(std::string_view section, std::string_view key,
                                       std::int32_t fallback) const
{
    const auto value = Value(section, key);
    if (!value)
        return fallback;
    return ParseIniInteger(*value).value_or(fallback);
}

bool TIniDocument::ReadBool(std::string_view section, std::string_view key, bool fallback) const
{
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniDocument::Write(std::string_view section, std::string_view key, std::string_view value)
{
    std::string content = Joined({key, "=", value});
    if (const auto index = FindKey(section, key)) {
        lines_[*index].Content = std::move(content);
        return;
    }
    const auto header = FindSection(section);
    if (!header) {
        Insert(lines_.size(), Joined({"[", section, "]"}));
        Insert(lines_.size(), std::move(content));
        return;
    }
    // After the section's last key, so comments and blank lines that introduce the next
    // section stay with it.
    std::size_t position = *header + 1;
    const auto end = SectionEnd(*header);
    for (std::size_t i = position; i < end; ++i) {
        if (KeyLine(LineText(i)))
            position = i + 1;
    }
    Insert(position, std::move(content));
}

void TIniDocument::Insert(std::size_t position, std::string content)
{
    if (position > 0 && lines_[position - 1].Ending.empty())
        lines_[position - 1].Ending = newLine_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(position),
                  TLine{std::move(content), newLine_});
}

std::string TIniDocument::Text() const
{
    std::string text;
    for (const auto& line : lines_) {
        text += line.Content;
        text += line.Ending;
    }
    return text;
}

std::optional<std::int32_t> ParseIniInteger(std::string_view text)
{
    constexpr std::int64_t maxValue = std::numeric_limits<std::int32_t>::max();
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const auto value = ParseDigits(text.substr(2), 16, maxValue);
        if (!value)
            return std::nullopt;
        return static_cast<std::int32_t>(*value);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const auto value = ParseDigits(text, 10, negative ? maxValue + 1 : maxValue);
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(negative ? -*value : *value);
}
