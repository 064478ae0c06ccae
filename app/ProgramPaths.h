#pragma once

#include <filesystem>
#include <optional>
#include <string>

/// The parts of the environment the user's configuration folder is found from.
struct TUserEnvironment {
    std::optional<std::string> XdgConfigHome;
    std::optional<std::string> Home;  // HOME, or the account's home folder when HOME is unset

    /// The running process's.
    static TUserEnvironment Current();
};

/// Where the program keeps its own files: the executable's folder, the user's configuration
/// folder, or the folder the operator named with --config-dir. The one place that computes
/// the settings file, the rules file, the default log folder and where the dialogs start.
/// A plain value, safe to copy to any thread.
class TProgramPaths {
public:
    /// `programFolder` is made absolute and loses any trailing separator.
    explicit TProgramPaths(const std::filesystem::path& programFolder);

    /// The folder of the running executable; the current folder if the system will not say.
    static TProgramPaths ForExecutable();

    /// The folder named with --config-dir when there is one; else `executableFolder` when a
    /// "veltrane.INI" already lies there (a portable install keeps its files beside the
    /// program); else the user's configuration folder, "<XDG_CONFIG_HOME>/veltrane" for an
    /// absolute XDG_CONFIG_HOME or "<home>/.config/veltrane"; without any home, the
    /// executable's folder.
    static TProgramPaths Choose(const std::optional<std::string>& configDir,
                                const std::filesystem::path& executableFolder,
                                const TUserEnvironment& environment);

    /// Choose() for the running executable and the process's environment.
    static TProgramPaths ForCommandLine(const std::optional<std::string>& configDir);

    /// The running executable's full path; empty if the system will not say.
    static std::filesystem::path ExecutableFile();

    const std::filesystem::path& ProgramFolder() const { return folder_; }
    /// "<folder>/veltrane.INI"
    std::filesystem::path SettingsFile() const;
    /// "<folder>/veltrane.SEC"
    std::filesystem::path RulesFile() const;
    /// "<folder>/veltrane.SE6", the IPv6 rules beside the rules file
    std::filesystem::path IPv6RulesFile() const;
    /// The program folder as a folder text without a trailing "/" (the root gives "").
    std::string DefaultLogFolder() const;

    /// Makes the program folder, with any missing parent, before a file is written into it;
    /// reading never needs it, so a run that only reads leaves no folder behind. Folders it
    /// makes are private to the user (mode 0700), as the XDG rules ask. True when the folder
    /// exists afterwards.
    bool EnsureProgramFolder() const;

private:
    std::filesystem::path folder_;
};

/// The program's manual: "manual.html" beside the executable, as a build tree has it, or
/// else the installed "<prefix>/share/doc/veltrane/manual.html" for an executable in
/// "<prefix>/bin". The first of them that exists; the one beside the executable when
/// neither does, so that opening it finds nothing.
std::filesystem::path ManualFile(const std::filesystem::path& executableFolder);
