#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// The text of a settings (INI) file held line by line. A line "[Name]" opens a section and
/// a line "Key=Value" gives a value; section and key names match without regard to ASCII
/// letter case, blanks around names and values are ignored, and a line beginning with ";"
/// is a comment. Changing one value rewrites that one line (or adds it) and keeps every
/// other line, comment and line ending exactly. A plain value; no I/O.
class TIniDocument {
public:
    /// Longest value a read returns; longer values are cut.
    static constexpr std::size_t kValueMax = 2047;

    TIniDocument() = default;
    /// Splits `text` into lines; LF and CR LF endings are both understood.
    explicit TIniDocument(std::string_view text);

    /// The value, cut at kValueMax characters, or `fallback` when the key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    /// A decimal integer, or hexadecimal after "0x"/"0X"; `fallback` when the key is
    /// missing or its value is not a valid signed 32-bit integer.
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    /// An integer where any non-zero value is true; `fallback` when missing or invalid.
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

    /// Sets one value: rewrites the key's line, or adds the key after the last key of its
    /// section, or adds the section at the end. `value` must hold no CR, LF or NUL.
    void Write(std::string_view section, std::string_view key, std::string_view value);

    /// The whole text, every untouched line as it was read.
    std::string Text() const;

private:
    struct TLine {
        std::string Content;
        std::string_view Ending;  // "", "\n" or "\r\n", always a literal
    };

    std::string_view LineText(std::size_t index) const;
    std::optional<std::size_t> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(std::string_view section, std::string_view key) const;
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    std::size_t SectionEnd(std::size_t header) const;
    void Insert(std::size_t position, std::string content);

    std::vector<TLine> lines_;
    std::string_view newLine_ = "\n";  // the file's own line ending, for added lines
    bool byteOrderMark_ = false;  // a UTF-8 mark before the first line, kept but not parsed
};

/// The integer a settings value stands for, when it is a valid signed 32-bit one.
std::optional<std::int32_t> ParseIniInteger(std::string_view text);
