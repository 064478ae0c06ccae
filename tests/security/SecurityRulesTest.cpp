#include "security/SecurityRules.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

TSecurityRule Address(const std::string& ip, TAccessRights rights)
{
    return {ip, "255.255.255.255", rkAddress, rights};
}

TSecurityRule Subnet(const std::string& network, const std::string& mask, TAccessRights rights)
{
    return {network, mask, rkSubnet, rights};
}

struct TSubnetCase {
    std::string Ip;
    std::string Network;
    std::string Mask;
    bool Matches;
};

class AddressInSubnetTest : public testing::TestWithParam<TSubnetCase> {};

class SecurityRulesTest : public testing::Test {};

}  // namespace

TEST_P(AddressInSubnetTest, MatchesWhenTheMaskedOctetsAgree)
{
    const auto& c = GetParam();
    EXPECT_EQ(AddressInSubnet(c.Ip, c.Network, c.Mask), c.Matches)
        << c.Ip << " in " << c.Network << " / " << c.Mask;
}

INSTANTIATE_TEST_SUITE_P(
    InsideAndOutside, AddressInSubnetTest,
    testing::Values(
        TSubnetCase{"192.168.1.0", "192.168.1.0", "255.255.255.0", true},
        TSubnetCase{"192.168.1.255", "192.168.1.0", "255.255.255.0", true},
        TSubnetCase{"192.168.2.1", "192.168.1.0", "255.255.255.0", false},
        // Hosts the block-based rule used to refuse although the subnet names them.
        TSubnetCase{"10.1.16.5", "10.1.16.0", "255.255.240.0", true},
        TSubnetCase{"10.1.31.5", "10.1.16.0", "255.255.240.0", true},
        TSubnetCase{"10.1.32.0", "10.1.16.0", "255.255.240.0", false},
        TSubnetCase{"10.1.15.255", "10.1.16.0", "255.255.240.0", false},
        TSubnetCase{"192.168.1.5", "192.168.1.0", "255.255.255.192", true},
        TSubnetCase{"192.168.1.64", "192.168.1.0", "255.255.255.192", false},
        TSubnetCase{"192.168.1.200", "192.168.1.192", "255.255.255.192", true},
        TSubnetCase{"10.0.0.65", "192.168.1.64", "255.255.255.192", false},
        TSubnetCase{"10.1.128.5", "10.1.128.0", "255.255.128.0", true},
        TSubnetCase{"10.1.127.1", "10.1.128.0", "255.255.128.0", false},
        // Host bits set in the network ID do not matter.
        TSubnetCase{"192.168.1.70", "192.168.1.99", "255.255.255.192", true},
        TSubnetCase{"8.8.8.8", "0.0.0.0", "0.0.0.0", true},
        TSubnetCase{"10.0.0.5", "10.0.0.5", "255.255.255.255", true},
        TSubnetCase{"10.0.0.6", "10.0.0.5", "255.255.255.255", false},
        // A non-contiguous mask compares just the octets it names.
        TSubnetCase{"10.7.20.9", "10.0.20.0", "255.0.255.0", true},
        TSubnetCase{"10.7.21.9", "10.0.20.0", "255.0.255.0", false},
        // Texts that are not four decimal octets of 0 to 255 never match.
        TSubnetCase{"10.0.0.256", "10.0.0.0", "255.255.255.0", false},
        TSubnetCase{"10.0.0", "10.0.0.0", "255.255.255.0", false},
        TSubnetCase{"10.0.0.1.", "10.0.0.0", "255.255.255.0", false},
        TSubnetCase{"10.0.0.1", "10.0.0.x", "255.255.255.0", false},
        TSubnetCase{"10.0.0.1", "10.0.0.0", "", false},
        TSubnetCase{"10.0.0.1", "10.0.0.0", "255.255.255.-0", false},
        TSubnetCase{" 10.0.0.1", "10.0.0.0", "255.255.255.0", false}));

TEST_F(SecurityRulesTest, SecurityOffGrantsEveryoneEvenWithoutRules)
{
    EXPECT_TRUE(CheckAccess({}, "10.0.0.1", akRead, false));
    EXPECT_TRUE(CheckAccess({}, "10.0.0.1", akWrite, false));
    EXPECT_TRUE(CheckAccess({Address("10.0.0.1", arDeny)}, "10.0.0.1", akRead, false));
}

TEST_F(SecurityRulesTest, SecurityOnWithoutRulesRefusesEveryone)
{
    EXPECT_FALSE(CheckAccess({}, "10.0.0.1", akRead, true));
    EXPECT_FALSE(CheckAccess({}, "10.0.0.1", akWrite, true));
}

