#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/IniDocument.h"

/// A write to the settings file that the platform refused; what() is exactly
/// "Unable to write to <full path of the file>".
class ESettingsWriteError : public std::runtime_error {
public:
    explicit ESettingsWriteError(const std::filesystem::path& file);
};

/// One value to write: section, key and the value's text.
struct TIniValue {
    std::string Section;
    std::string Key;
    std::string Value;
};

/// A settings file on disk. Reading takes the file as it is when the object is made; a file
/// that is missing, unreadable or unreasonably large reads as empty, so every read gives its
/// default, and reading never creates the file. Writing rereads the file, changes only the
/// given keys and replaces the file atomically. Main thread only.
class TIniFile {
public:
    /// Settings files are a few kilobytes; anything beyond this is not one.
    static constexpr std::size_t kMaxFileBytes = 1024 * 1024;

    /// `file` should be a full path: it is the text of the write failure.
    explicit TIniFile(std::filesystem::path file);

    const std::filesystem::path& FileName() const { return file_; }
    /// The file exists but could not be read (unreadable, not a regular file, too large);
    /// every read then gives its default.
    bool Unreadable() const { return unreadable_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

    /// Writes the values in order in one replacement of the file, keeping every other line.
    /// Throws ESettingsWriteError, leaving the file as it was, when the file exists but
    /// cannot be read, when the platform refuses the write, or when a value holds a line
    /// break or NUL that the line-based file cannot keep.
    void WriteValues(const std::vector<TIniValue>& values);

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    /// Booleans are stored as "1" and "0".
    void WriteBool(std::string_view section, std::string_view key, bool value);

private:
    std::filesystem::path file_;
    TIniDocument document_;
    bool unreadable_ = false;
};
