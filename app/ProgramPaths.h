#pragma once

#include <filesystem>
#include <string>

/// Where the program keeps its own files: the executable's folder, or the folder the
/// operator named with --config-dir. The one place that computes the settings file, the
/// rules file and the default log folder. A plain value, safe to copy to any thread.
class TProgramPaths {
public:
    /// `programFolder` is made absolute and loses any trailing separator.
    explicit TProgramPaths(const std::filesystem::path& programFolder);

    /// The folder of the running executable; the current folder if the system will not say.
    static TProgramPaths ForExecutable();

    const std::filesystem::path& ProgramFolder() const { return folder_; }
    /// "<folder>/veltrane.INI"
    std::filesystem::path SettingsFile() const;
    /// "<folder>/veltrane.SEC"
    std::filesystem::path RulesFile() const;
    /// The program folder as a folder text without a trailing "/" (the root gives "").
    std::string DefaultLogFolder() const;

private:
    std::filesystem::path folder_;
};
