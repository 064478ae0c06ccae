#include "security/SecurityRulesFile.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

using namespace std::string_literals;

class SecurityRulesFileTest : public testing::Test {
protected:
    TTempDir dir_;
    std::filesystem::path file_ = dir_.Path() / "veltrane.SEC";
};

/// One record as the file holds it, built by hand from the layout.
std::string Record(const std::string& address, const std::string& mask, char kind, char rights)
{
    std::string record(40, '\0');
    record[0] = static_cast<char>(address.size());
    record.replace(1, address.size(), address);
    record[16] = static_cast<char>(mask.size());
    record.replace(17, mask.size(), mask);
    record[32] = kind;
    record[36] = rights;
    return record;
}

}  // namespace

TEST_F(SecurityRulesFileTest, WritesFortyLittleEndianBytesPerRuleInOrder)
{
    const TSecurityRuleList rules{{"10.0.0.5", "255.255.255.255", rkAddress, arRead},
                                  {"192.168.1.0", "255.255.255.0", rkSubnet, arReadWrite}};

    SaveSecurityRules(file_, rules);

    EXPECT_EQ(TTempDir::ReadFile(file_), Record("10.0.0.5", "255.255.255.255", 1, 1)
                                             + Record("192.168.1.0", "255.255.255.0", 2, 4));
    EXPECT_EQ(LoadSecurityRules(file_), rules);
}

TEST_F(SecurityRulesFileTest, KeepsNegativeAndLargeIntegersThroughARoundTrip)
{
    const TSecurityRuleList rules{{"a", "b", static_cast<TRuleKind>(-2),
                                   static_cast<TAccessRights>(0x01020304)}};
    SaveSecurityRules(file_, rules);
    const auto bytes = TTempDir::ReadFile(file_);
    EXPECT_EQ(bytes.substr(32, 8), "\xFE\xFF\xFF\xFF\x04\x03\x02\x01"s);
    EXPECT_EQ(LoadSecurityRules(file_), rules);
}

TEST_F(SecurityRulesFileTest, TrailingFragmentIsIgnored)
{
    dir_.WriteFile("veltrane.SEC", Record("10.0.0.5", "255.255.255.255", 1, 3) + "x");

    const auto rules = LoadSecurityRules(file_);

    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].Address, "10.0.0.5");
    EXPECT_EQ(rules[0].Rights, arDeny);
}

TEST_F(SecurityRulesFileTest, EmptyOrMissingFileHoldsNoRules)
{
    EXPECT_TRUE(LoadSecurityRules(file_).empty());
    dir_.WriteFile("veltrane.SEC", "");
    EXPECT_TRUE(LoadSecurityRules(file_).empty());
}

TEST_F(SecurityRulesFileTest, ReaderIgnoresBytesBeyondTheLengthAndCapsItAtFifteen)
{
    auto record = Record("10.0.0.1", "255.0.0.0", 2, 1);
    record.replace(9, 3, "zzz");  // filler after the 8 counted address characters
    record[16] = static_cast<char>(200);
    record.replace(17, 15, "255.255.255.255");
    dir_.WriteFile("veltrane.SEC", record);

    const auto rules = LoadSecurityRules(file_);

    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].Address, "10.0.0.1");
    EXPECT_EQ(rules[0].Mask, "255.255.255.255");
}

TEST_F(SecurityRulesFileTest, WriterCutsLongTextsAndZeroesUnusedBytes)
{
    SaveSecurityRules(file_, {{"1234567890123456789", "", rkSubnet, arRead}});
    EXPECT_EQ(TTempDir::ReadFile(file_), Record("123456789012345", "", 2, 1));
}

TEST_F(SecurityRulesFileTest, EmptyListDeletesTheFile)
{
    SaveSecurityRules(file_, {{"10.0.0.5", "255.255.255.255", rkAddress, arRead}});
    SaveSecurityRules(file_, {});
    EXPECT_FALSE(std::filesystem::exists(file_));
    EXPECT_NO_THROW(SaveSecurityRules(file_, {}));
}

TEST_F(SecurityRulesFileTest, RefusedWriteThrowsAndLeavesTheOldFileWhole)
{
    const TSecurityRuleList old{{"10.0.0.5", "255.255.255.255", rkAddress, arRead}};
    SaveSecurityRules(file_, old);
    // A folder where the temporary file must go makes the platform refuse the write.
    std::filesystem::create_directory(dir_.Path() / "veltrane.SEC.new");

    EXPECT_THROW(SaveSecurityRules(file_, {{"10.0.0.6", "", rkAddress, arDeny}}),
                 ESecurityRulesError);

    EXPECT_EQ(LoadSecurityRules(file_), old);
}

TEST_F(SecurityRulesFileTest, FileThatIsNotARegularFileCannotBeLoaded)
{
    std::filesystem::create_directory(file_);
    EXPECT_THROW(LoadSecurityRules(file_), ESecurityRulesError);
    EXPECT_THROW(SaveSecurityRules(file_, {}), ESecurityRulesError);
}

TEST_F(SecurityRulesFileTest, OversizedFileIsRefusedNotRead)
{
    std::filesystem::resize_file(dir_.WriteFile("veltrane.SEC", ""),
                                 (kMaxRuleCount + 1) * kRuleRecordSize);
    EXPECT_THROW(LoadSecurityRules(file_), ESecurityRulesError);
}
