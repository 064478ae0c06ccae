#include "security/SecurityRules.h"

#include <string>

#include <net/if.h>

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

TIPv6Rule Address6(const std::string& ip, TAccessRights rights)
{
    return {*ParseIPv6Address(ip), kIPv6Bits, rkAddress, rights};
}

TIPv6Rule Prefix6(const std::string& ip, int length, TAccessRights rights)
{
    return {*ParseIPv6Address(ip), length, rkSubnet, rights};
}

/// What each rights value grants; values the program does not know grant nothing.
struct TRightsRow {
    std::int32_t Rights;
    bool Read;
    bool Write;
};

const TRightsRow kRightsTable[] = {{arRead, true, false},      {arWrite, false, true},
                                   {arDeny, false, false},     {arReadWrite, true, true},
                                   {0, false, false},          {5, false, false},
                                   {-1, false, false}};

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
    for (const auto& row : kRightsTable) {
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

// --- IPv6 rules

TEST_F(SecurityRulesTest, IPv6RulesGrantByTheSameRightsTable)
{
    for (const auto& row : kRightsTable) {
        const auto rights = static_cast<TAccessRights>(row.Rights);
        for (const auto& rules : {TIPv6RuleList{Address6("2001:db8::5", rights)},
                                  TIPv6RuleList{Prefix6("2001:db8::", 64, rights)}}) {
            EXPECT_EQ(CheckIPv6Access(rules, "2001:db8::5", akRead, true), row.Read) << row.Rights;
            EXPECT_EQ(CheckIPv6Access(rules, "2001:db8::5", akWrite, true), row.Write) << row.Rights;
        }
    }
}

TEST_F(SecurityRulesTest, IPv6FirstMatchingRuleDecidesAndNoMatchIsRefused)
{
    const TIPv6RuleList rules{Address6("2001:db8::bad", arDeny), Prefix6("2001:db8::", 48, arRead),
                              Prefix6("::", 0, arWrite)};
    EXPECT_FALSE(CheckIPv6Access(rules, "2001:db8::bad", akRead, true));
    EXPECT_TRUE(CheckIPv6Access(rules, "2001:db8:0:ffff::1", akRead, true));
    EXPECT_FALSE(CheckIPv6Access(rules, "2001:db8:0:ffff::1", akWrite, true));
    EXPECT_FALSE(CheckIPv6Access(rules, "2001:db8:1::1", akRead, true));
    EXPECT_TRUE(CheckIPv6Access(rules, "2001:db8:1::1", akWrite, true));

    EXPECT_FALSE(CheckIPv6Access({Address6("::1", arRead)}, "::2", akRead, true));
    EXPECT_FALSE(CheckIPv6Access({}, "::1", akRead, true));
    EXPECT_TRUE(CheckIPv6Access({Address6("::1", arDeny)}, "::1", akWrite, false));
}

TEST_F(SecurityRulesTest, IPv6AddressRuleMatchesTheAddressHoweverWritten)
{
    const TIPv6RuleList rules{Address6("2001:0DB8:0000:0000:0000:0000:0000:0001", arRead)};
    EXPECT_TRUE(CheckIPv6Access(rules, "2001:db8::1", akRead, true));
    EXPECT_TRUE(CheckIPv6Access(rules, "2001:DB8:0:0::1", akRead, true));
    EXPECT_FALSE(CheckIPv6Access(rules, "2001:db8::1:0", akRead, true));
    EXPECT_FALSE(CheckIPv6Access(rules, "not an address", akRead, true));
}

TEST_F(SecurityRulesTest, LinkLocalRuleWithInterfaceMatchesOnlyThatInterface)
{
    const TIPv6RuleList onEth0{Address6("fe80::1%eth0", arRead)};
    EXPECT_TRUE(CheckIPv6Access(onEth0, "fe80::1%eth0", akRead, true));
    EXPECT_FALSE(CheckIPv6Access(onEth0, "fe80::1%eth1", akRead, true));
    EXPECT_FALSE(CheckIPv6Access(onEth0, "fe80::1", akRead, true));
    EXPECT_FALSE(CheckIPv6Access({Prefix6("fe80::%eth0", 64, arRead)}, "fe80::7%eth1", akRead, true));
    EXPECT_TRUE(CheckIPv6Access({Prefix6("fe80::%eth0", 64, arRead)}, "fe80::7%eth0", akRead, true));

    // Without an interface the rule names the address on every link.
    EXPECT_TRUE(CheckIPv6Access({Address6("fe80::1", arRead)}, "fe80::1%eth1", akRead, true));

    // A peer reported by interface number matches a rule naming the interface.
    const unsigned loopback = ::if_nametoindex("lo");
    ASSERT_NE(loopback, 0u);
    EXPECT_TRUE(CheckIPv6Access({Address6("fe80::1%lo", arRead)},
                                "fe80::1%" + std::to_string(loopback), akRead, true));
}

TEST_F(SecurityRulesTest, RulesNeverMatchAPeerOfTheOtherFamily)
{
    // The rules file could even hold IPv6 text in an IPv4 rule; it stays an IPv4 rule.
    const TSecurityRuleList ipv4{Address("::1", arReadWrite), Subnet("0.0.0.0", "0.0.0.0", arReadWrite)};
    const TIPv6RuleList ipv6{Prefix6("::", 0, arReadWrite), Prefix6("::ffff:0:0", 96, arReadWrite)};
    EXPECT_FALSE(CheckAccess(ipv4, {}, "::1", akRead, true));
    EXPECT_FALSE(CheckAccess(ipv4, {}, "::ffff:10.0.0.1", akRead, true));
    EXPECT_FALSE(CheckAccess({}, ipv6, "10.0.0.1", akRead, true));
    EXPECT_TRUE(CheckAccess(ipv4, {}, "10.0.0.1", akRead, true));
    EXPECT_TRUE(CheckAccess({}, ipv6, "::ffff:10.0.0.1", akRead, true));
    EXPECT_TRUE(CheckAccess({}, {}, "::1", akWrite, false));
}

TEST_F(SecurityRulesTest, ServingCopyDecidesEachFamilyByItsOwnRules)
{
    const TTempDir dir;
    const auto file = dir.Path() / "veltrane.SE6";
    SaveIPv6Rules(file, {Address6("::1", arRead)});
    TSecurityRules serving;
    serving.Replace({Address("127.0.0.1", arWrite)});

    const auto damaged = serving.ReloadIPv6(file);

    ASSERT_TRUE(damaged.has_value());
    EXPECT_EQ(damaged->Count, 0u);
    EXPECT_TRUE(serving.CheckAccess("::1", akRead, true));
    EXPECT_FALSE(serving.CheckAccess("::1", akWrite, true));
    EXPECT_TRUE(serving.CheckAccess("127.0.0.1", akWrite, true));
    EXPECT_FALSE(serving.CheckAccess("127.0.0.1", akRead, true));
}

TEST_F(SecurityRulesTest, IPv6ReloadKeepsThePreviousCopyWhenUnreadableAndReportsDamage)
{
    const TTempDir dir;
    const auto file = dir.Path() / "veltrane.SE6";
    TSecurityRules serving;
    serving.ReplaceIPv6({Address6("::1", arRead)});
    std::filesystem::create_directory(file);

    EXPECT_FALSE(serving.ReloadIPv6(file).has_value());
    EXPECT_TRUE(serving.CheckAccess("::1", akRead, true));

    std::filesystem::remove(file);
    dir.WriteFile("veltrane.SE6", "address ::2 write\nrubbish\n");
    const auto damaged = serving.ReloadIPv6(file);
    ASSERT_TRUE(damaged.has_value());
    EXPECT_EQ(damaged->Text(), "line 2");
    EXPECT_EQ(*serving.SnapshotIPv6(), TIPv6RuleList{Address6("::2", arWrite)});

    std::filesystem::remove(file);
    ASSERT_TRUE(serving.ReloadIPv6(file).has_value());
    EXPECT_TRUE(serving.SnapshotIPv6()->empty());
}
