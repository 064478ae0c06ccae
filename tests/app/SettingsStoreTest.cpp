#include "app/SettingsStore.h"

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "app/IniFile.h"
#include "tests/support/TempDir.h"

namespace {

class SettingsStoreTest : public testing::Test {
protected:
    TTempDir dir_;
    TSettingsStore store_{TProgramPaths(dir_.Path())};

    void WriteSettings(const std::string& text) const { dir_.WriteFile("veltrane.INI", text); }
    std::string SettingsText() const { return TTempDir::ReadFile(dir_.Path() / "veltrane.INI"); }
};

/// The file the dialog writes on its first opening, key by key in its order.
std::string DefaultsFile(const std::string& logFolder)
{
    return "[TFTP Settings]\nPort=69\nBufferSize=8192\nTimeout=3\nAutoStartTFTP=0\n"
           "SecurityOn=0\nLoadOnStartup=0\nRefreshAfterLoad=1\nRemoveDead=0\nAutoRefresh=0\n"
           "AutoRefreshInterval=1\nStartOnStartup=0\nMinOnStartup=0\nRMTransfer=1\nTSize=1\n"
           "ClientTimeout=1\nMaxDLConn=1\nMaxULConn=1\nMaxWindowSize=16\nPortRangeLow=0\n"
           "PortRangeHigh=0\n[IP Settings]\nBind=All\n"
           "[FileAccepting]\nAccept=0\nAddNew=0\nOverwrite=0\nDestDir=\n[Logging]\nLog=0\n"
           "LogFormat=0\nLogLimitOptions=0\nLogLimit=1\nLogSize=100\nLogFolder="
           + logFolder + "\n";
}

}  // namespace

TEST_F(SettingsStoreTest, MissingFileGivesEveryDefaultAndIsNotCreated)
{
    store_.LoadSettings();
    const auto config = store_.Config();

    TConfig expected;
    expected.LogFolder = dir_.Str();
    EXPECT_EQ(*config, expected);
    EXPECT_EQ(config->Bind, "All");
    EXPECT_EQ(config->Port, 69);
    EXPECT_TRUE(config->TipsOnStartUp);
    EXPECT_TRUE(config->LogLimit);
    EXPECT_FALSE(store_.SettingsFileExists());
}

TEST_F(SettingsStoreTest, LoadReadsEverySectionAndFallsBackPerKey)
{
    WriteSettings("[general]\nTipsOnStartUp=0\n[TFTP SETTINGS]\nport=0x45\nBufferSize=abc\n"
                  "AutoRefresh=2\nTSize=yes\nMaxDLConn=12\nMaxULConn=3\n[IP Settings]\n"
                  "Bind=10.0.0.1;10.0.0.2\n[FileAccepting]\nAccept=1\nDestDir=/srv/in\n"
                  "[Logging]\nLogFolder=/var/log/v\nLogSize=0x10\n[Lasted Saved]\nFile=/a.vlt\n");

    store_.LoadSettings();
    const auto config = store_.Config();

    EXPECT_FALSE(config->TipsOnStartUp);
    EXPECT_EQ(config->Port, 69);
    EXPECT_EQ(config->BufferSize, 8192);
    EXPECT_TRUE(config->AutoRefresh);
    EXPECT_TRUE(config->TSize);
    EXPECT_EQ(config->MaxDLConn, 12);
    EXPECT_EQ(config->MaxULConn, 3);
    EXPECT_EQ(config->Bind, "10.0.0.1;10.0.0.2");
    EXPECT_TRUE(config->Accept);
    EXPECT_EQ(config->DestDir, "/srv/in");
    EXPECT_EQ(config->LogFolder, "/var/log/v");
    EXPECT_EQ(config->LogSize, 16);
    EXPECT_EQ(config->LastSavedFile, "/a.vlt");
}

