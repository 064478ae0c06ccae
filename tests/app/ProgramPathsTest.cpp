#include "app/ProgramPaths.h"

#include <filesystem>

#include <gtest/gtest.h>

TEST(ProgramPathsTest, SettingsAndRulesFilesLieInTheProgramFolder)
{
    const TProgramPaths paths("/opt/veltrane/bin/");
    EXPECT_EQ(paths.SettingsFile(), "/opt/veltrane/bin/veltrane.INI");
    EXPECT_EQ(paths.RulesFile(), "/opt/veltrane/bin/veltrane.SEC");
    EXPECT_EQ(paths.DefaultLogFolder(), "/opt/veltrane/bin");
}

TEST(ProgramPathsTest, RelativeConfigFolderBecomesAFullPath)
{
    const TProgramPaths paths("conf/./x/..");
    EXPECT_EQ(paths.ProgramFolder(), std::filesystem::current_path() / "conf");
    EXPECT_EQ(paths.SettingsFile(), std::filesystem::current_path() / "conf" / "veltrane.INI");
}

TEST(ProgramPathsTest, RootFolderGivesAnEmptyLogFolderText)
{
    const TProgramPaths paths("/");
    EXPECT_EQ(paths.SettingsFile(), "/veltrane.INI");
    EXPECT_EQ(paths.DefaultLogFolder(), "");
}

TEST(ProgramPathsTest, ExecutableFolderHoldsTheRunningProgram)
{
    const auto paths = TProgramPaths::ForExecutable();
    EXPECT_TRUE(std::filesystem::exists(paths.ProgramFolder() / "app_settings_tests"));
}
