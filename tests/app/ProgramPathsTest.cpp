#include "app/ProgramPaths.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/SettingsStore.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

class ProgramPathsTest : public testing::Test {
protected:
    TTempDir dir_;

    static fs::path ExecutableFolder() { return TProgramPaths::ForExecutable().ProgramFolder(); }

    static unsigned Mode(const fs::path& folder)
    {
        struct stat status {};
        ::stat(folder.c_str(), &status);
        return status.st_mode & 07777u;
    }
};

/// Sets or removes one environment variable for the life of the object.
class TScopedVariable {
public:
    TScopedVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~TScopedVariable()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    TScopedVariable(const TScopedVariable&) = delete;
    TScopedVariable& operator=(const TScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

// --- The files inside the program folder

TEST_F(ProgramPathsTest, SettingsAndRulesFilesLieInTheProgramFolder)
{
    const TProgramPaths paths("/opt/veltrane/bin/");
    EXPECT_EQ(paths.SettingsFile(), "/opt/veltrane/bin/veltrane.INI");
    EXPECT_EQ(paths.RulesFile(), "/opt/veltrane/bin/veltrane.SEC");
    EXPECT_EQ(paths.IPv6RulesFile(), "/opt/veltrane/bin/veltrane.SE6");
    EXPECT_EQ(paths.DefaultLogFolder(), "/opt/veltrane/bin");
}

TEST_F(ProgramPathsTest, RelativeConfigFolderBecomesAFullPath)
{
    const TProgramPaths paths("conf/./x/..");
    EXPECT_EQ(paths.ProgramFolder(), fs::current_path() / "conf");
    EXPECT_EQ(paths.SettingsFile(), fs::current_path() / "conf" / "veltrane.INI");
}

TEST_F(ProgramPathsTest, RootFolderGivesAnEmptyLogFolderText)
{
    const TProgramPaths paths("/");
    EXPECT_EQ(paths.SettingsFile(), "/veltrane.INI");
    EXPECT_EQ(paths.DefaultLogFolder(), "");
}

TEST_F(ProgramPathsTest, ExecutableFolderHoldsTheRunningProgram)
{
    EXPECT_TRUE(fs::exists(ExecutableFolder() / "app_settings_tests"));
    EXPECT_EQ(TProgramPaths::ExecutableFile(), ExecutableFolder() / "app_settings_tests");
}

// --- Which folder: --config-dir, a portable install, or the user's configuration folder

struct TFolderCase {
    const char* Name;
    std::optional<std::string> ConfigDir;
    bool SettingsBesideExecutable;
    std::optional<std::string> XdgConfigHome;
    std::optional<std::string> Home;
    std::optional<std::string> Expected;  // nullopt: the executable's folder
};

class ProgramFolderChoiceTest : public testing::TestWithParam<TFolderCase> {
protected:
    TTempDir executableFolder_;
};

TEST_P(ProgramFolderChoiceTest, ChoosesTheFolderThatHoldsTheSettings)
{
    const TFolderCase& row = GetParam();
    if (row.SettingsBesideExecutable)
        executableFolder_.WriteFile("veltrane.INI", "[General]\nTipsOnStartUp=0\n");
    const TProgramPaths paths = TProgramPaths::Choose(row.ConfigDir, executableFolder_.Path(),
                                                      TUserEnvironment{row.XdgConfigHome, row.Home});
    const fs::path expected = row.Expected ? fs::path(*row.Expected) : executableFolder_.Path();
    EXPECT_EQ(paths.ProgramFolder(), expected);
    EXPECT_EQ(paths.SettingsFile(), expected / "veltrane.INI");
    EXPECT_EQ(paths.RulesFile(), expected / "veltrane.SEC");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProgramFolderChoiceTest,
    testing::Values(
        TFolderCase{"ConfigDirWinsOverSettingsBesideExecutable", "/srv/conf", true, "/x/conf", "/home/u",
                    "/srv/conf"},
        TFolderCase{"ConfigDirWinsOverXdgConfigHome", "/srv/conf", false, "/x/conf", "/home/u", "/srv/conf"},
        TFolderCase{"SettingsBesideExecutableStayInUse", std::nullopt, true, "/x/conf", "/home/u", std::nullopt},
        TFolderCase{"XdgConfigHomeSet", std::nullopt, false, "/x/conf/", "/home/u", "/x/conf/veltrane"},
        TFolderCase{"XdgConfigHomeUnset", std::nullopt, false, std::nullopt, "/home/u",
                    "/home/u/.config/veltrane"},
        TFolderCase{"EmptyXdgConfigHomeCountsAsUnset", std::nullopt, false, "", "/home/u",
                    "/home/u/.config/veltrane"},
        TFolderCase{"RelativeXdgConfigHomeIsIgnored", std::nullopt, false, "rel/conf", "/home/u",
                    "/home/u/.config/veltrane"},
        TFolderCase{"WithoutAnyHomeTheExecutablesFolder", std::nullopt, false, std::nullopt, std::nullopt,
                    std::nullopt}),
    [](const testing::TestParamInfo<TFolderCase>& row) { return std::string(row.param.Name); });

TEST_F(ProgramPathsTest, ConfigDirOverridesTheFolderOfTheRunningProgram)
{
    EXPECT_EQ(TProgramPaths::ForCommandLine(dir_.Str()).ProgramFolder(), dir_.Path());
}

TEST_F(ProgramPathsTest, DefaultLogFolderFollowsTheUserFolder)
{
    const TProgramPaths paths =
        TProgramPaths::Choose(std::nullopt, dir_.Path() / "bin", TUserEnvironment{dir_.Str(), "/home/u"});
    const TSettingsStore store(paths);
    EXPECT_EQ(store.Defaults().LogFolder, (dir_.Path() / "veltrane").string());
}

// --- The environment the user folder comes from

TEST_F(ProgramPathsTest, EnvironmentReadsXdgConfigHomeAndHome)
{
    const TScopedVariable xdg("XDG_CONFIG_HOME", "/x/conf");
    const TScopedVariable home("HOME", "/home/someone");
    const TUserEnvironment environment = TUserEnvironment::Current();
    EXPECT_EQ(environment.XdgConfigHome, "/x/conf");
    EXPECT_EQ(environment.Home, "/home/someone");
}

TEST_F(ProgramPathsTest, EnvironmentWithoutHomeTakesTheAccountsHome)
{
    const TScopedVariable xdg("XDG_CONFIG_HOME", nullptr);
    const TScopedVariable home("HOME", nullptr);
    const passwd* account = ::getpwuid(::getuid());
    ASSERT_NE(account, nullptr);
    const TUserEnvironment environment = TUserEnvironment::Current();
    EXPECT_EQ(environment.XdgConfigHome, std::nullopt);
    EXPECT_EQ(environment.Home, std::string(account->pw_dir));
}

// --- The folder appears on the first write, never on reading

TEST_F(ProgramPathsTest, ReadingFromAMissingUserFolderCreatesNothing)
{
    const fs::path xdg = dir_.Path() / "config";
    const TProgramPaths paths =
        TProgramPaths::Choose(std::nullopt, dir_.Path() / "bin", TUserEnvironment{xdg.string(), "/home/u"});
    TSettingsStore store(paths);
    store.LoadSettings();
    EXPECT_FALSE(store.SettingsFileExists());
    EXPECT_FALSE(store.ReadStartOnStartup());
    EXPECT_FALSE(fs::exists(xdg));
}

TEST_F(ProgramPathsTest, FirstWriteMakesThePrivateFolderAndItsParents)
{
    const fs::path xdg = dir_.Path() / "home" / ".config";
    const TProgramPaths paths =
        TProgramPaths::Choose(std::nullopt, dir_.Path() / "bin", TUserEnvironment{xdg.string(), "/home/u"});
    ASSERT_TRUE(paths.EnsureProgramFolder());
    EXPECT_TRUE(fs::is_directory(xdg / "veltrane"));
    EXPECT_EQ(Mode(xdg), 0700u);
    EXPECT_EQ(Mode(xdg / "veltrane"), 0700u);

    TSettingsStore store(paths);
    store.WriteTipsOnStartUp(false);
    EXPECT_TRUE(store.SettingsFileExists());
}

TEST_F(ProgramPathsTest, ExistingFolderIsLeftAsItIs)
{
    fs::permissions(dir_.Path(), fs::perms(0750));
    const TProgramPaths paths(dir_.Path());
    const fs::path settings = dir_.WriteFile("veltrane.INI", "[General]\nTipsOnStartUp=0\n");
    EXPECT_TRUE(paths.EnsureProgramFolder());
    EXPECT_EQ(Mode(dir_.Path()), 0750u);
    EXPECT_EQ(TTempDir::ReadFile(settings), "[General]\nTipsOnStartUp=0\n");
}

TEST_F(ProgramPathsTest, FileInThePlaceOfTheFolderIsRefusedAndKept)
{
    const fs::path blocker = dir_.WriteFile("config", "not a folder");
    const TProgramPaths paths(blocker / "veltrane");
    EXPECT_FALSE(paths.EnsureProgramFolder());
    EXPECT_EQ(TTempDir::ReadFile(blocker), "not a folder");
}

TEST_F(ProgramPathsTest, ManualIsFoundBesideTheExecutableFirstThenInstalled)
{
    const fs::path bin = dir_.Path() / "bin";
    const fs::path installed = dir_.Path() / "share" / "doc" / "veltrane" / "manual.html";
    fs::create_directories(bin);
    EXPECT_EQ(ManualFile(bin), bin / "manual.html");
    fs::create_directories(installed.parent_path());
    dir_.WriteFile("share/doc/veltrane/manual.html", "<html></html>");
    EXPECT_EQ(ManualFile(bin), installed);
    dir_.WriteFile("bin/manual.html", "<html></html>");
    EXPECT_EQ(ManualFile(bin), bin / "manual.html");
}
