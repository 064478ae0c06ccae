#include "ui/config/AutostartEntry.h"

#include <cstdlib>
#include <string_view>
#include <system_error>

#include "fileio/AtomicFile.h"

namespace {

constexpr char kEntryFileName[] = "veltrane.desktop";

std::filesystem::path AbsoluteEnvironmentPath(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr)
        return {};
    std::filesystem::path path(value);
    return path.is_absolute() ? path : std::filesystem::path();
}

bool HasControlCharacter(std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return true;
    }
    return false;
}

/// The path as one double-quoted argument of an Exec line: inside the quotes '"', '`', '$'
/// and '\' take a backslash, and '%' is doubled because it starts a field code.
std::string QuotedExecArgument(std::string_view path)
{
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

/// A desktop entry value keeps a backslash only when it is doubled.
std::string EscapedEntryValue(std::string_view value)
{
    std::string escaped;
    for (const char c : value) {
        if (c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

TAutostartOutcome RemoveEntry(const std::filesystem::path& file)
{
    try {
        RemoveFileIfPresent(file);
        return TAutostartOutcome::Done;
    } catch (const std::system_error&) {
        return TAutostartOutcome::Refused;
    }
}

TAutostartOutcome WriteEntry(const std::filesystem::path& folder,
                             const std::filesystem::path& executable)
{
    const std::string text = AutostartEntryText(executable);
    if (text.empty())
        return TAutostartOutcome::Refused;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return TAutostartOutcome::FolderUnavailable;
    try {
        WriteFileAtomically(folder / kEntryFileName, text);
        return TAutostartOutcome::Done;
    } catch (const std::system_error&) {
        return TAutostartOutcome::Refused;
    }
}

}  // namespace

std::filesystem::path DefaultAutostartFolder()
{
    auto configHome = AbsoluteEnvironmentPath("XDG_CONFIG_HOME");
    if (configHome.empty()) {
        const auto home = AbsoluteEnvironmentPath("HOME");
        if (home.empty())
            return {};
        configHome = home / ".config";
    }
    return configHome / "autostart";
}

std::string AutostartEntryText(const std::filesystem::path& executable)
{
    const std::string path = executable.string();
    if (HasControlCharacter(path))
        return {};
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Veltrane Desktop Pro\n"
           "Exec=" + EscapedEntryValue(QuotedExecArgument(path)) + " -cm\n"
           "Terminal=false\n";
}

TAutostartOutcome WriteAutostartEntry(bool enabled, const std::filesystem::path& executable,
                                      const std::filesystem::path& autostartFolder)
{
    if (autostartFolder.empty())
        return TAutostartOutcome::FolderUnavailable;
    if (!enabled)
        return RemoveEntry(autostartFolder / kEntryFileName);
    return WriteEntry(autostartFolder, executable);
}

TAutostartOutcome WriteAutostartEntry(bool enabled)
{
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return TAutostartOutcome::FolderUnavailable;
    return WriteAutostartEntry(enabled, executable, DefaultAutostartFolder());
}