TEST_F(SettingsStoreTest, NumbersTheServerCannotUseReadAsTheirDefaultsAndAreReported)
{
    WriteSettings("[TFTP Settings]\nPort=99999\nBufferSize=0\nTimeout=0\nMaxDLConn=-1\nMaxULConn=0\n");
    EXPECT_EQ(store_.LoadSettings(),
              (std::vector<std::string>{"Application: Invalid value for Port, using 69",
                                        "Application: Invalid value for BufferSize, using 8192",
                                        "Application: Invalid value for Timeout, using 3",
                                        "Application: Invalid value for MaxDLConn, using 1",
                                        "Application: Invalid value for MaxULConn, using 1"}));
    TConfig expected = store_.Defaults();
    EXPECT_EQ(*store_.Config(), expected);

    WriteSettings("[TFTP Settings]\nPort=65535\nBufferSize=65536\nTimeout=1\nMaxDLConn=1\nMaxULConn=1\n");
    EXPECT_TRUE(store_.LoadSettings().empty());
    EXPECT_EQ(store_.Config()->Port, 65535);
    EXPECT_EQ(store_.Config()->BufferSize, 65536);
    WriteSettings("[TFTP Settings]\nPort=1\nBufferSize=512\n");
    EXPECT_TRUE(store_.LoadSettings().empty());
    EXPECT_EQ(store_.Config()->BufferSize, 512);
    WriteSettings("[TFTP Settings]\nPort=0\nBufferSize=65537\nTimeout=-5\n");
    EXPECT_EQ(store_.LoadSettings().size(), 3u);
    EXPECT_EQ(*store_.Config(), expected);
}

TEST_F(SettingsStoreTest, SettingsFileThatCannotBeReadIsReportedAndGivesTheDefaults)
{
    const std::string path = (dir_.Path() / "veltrane.INI").string();
    const std::vector<std::string> reported{"Application: Cannot read " + path + ", using defaults"};
    const TConfig expected = store_.Defaults();
    std::filesystem::create_directory(path);
    EXPECT_EQ(store_.LoadSettings(), reported);
    EXPECT_EQ(*store_.Config(), expected);
    std::filesystem::remove(path);

    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(store_.LoadSettings(), reported);
    std::filesystem::remove(path);

    WriteSettings("[TFTP Settings]\nPort=70\n" + std::string(TIniFile::kMaxFileBytes, ';'));
    EXPECT_EQ(store_.LoadSettings(), reported);
    EXPECT_EQ(*store_.Config(), expected);
    std::filesystem::remove(path);

    EXPECT_TRUE(store_.LoadSettings().empty()) << "a missing file is not a problem";
}

TEST_F(SettingsStoreTest, ReloadReplacesTheRecordWhileOldSnapshotsStayIntact)
{
    WriteSettings("[TFTP Settings]\nPort=70\n");
    store_.LoadSettings();
    const auto old = store_.Config();
    WriteSettings("[TFTP Settings]\nPort=71\n");

    store_.LoadSettings();

    EXPECT_EQ(old->Port, 70);
    EXPECT_EQ(store_.Config()->Port, 71);
}

TEST_F(SettingsStoreTest, DefaultsAreWrittenInTheDialogsKeyOrder)
{
    store_.WriteDefaults();
    EXPECT_EQ(SettingsText(), DefaultsFile(dir_.Str()));
}

TEST_F(SettingsStoreTest, DialogSaveWritesItsKeysInPlaceAndKeepsOthers)
{
    WriteSettings("[General]\nTipsOnStartUp=0\n[TFTP Settings]\nPort=70\nStartOnStartup=1\n"
                  "[Lasted Saved]\nFile=/a.vlt\n");
    TConfig values = store_.Defaults();
    values.Port = 1069;
    values.Bind = "10.0.0.1;10.0.0.2";
    values.MaxULConn = 4;
    values.LogFolder = "/var/log/v";

    store_.WriteConfigurationKeys(values, false);
    store_.LoadSettings();

    auto expected = values;
    expected.TipsOnStartUp = false;
    expected.LastSavedFile = "/a.vlt";
    EXPECT_EQ(*store_.Config(), expected);
    EXPECT_FALSE(store_.ReadStartOnStartup());
    const auto text = SettingsText();
    EXPECT_EQ(text.rfind("[General]\nTipsOnStartUp=0\n[TFTP Settings]\nPort=1069\n", 0), 0u);
    EXPECT_NE(text.find("ClientTimeout=1\nMaxDLConn=1\nMaxULConn=4\nMaxWindowSize=16\nPortRangeLow=0\n"
                        "PortRangeHigh=0\n[Lasted Saved]"),
              std::string::npos);
}

TEST_F(SettingsStoreTest, WindowAndTransferPortsAreReadWithTheOtherKeys)
{
    store_.LoadSettings();
    EXPECT_EQ(store_.Config()->MaxWindowSize, 16);
    EXPECT_EQ(store_.Config()->PortRangeLow, 0);
    EXPECT_EQ(store_.Config()->PortRangeHigh, 0);

    WriteSettings("[tftp settings]\nmaxwindowsize=64\nPortRangeLow=0x4E20\nPortRangeHigh=20009\n");
    store_.LoadSettings();
    EXPECT_EQ(store_.Config()->MaxWindowSize, 64);
    EXPECT_EQ(store_.Config()->PortRangeLow, 20000);
    EXPECT_EQ(store_.Config()->PortRangeHigh, 20009);
}

