#include "app/IniFile.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

struct TIntegerCase {
    std::string Value;
    std::int32_t Expected;
};

class IniIntegerTest : public testing::TestWithParam<TIntegerCase> {};

class IniFileTest : public testing::Test {
protected:
    TTempDir dir_;
    std::filesystem::path file_ = dir_.Path() / "veltrane.INI";
};

}  // namespace

TEST_P(IniIntegerTest, ReadsDecimalOrHexAndFallsBackOnAnythingElse)
{
    const TIniDocument ini("[TFTP Settings]\nPort=" + GetParam().Value + "\n");
    EXPECT_EQ(ini.ReadInteger("TFTP Settings", "Port", 69), GetParam().Expected)
        << GetParam().Value;
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, IniIntegerTest,
    testing::Values(TIntegerCase{"0x45", 69}, TIntegerCase{"0X1f", 31}, TIntegerCase{"abc", 69},
                    TIntegerCase{"8080", 8080}, TIntegerCase{" 8080 ", 8080},
                    TIntegerCase{"-5", -5}, TIntegerCase{"+7", 7}, TIntegerCase{"0x", 69},
                    TIntegerCase{"0xg1", 69}, TIntegerCase{"12abc", 69}, TIntegerCase{"", 69},
                    TIntegerCase{"2147483647", 2147483647}, TIntegerCase{"2147483648", 69},
                    TIntegerCase{"-2147483648", -2147483647 - 1},
                    TIntegerCase{"-2147483649", 69}, TIntegerCase{"0x80000000", 69},
                    TIntegerCase{"99999999999999999999999", 69}));

TEST_F(IniFileTest, BooleansAreIntegersWhereNonZeroIsTrue)
{
    const TIniDocument ini("[TFTP Settings]\nAutoRefresh=2\nTSize=yes\nRMTransfer=0\n");
    EXPECT_TRUE(ini.ReadBool("TFTP Settings", "AutoRefresh", false));
    EXPECT_FALSE(ini.ReadBool("TFTP Settings", "TSize", false));
    EXPECT_TRUE(ini.ReadBool("TFTP Settings", "TSize", true));
    EXPECT_FALSE(ini.ReadBool("TFTP Settings", "RMTransfer", true));
    EXPECT_TRUE(ini.ReadBool("TFTP Settings", "Missing", true));
}

TEST_F(IniFileTest, SectionAndKeyNamesIgnoreLetterCase)
{
    const TIniDocument ini("[tftp settings]\r\nport=70\r\n[IP SETTINGS]\r\nBIND = 10.0.0.1 \r\n");
    EXPECT_EQ(ini.ReadInteger("TFTP Settings", "Port", 69), 70);
    EXPECT_EQ(ini.ReadString("IP Settings", "Bind", "All"), "10.0.0.1");
}

TEST_F(IniFileTest, KeyIsLookedUpOnlyInItsOwnSection)
{
    const TIniDocument ini("Port=1\n[Logging]\nPort=2\n;Port=3\n[TFTP Settings]\nLog=1\n");
    EXPECT_EQ(ini.ReadInteger("TFTP Settings", "Port", 69), 69);
    EXPECT_EQ(ini.ReadInteger("Logging", "Port", 69), 2);
}

TEST_F(IniFileTest, TextIsReadUnquotedAndCutAt2047Characters)
{
    const std::string longText(3000, 'x');
    const TIniDocument ini("[A]\nq=\"quoted\"\nlong=" + longText + "\nempty=\n");
    EXPECT_EQ(ini.ReadString("A", "q", ""), "\"quoted\"");
    EXPECT_EQ(ini.ReadString("A", "long", ""), longText.substr(0, 2047));
    EXPECT_EQ(ini.ReadString("A", "empty", "default"), "");
}

TEST_F(IniFileTest, WritingOneKeyKeepsEveryOtherLine)
{
    const std::string before = "; written by hand\r\n[General]\r\nTipsOnStartUp=1\r\n\r\n"
                               "[tftp settings]\r\nport = 70\r\nCustom=keep me\r\n";
    TIniDocument ini(before);

    ini.Write("TFTP Settings", "Port", "69");

    EXPECT_EQ(ini.Text(), "; written by hand\r\n[General]\r\nTipsOnStartUp=1\r\n\r\n"
                          "[tftp settings]\r\nPort=69\r\nCustom=keep me\r\n");
}

