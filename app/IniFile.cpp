#include "app/IniFile.h"

#include <system_error>
#include <utility>

#include "fileio/AtomicFile.h"

namespace {

bool Storable(std::string_view value)
{
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace

ESettingsWriteError::ESettingsWriteError(const std::filesystem::path& file)
    : std::runtime_error("Unable to write to " + file.string())
{
}

TIniFile::TIniFile(std::filesystem::path file) : file_(std::move(file))
{
    auto read = ReadWholeFile(file_, kMaxFileBytes);
    if (read.Outcome == roRead)
        document_ = TIniDocument(read.Bytes);
    unreadable_ = read.Outcome == roFailed;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) const
{
    return document_.ReadString(section, key, fallback);
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                                   std::int32_t fallback) const
{
    return document_.ReadInteger(section, key, fallback);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const
{
    return document_.ReadBool(section, key, fallback);
}

void TIniFile::WriteValues(const std::vector<TIniValue>& values)
{
    for (const auto& value : values) {
        if (!Storable(value.Value))
            throw ESettingsWriteError(file_);
    }
    // The file as it is now, so that lines another writer added since we read it survive.
    const auto current = ReadWholeFile(file_, kMaxFileBytes);
    if (current.Outcome == roFailed)
        throw ESettingsWriteError(file_);
    TIniDocument document(current.Bytes);
    for (const auto& value : values)
        document.Write(value.Section, value.Key, value.Value);
    try {
        WriteFileAtomically(file_, document.Text());
    } catch (const std::system_error&) {
        throw ESettingsWriteError(file_);
    }
    document_ = std::move(document);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    WriteValues({{std::string(section), std::string(key), std::string(value)}});
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}