TEST_F(SettingsStoreTest, UnusableWindowReadsAsDefaultAndUnusableRangeAsNone)
{
    for (const char* window : {"0", "-1", "65", "abc"}) {
        WriteSettings(std::string("[TFTP Settings]\nMaxWindowSize=") + window + "\n");
        EXPECT_EQ(store_.ReadSettingsFile().MaxWindowSize, 16) << window;
    }
    for (const char* window : {"0", "-1", "65"}) {
        WriteSettings(std::string("[TFTP Settings]\nMaxWindowSize=") + window + "\n");
        EXPECT_EQ(store_.ReadCheckedSettingsFile().Problems,
                  std::vector<std::string>{"Application: Invalid value for MaxWindowSize, using 16"})
            << window;
    }
    WriteSettings("[TFTP Settings]\nMaxWindowSize=1\n");
    EXPECT_EQ(store_.ReadSettingsFile().MaxWindowSize, 1);
    struct Row { int low; int high; };
    for (const Row row : {Row{20010, 20000}, Row{1000, 2000}, Row{0, 20000}, Row{20000, 0}, Row{20000, 70000}}) {
        WriteSettings("[TFTP Settings]\nPortRangeLow=" + std::to_string(row.low) + "\nPortRangeHigh=" +
                      std::to_string(row.high) + "\n");
        const TConfig config = store_.ReadSettingsFile();
        EXPECT_EQ(config.PortRangeLow, 0) << row.low << ".." << row.high;
        EXPECT_EQ(config.PortRangeHigh, 0) << row.low << ".." << row.high;
        EXPECT_EQ(store_.ReadCheckedSettingsFile().Problems,
                  std::vector<std::string>{"Application: Invalid value for PortRangeLow, using 0"})
            << row.low << ".." << row.high;
    }
    WriteSettings("[TFTP Settings]\nPortRangeLow=1024\nPortRangeHigh=1024\n");
    EXPECT_EQ(store_.ReadSettingsFile().PortRangeLow, 1024);
}

TEST_F(SettingsStoreTest, LastSavedFileIsWrittenOnlyWhenTheSettingsFileExists)
{
    store_.RecordLastSavedFile("/home/op/list.vlt");
    EXPECT_EQ(store_.Config()->LastSavedFile, "/home/op/list.vlt");
    EXPECT_FALSE(store_.SettingsFileExists());

    WriteSettings("[General]\nTipsOnStartUp=1\n");
    store_.RecordLastSavedFile("/home/op/other.vlt");
    EXPECT_EQ(SettingsText(),
              "[General]\nTipsOnStartUp=1\n[Lasted Saved]\nFile=/home/op/other.vlt\n");
}

TEST_F(SettingsStoreTest, TipsChoiceIsKeptEvenWhenTheWriteIsRefused)
{
    store_.WriteTipsOnStartUp(false);
    EXPECT_EQ(SettingsText(), "[General]\nTipsOnStartUp=0\n");

    std::filesystem::create_directory(dir_.Path() / "veltrane.INI.new");
    EXPECT_THROW(store_.WriteTipsOnStartUp(true), ESettingsWriteError);
    EXPECT_TRUE(store_.Config()->TipsOnStartUp);
    EXPECT_EQ(SettingsText(), "[General]\nTipsOnStartUp=0\n");
}

TEST_F(SettingsStoreTest, RefusedDialogSaveReportsTheSettingsFilePath)
{
    std::filesystem::create_directory(dir_.Path() / "veltrane.INI.new");
    try {
        store_.WriteDefaults();
        FAIL() << "the write was not refused";
    } catch (const ESettingsWriteError& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + dir_.Str() + "/veltrane.INI");
    }
    EXPECT_FALSE(store_.SettingsFileExists());
}

TEST(BindAddressesTest, SplitsTheBindValueIntoEngineAddresses)
{
    using TList = std::vector<std::string>;
    EXPECT_EQ(BindAddresses("All"), (TList{"0.0.0.0", "::"}));
    EXPECT_EQ(BindAddresses("all"), TList{"all"});
    EXPECT_EQ(BindAddresses("10.0.0.1;10.0.0.2;192.168.1.4"),
              (TList{"10.0.0.1", "10.0.0.2", "192.168.1.4"}));
    EXPECT_EQ(BindAddresses("10.0.0.1"), TList{"10.0.0.1"});
    EXPECT_EQ(BindAddresses(""), TList{""});
    EXPECT_EQ(BindAddresses("10.0.0.1;"), (TList{"10.0.0.1", ""}));
}
