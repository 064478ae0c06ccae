#include "app/ProgramPaths.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::filesystem::path Normalised(const std::filesystem::path& folder)
{
    std::error_code error;
    auto absolute = std::filesystem::absolute(folder, error);
    if (error)
        absolute = folder;
    auto normal = absolute.lexically_normal();
    // "/a/b/" normalises to "/a/b/" with an empty last element; the folder is "/a/b".
    if (!normal.has_filename() && normal.has_relative_path())
        normal = normal.parent_path();
    return normal;
}

std::optional<std::string> Variable(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

std::optional<std::string> AccountHome()
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr)
        return std::nullopt;
    return std::string(found->pw_dir);
}

bool IsAbsoluteText(const std::optional<std::string>& text)
{
    return text && !text->empty() && text->front() == '/';
}

std::optional<std::filesystem::path> UserConfigFolder(const TUserEnvironment& environment)
{
    // The XDG rules ignore a relative XDG_CONFIG_HOME as if it were unset.
    if (IsAbsoluteText(environment.XdgConfigHome))
        return std::filesystem::path(*environment.XdgConfigHome) / "veltrane";
    if (IsAbsoluteText(environment.Home))
        return std::filesystem::path(*environment.Home) / ".config" / "veltrane";
    return std::nullopt;
}

bool IsFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    return std::filesystem::is_directory(folder, error);
}

bool HoldsSettingsFile(const std::filesystem::path& folder)
{
    std::error_code error;
    return std::filesystem::exists(folder / "veltrane.INI", error);
}

}  // namespace

TUserEnvironment TUserEnvironment::Current()
{
    TUserEnvironment environment;
    environment.XdgConfigHome = Variable("XDG_CONFIG_HOME");
    environment.Home = Variable("HOME");
    if (!environment.Home || environment.Home->empty())
        environment.Home = AccountHome();
    return environment;
}

TProgramPaths::TProgramPaths(const std::filesystem::path& programFolder)
    : folder_(Normalised(programFolder))
{
}

TProgramPaths TProgramPaths::ForExecutable()
{
    const auto executable = ExecutableFile();
    if (executable.empty()) {
        std::error_code error;
        return TProgramPaths(std::filesystem::current_path(error));
    }
    return TProgramPaths(executable.parent_path());
}

TProgramPaths TProgramPaths::Choose(const std::optional<std::string>& configDir,
                                    const std::filesystem::path& executableFolder,
                                    const TUserEnvironment& environment)
{
    if (configDir)
        return TProgramPaths(*configDir);
    if (HoldsSettingsFile(executableFolder))
        return TProgramPaths(executableFolder);
    if (const auto folder = UserConfigFolder(environment))
        return TProgramPaths(*folder);
    return TProgramPaths(executableFolder);
}

TProgramPaths TProgramPaths::ForCommandLine(const std::optional<std::string>& configDir)
{
    return Choose(configDir, ForExecutable().ProgramFolder(), TUserEnvironment::Current());
}

std::filesystem::path TProgramPaths::ExecutableFile()
{
    std::error_code error;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return executable;
}

std::filesystem::path TProgramPaths::SettingsFile() const
{
    return folder_ / "veltrane.INI";
}

std::filesystem::path TProgramPaths::RulesFile() const
{
    return folder_ / "veltrane.SEC";
}

std::filesystem::path TProgramPaths::IPv6RulesFile() const
{
    return folder_ / "veltrane.SE6";
}

std::string TProgramPaths::DefaultLogFolder() const
{
    std::string text = folder_.string();
    if (!text.empty() && text.back() == '/')
        text.pop_back();
    return text;
}

bool TProgramPaths::EnsureProgramFolder() const
{
    if (IsFolder(folder_))
        return true;
    // Each missing level from the top down, so parents made here are private too.
    std::filesystem::path level;
    for (const auto& part : folder_) {
        level /= part;
        if (!IsFolder(level) && ::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return IsFolder(folder_);
}

std::filesystem::path ManualFile(const std::filesystem::path& executableFolder)
{
    const std::filesystem::path besideExecutable = executableFolder / "manual.html";
    const std::filesystem::path installed =
        executableFolder.parent_path() / "share" / "doc" / "veltrane" / "manual.html";
    std::error_code error;
    if (!std::filesystem::is_regular_file(besideExecutable, error) &&
        std::filesystem::is_regular_file(installed, error))
        return installed;
    return besideExecutable;
}
