#pragma once

#include <filesystem>
#include <optional>
#include <string>

/// Which folder holds the settings file, the rules file and the default log folder when
/// the operator names none with --config-dir.
enum class TFolderRule {
    BesideExecutable,  // a portable build: the executable's own folder
    UserConfig         // an installed build: $XDG_CONFIG_HOME/veltrane, or ~/.config/veltrane
};

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

    /// The folder named with --config-dir when there is one, otherwise the one `rule` names.
    /// The user's configuration folder follows the XDG base directory rules: an absolute
    /// XDG_CONFIG_HOME, else "<home>/.config"; without any home it is the executable's folder.
    static TProgramPaths Choose(const std::optional<std::string>& configDir, TFolderRule rule,
                                const TUserEnvironment& environment);

    /// Choose() with the rule this program was built with and the process's environment.
    static TProgramPaths ForCommandLine(const std::optional<std::string>& configDir);

    /// BesideExecutable unless the build was configured with VELTRANE_PORTABLE off.
    static TFolderRule BuiltFolderRule();

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