TEST_F(SecurityRulesTest, FirstMatchingRuleDecidesAlone)
{
    const TSecurityRuleList rules{Address("192.168.1.10", arDeny),
                                  Subnet("192.168.1.0", "255.255.255.0", arRead),
                                  Subnet("0.0.0.0", "0.0.0.0", arReadWrite)};
    EXPECT_FALSE(CheckAccess(rules, "192.168.1.10", akRead, true));
    EXPECT_TRUE(CheckAccess(rules, "192.168.1.11", akRead, true));
    EXPECT_FALSE(CheckAccess(rules, "192.168.1.11", akWrite, true));
    EXPECT_TRUE(CheckAccess(rules, "10.9.9.9", akWrite, true));
}

TEST_F(SecurityRulesTest, AddressRuleComparesTheTextCharacterForCharacter)
{
    const TSecurityRuleList rules{Address("10.0.0.5", arRead)};
    EXPECT_TRUE(CheckAccess(rules, "10.0.0.5", akRead, true));
    EXPECT_FALSE(CheckAccess(rules, "10.0.0.5", akWrite, true));
    EXPECT_FALSE(CheckAccess(rules, "10.0.0.50", akRead, true));
    EXPECT_FALSE(CheckAccess(rules, "10.0.0.05", akRead, true));
}

TEST_F(SecurityRulesTest, UnparsableRuleIsSkippedAndTheWalkGoesOn)
{
    const TSecurityRuleList rules{Subnet("10.0.0", "255.0.0.0", arDeny),
                                  Subnet("10.0.0.0", "255.0.0.0", arRead)};
    EXPECT_TRUE(CheckAccess(rules, "10.1.2.3", akRead, true));
}

TEST_F(SecurityRulesTest, RightsDecideReadAndWrite)
{
    struct TRow {
        std::int32_t Rights;
        bool Read;
        bool Write;
    };
    for (const auto& row : {TRow{arRead, true, false}, TRow{arWrite, false, true},
                            TRow{arDeny, false, false}, TRow{arReadWrite, true, true},
                            TRow{0, false, false}, TRow{5, false, false}, TRow{-1, false, false}}) {
        const TSecurityRuleList rules{Address("10.0.0.1", static_cast<TAccessRights>(row.Rights))};
        EXPECT_EQ(CheckAccess(rules, "10.0.0.1", akRead, true), row.Read) << row.Rights;
        EXPECT_EQ(CheckAccess(rules, "10.0.0.1", akWrite, true), row.Write) << row.Rights;
    }
}

TEST_F(SecurityRulesTest, RuleOfUnknownKindIsMatchedAsSubnet)
{
    const TSecurityRuleList rules{{"10.0.0.0", "255.0.0.0", static_cast<TRuleKind>(7), arRead}};
    EXPECT_TRUE(CheckAccess(rules, "10.200.0.1", akRead, true));
}

TEST_F(SecurityRulesTest, ReloadReplacesTheServingCopyWhole)
{
    const TTempDir dir;
    const auto file = dir.Path() / "veltrane.SEC";
    TSecurityRules serving;
    serving.Replace({Address("10.0.0.1", arRead), Address("10.0.0.2", arRead)});
    SaveSecurityRules(file, {Address("10.0.0.3", arReadWrite)});

    ASSERT_TRUE(serving.Reload(file));

    EXPECT_EQ(*serving.Snapshot(), TSecurityRuleList{Address("10.0.0.3", arReadWrite)});
    EXPECT_FALSE(serving.CheckAccess("10.0.0.1", akRead, true));
    EXPECT_TRUE(serving.CheckAccess("10.0.0.3", akWrite, true));
}

TEST_F(SecurityRulesTest, UnreadableFileKeepsThePreviousServingCopy)
{
    const TTempDir dir;
    const auto file = dir.Path() / "veltrane.SEC";
    std::filesystem::create_directory(file);
    TSecurityRules serving;
    serving.Replace({Address("10.0.0.1", arRead)});

    EXPECT_FALSE(serving.Reload(file));

    EXPECT_TRUE(serving.CheckAccess("10.0.0.1", akRead, true));
}

TEST_F(SecurityRulesTest, MissingFileLoadsAnEmptyServingCopy)
{
    const TTempDir dir;
    TSecurityRules serving;
    serving.Replace({Address("10.0.0.1", arRead)});

    ASSERT_TRUE(serving.Reload(dir.Path() / "veltrane.SEC"));

    EXPECT_TRUE(serving.Snapshot()->empty());
    EXPECT_FALSE(serving.CheckAccess("10.0.0.1", akRead, true));
}
