#include "log/LogLine.h"

#include <array>

namespace {

constexpr std::string_view kTextSeparator = "    ";

bool IsControlByte(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F;
}

bool NeedsCsvQuotes(std::string_view field)
{
    return field.find_first_of(",\"\r\n") != std::string_view::npos;
}

std::string JoinFields(const std::array<std::string, 4>& fields, std::string_view separator)
{
    std::string line = fields[0];
    for (std::size_t i = 1; i < fields.size(); ++i) {
        line += separator;
        line += fields[i];
    }
    return line;
}

}  // namespace

std::string EscapeControlBytes(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (!IsControlByte(byte)) {
            escaped += c;
            continue;
        }
        escaped += "\\x";
        escaped += kHex[byte >> 4];
        escaped += kHex[byte & 0x0F];
    }
    return escaped;
}

std::string CsvField(std::string_view text)
{
    std::string field = EscapeControlBytes(text);
    if (!NeedsCsvQuotes(field))
        return field;
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string FormatTextLine(const TActivityEntry& entry)
{
    return JoinFields({EscapeControlBytes(entry.DateTime), EscapeControlBytes(entry.FileName),
                       EscapeControlBytes(entry.RemoteIP), EscapeControlBytes(entry.Status)},
                      kTextSeparator);
}

std::string FormatCsvLine(const TActivityEntry& entry)
{
    return JoinFields({CsvField(entry.DateTime), CsvField(entry.FileName),
                       CsvField(entry.RemoteIP), CsvField(entry.Status)},
                      ",");
}

std::string CsvHeaderLine()
{
    return "Date/Time,Filename,Remote IP Address,Status";
}

std::string FormatStatusLine(const TActivityEntry& entry)
{
    return EscapeControlBytes(entry.Status);
}
