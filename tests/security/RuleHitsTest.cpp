#include "security/RuleHits.h"

#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "security/SecurityRules.h"

namespace {

TSecurityRule Address(const std::string& ip, TAccessRights rights)
{
    return {ip, "255.255.255.255", rkAddress, rights};
}

TSecurityRule Subnet(const std::string& network, const std::string& mask, TAccessRights rights)
{
    return {network, mask, rkSubnet, rights};
}

TIPv6Rule Prefix6(const std::string& ip, int length, TAccessRights rights)
{
    return {*ParseIPv6Address(ip), length, rkSubnet, rights};
}

const TSecurityRuleList kRules{Address("10.0.0.7", arDeny), Subnet("10.0.0.0", "255.255.255.0", arRead),
                               Address("192.168.1.2", arWrite)};
const TIPv6RuleList kIPv6Rules{Prefix6("2001:db8::", 32, arReadWrite), Prefix6("fd00::", 8, arDeny)};

struct TDecisionCase {
    std::string Ip;
    TAccessKind Kind;
    bool IPv6;
    int Rule;  // -1: no rule matches
    bool Granted;
};

void PrintTo(const TDecisionCase& c, std::ostream* out)
{
    *out << c.Ip << (c.Kind == akRead ? " read" : " write");
}

class DecideAccessTest : public testing::TestWithParam<TDecisionCase> {};

}  // namespace

TEST_P(DecideAccessTest, NamesTheFirstMatchingRuleOfThePeersFamily)
{
    const auto& c = GetParam();
    const TAccessDecision decision = DecideAccess(kRules, kIPv6Rules, c.Ip, c.Kind);
    EXPECT_EQ(decision.IPv6, c.IPv6);
    EXPECT_EQ(decision.Rule ? static_cast<int>(*decision.Rule) : -1, c.Rule);
    EXPECT_EQ(decision.Granted, c.Granted);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecideAccessTest,
    testing::Values(TDecisionCase{"10.0.0.7", akRead, false, 0, false},
                    TDecisionCase{"10.0.0.8", akRead, false, 1, true},
                    TDecisionCase{"10.0.0.8", akWrite, false, 1, false},
                    TDecisionCase{"192.168.1.2", akWrite, false, 2, true},
                    TDecisionCase{"192.168.1.3", akRead, false, -1, false},
                    TDecisionCase{"2001:db8::5", akWrite, true, 0, true},
                    TDecisionCase{"fd12::1", akRead, true, 1, false},
                    TDecisionCase{"2001:db9::1", akRead, true, -1, false},
                    TDecisionCase{"::ffff:10.0.0.8", akRead, true, -1, false}));

TEST(RuleHitsTest, CountsEachRequestOnTheRuleThatDecidedIt)
{
    TSecurityRules serving;
    serving.Replace(kRules);
    serving.ReplaceIPv6(kIPv6Rules);
    EXPECT_FALSE(serving.CheckAccess("10.0.0.7", akRead, true));
    EXPECT_TRUE(serving.CheckAccess("10.0.0.9", akRead, true));
    EXPECT_TRUE(serving.CheckAccess("10.0.0.9", akRead, true));
    EXPECT_FALSE(serving.CheckAccess("172.16.0.1", akRead, true));
    EXPECT_TRUE(serving.CheckAccess("2001:db8::1", akWrite, true));
    // With security off no rule decides anything.
    EXPECT_TRUE(serving.CheckAccess("10.0.0.7", akRead, false));

    const TRuleHitCounts counts = serving.HitCounts();
    EXPECT_EQ(counts.Rules, kRules);
    EXPECT_EQ(counts.Hits, (std::vector<std::uint64_t>{1, 2, 0}));
    EXPECT_EQ(counts.IPv6Hits, (std::vector<std::uint64_t>{1, 0}));
}

TEST(RuleHitsTest, ARuleKeepsItsCountWhenTheRulesAreEditedAroundIt)
{
    TSecurityRules serving;
    serving.Replace(kRules);
    serving.CheckAccess("10.0.0.9", akRead, true);
    serving.CheckAccess("192.168.1.2", akWrite, true);
    // Moved to the top with other rights, one rule removed, one added.
    serving.Replace({Address("192.168.1.2", arReadWrite), Subnet("10.0.0.0", "255.255.255.0", arRead),
                     Address("10.9.9.9", arRead)});
    EXPECT_EQ(serving.HitCounts().Hits, (std::vector<std::uint64_t>{1, 1, 0}));
}

TEST(RuleHitsTest, CountsFromSeveralThreadsAddUp)
{
    TSecurityRules serving;
    serving.Replace(kRules);
    constexpr int kChecks = 5000;
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&serving] {
            for (int i = 0; i < kChecks; ++i)
                serving.CheckAccess("10.0.0.1", akRead, true);
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(serving.HitCounts().Hits[1], 2U * kChecks);
}

TEST(RuleHitsTest, HitsOfMatchesEachCountedRuleOnceAndLeavesNewRulesUncounted)
{
    const TSecurityRuleList counted{Address("10.0.0.1", arRead), Address("10.0.0.1", arWrite)};
    const TSecurityRuleList shown{Address("10.0.0.2", arRead), Address("10.0.0.1", arDeny),
                                  Address("10.0.0.1", arRead), Address("10.0.0.1", arRead)};
    const auto hits = HitsOf(shown, counted, {4, 6});
    ASSERT_EQ(hits.size(), 4U);
    EXPECT_FALSE(hits[0]);
    EXPECT_EQ(hits[1], 4U);
    EXPECT_EQ(hits[2], 6U);
    EXPECT_FALSE(hits[3]);
}
