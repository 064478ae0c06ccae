#include "app/ProgramPaths.h"

#include <system_error>

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

}  // namespace

TProgramPaths::TProgramPaths(const std::filesystem::path& programFolder)
    : folder_(Normalised(programFolder))
{
}

TProgramPaths TProgramPaths::ForExecutable()
{
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || executable.empty())
        return TProgramPaths(std::filesystem::current_path(error));
    return TProgramPaths(executable.parent_path());
}

std::filesystem::path TProgramPaths::SettingsFile() const
{
    return folder_ / "veltrane.INI";
}

std::filesystem::path TProgramPaths::RulesFile() const
{
    return folder_ / "veltrane.SEC";
}

std::string TProgramPaths::DefaultLogFolder() const
{
    std::string text = folder_.string();
    if (!text.empty() && text.back() == '/')
        text.pop_back();
    return text;
}
