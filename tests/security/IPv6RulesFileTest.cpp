#include "security/IPv6RulesFile.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "security/SecurityRulesFile.h"
#include "tests/support/TempDir.h"

namespace {

TIPv6Rule Rule(const char* address, TRuleKind kind, int length, TAccessRights rights)
{
    return {*ParseIPv6Address(address), length, kind, rights};
}

class IPv6RulesFileTest : public testing::Test {
protected:
    TTempDir dir_;
    std::filesystem::path file_ = dir_.Path() / "veltrane.SE6";
};

}  // namespace

TEST_F(IPv6RulesFileTest, ReadsEveryFormAndRightIgnoringCommentsAndBlankLines)
{
    const std::string text = "\xEF\xBB\xBF# rules for the lab\n"
                             "\n"
                             "address 2001:db8::10 read\n"
                             "  prefix\t2001:db8::/32   write   # the lab network\r\n"
                             "address fe80::1%eth0 readwrite\n"
                             "prefix fe80::%eth1/64 deny\n"
                             "   \t\r\n"
                             "prefix ::/0 read";
    const auto read = DecodeIPv6Rules(text);
    const TIPv6RuleList expected{Rule("2001:db8::10", rkAddress, 128, arRead),
                                 Rule("2001:db8::", rkSubnet, 32, arWrite),
                                 Rule("fe80::1%eth0", rkAddress, 128, arReadWrite),
                                 Rule("fe80::%eth1", rkSubnet, 64, arDeny),
                                 Rule("::", rkSubnet, 0, arRead)};
    EXPECT_EQ(read.Rules, expected);
    EXPECT_EQ(read.Damaged.Count, 0u);
}

TEST_F(IPv6RulesFileTest, DamagedLinesAreSkippedAndCountedOnce)
{
    const std::string text = "address ::1 read\n"         // 1
                             "address ::1\n"              // 2 no rights
                             "address 10.0.0.1 read\n"    // 3 IPv4
                             "prefix 2001:db8:: read\n"   // 4 no length
                             "prefix 2001:db8::/129 read\n"  // 5
                             "address ::2/64 read\n"      // 6 length on an address
                             "address ::3 Read\n"         // 7 rights are lower case
                             "address ::4 read extra\n"   // 8
                             "host ::5 read\n"            // 9
                             "address ::6 deny\n"         // 10
                             + std::string("address \xC3\xA9::7 read\n")  // 11
                             + std::string("address ::8 r\0ad\n", 17);   // 12
    const auto read = DecodeIPv6Rules(text);
    EXPECT_EQ(read.Rules, (TIPv6RuleList{Rule("::1", rkAddress, 128, arRead),
                                         Rule("::6", rkAddress, 128, arDeny)}));
    EXPECT_EQ(read.Damaged.Count, 10u);
    EXPECT_EQ(read.Damaged.Text(), "lines 2, 3, 4, 5, 6, 7, 8, 9, 11, 12");
}

TEST_F(IPv6RulesFileTest, DamageTextListsTheFirstLinesOnly)
{
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += "junk\n";
    EXPECT_EQ(DecodeIPv6Rules(text).Damaged.Text(), "lines 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, ...");
    EXPECT_EQ(DecodeIPv6Rules("address ::1 read\njunk").Damaged.Text(), "line 2");
}

TEST_F(IPv6RulesFileTest, WritesOneCanonicalLinePerRuleAndReadsThemBack)
{
    const TIPv6RuleList rules{Rule("2001:0DB8:0:0::0010", rkAddress, 128, arReadWrite),
                              Rule("fe80::%eth0", rkSubnet, 10, arDeny),
                              Rule("::ffff:0:0", rkSubnet, 96, arWrite),
                              {*ParseIPv6Address("::9"), 128, rkAddress, TAccessRights{77}}};
    SaveIPv6Rules(file_, rules);
    const std::string text = TTempDir::ReadFile(file_);
    EXPECT_NE(text.find("\naddress 2001:db8::10 readwrite\n"
                        "prefix fe80::%eth0/10 deny\n"
                        "prefix ::ffff:0.0.0.0/96 write\n"
                        "address ::9 deny\n"),
              std::string::npos)
        << text;
    auto back = rules;
    back.back().Rights = arDeny;  // unknown rights grant nothing and are kept as deny
    const auto read = LoadIPv6Rules(file_);
    EXPECT_EQ(read.Rules, back);
    EXPECT_EQ(read.Damaged.Count, 0u);
}

TEST_F(IPv6RulesFileTest, MissingFileHoldsNoRulesAndAnEmptyListDeletesTheFile)
{
    EXPECT_TRUE(LoadIPv6Rules(file_).Rules.empty());
    SaveIPv6Rules(file_, {Rule("::1", rkAddress, 128, arRead)});
    ASSERT_TRUE(std::filesystem::exists(file_));
    SaveIPv6Rules(file_, {});
    EXPECT_FALSE(std::filesystem::exists(file_));
    EXPECT_NO_THROW(SaveIPv6Rules(file_, {}));
}

TEST_F(IPv6RulesFileTest, RefusedWriteThrowsAndLeavesTheOldFileWhole)
{
    SaveIPv6Rules(file_, {Rule("::1", rkAddress, 128, arRead)});
    const std::string old = TTempDir::ReadFile(file_);
    std::filesystem::create_directory(dir_.Path() / "veltrane.SE6.new");
    EXPECT_THROW(SaveIPv6Rules(file_, {Rule("::2", rkAddress, 128, arDeny)}), ESecurityRulesError);
    EXPECT_EQ(TTempDir::ReadFile(file_), old);
}

TEST_F(IPv6RulesFileTest, UnreadableOrOversizedFileIsRefused)
{
    std::filesystem::create_directory(file_);
    EXPECT_THROW(LoadIPv6Rules(file_), ESecurityRulesError);
    std::filesystem::remove(file_);
    std::filesystem::resize_file(dir_.WriteFile("veltrane.SE6", ""), kMaxRuleCount * 128 + 1);
    EXPECT_THROW(LoadIPv6Rules(file_), ESecurityRulesError);
}