TEST_F(IniFileTest, NewKeyFollowsTheLastKeyOfItsSectionAndNewSectionGoesLast)
{
    TIniDocument ini("[General]\nTipsOnStartUp=1\n\n; the server\n[TFTP Settings]\nPort=69");

    ini.Write("General", "Extra", "x");
    ini.Write("Logging", "Log", "1");

    EXPECT_EQ(ini.Text(), "[General]\nTipsOnStartUp=1\nExtra=x\n\n; the server\n"
                          "[TFTP Settings]\nPort=69\n[Logging]\nLog=1\n");
}

TEST_F(IniFileTest, ByteOrderMarkBeforeTheFirstSectionIsKeptAndNotPartOfTheName)
{
    TIniDocument ini("\xEF\xBB\xBF[General]\nTipsOnStartUp=0\n");
    EXPECT_FALSE(ini.ReadBool("General", "TipsOnStartUp", true));
    ini.Write("General", "TipsOnStartUp", "1");
    EXPECT_EQ(ini.Text(), "\xEF\xBB\xBF[General]\nTipsOnStartUp=1\n");
}

TEST_F(IniFileTest, MissingFileReadsAsDefaultsAndIsNotCreated)
{
    const TIniFile ini(file_);
    EXPECT_EQ(ini.ReadInteger("TFTP Settings", "Port", 69), 69);
    EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(IniFileTest, WriteCreatesTheFileAndKeepsForeignLinesOnDisk)
{
    dir_.WriteFile("veltrane.INI", "[Mine]\nKeep=1\n");
    TIniFile ini(file_);

    ini.WriteValues({{"TFTP Settings", "Port", "70"}, {"TFTP Settings", "Timeout", "5"}});

    EXPECT_EQ(TTempDir::ReadFile(file_), "[Mine]\nKeep=1\n[TFTP Settings]\nPort=70\nTimeout=5\n");
    EXPECT_EQ(ini.ReadInteger("TFTP Settings", "Port", 69), 70);
}

TEST_F(IniFileTest, WriteRereadsTheFileSoOtherWritersLinesSurvive)
{
    TIniFile first(file_);
    TIniFile(file_).WriteBool("General", "TipsOnStartUp", false);

    first.WriteInteger("TFTP Settings", "Port", 70);

    EXPECT_EQ(TTempDir::ReadFile(file_), "[General]\nTipsOnStartUp=0\n[TFTP Settings]\nPort=70\n");
}

TEST_F(IniFileTest, RefusedWriteNamesTheFullPathAndLeavesTheFileWhole)
{
    dir_.WriteFile("veltrane.INI", "[TFTP Settings]\nPort=70\n");
    std::filesystem::create_directory(dir_.Path() / "veltrane.INI.new");
    TIniFile ini(file_);

    try {
        ini.WriteInteger("TFTP Settings", "Port", 71);
        FAIL() << "the write was not refused";
    } catch (const ESettingsWriteError& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + file_.string());
    }
    EXPECT_EQ(TTempDir::ReadFile(file_), "[TFTP Settings]\nPort=70\n");
}

TEST_F(IniFileTest, ValueWithALineBreakIsRefusedSoItCannotAddKeys)
{
    TIniFile ini(file_);
    EXPECT_THROW(ini.WriteString("Lasted Saved", "File", "/a\n[TFTP Settings]\nSecurityOn=0"),
                 ESettingsWriteError);
    EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(IniFileTest, OversizedFileReadsAsDefaultsAndIsNeverOverwritten)
{
    const std::string huge =
        "[TFTP Settings]\nPort=70\n" + std::string(TIniFile::kMaxFileBytes, ';');
    dir_.WriteFile("veltrane.INI", huge);
    TIniFile ini(file_);

    EXPECT_EQ(ini.ReadInteger("TFTP Settings", "Port", 69), 69);
    EXPECT_THROW(ini.WriteInteger("TFTP Settings", "Port", 71), ESettingsWriteError);
    EXPECT_EQ(TTempDir::ReadFile(file_), huge);
}

TEST_F(IniFileTest, SymbolicLinkStaysALinkAfterAWrite)
{
    const auto target = dir_.WriteFile("real.INI", "[A]\nx=1\n");
    std::filesystem::create_symlink(target, file_);

    TIniFile(file_).WriteString("A", "x", "2");

    EXPECT_TRUE(std::filesystem::is_symlink(file_));
    EXPECT_EQ(TTempDir::ReadFile(target), "[A]\nx=2\n");
}
