#include "security/IPv6Address.h"

#include <string>

#include <net/if.h>

#include <gtest/gtest.h>

namespace {

struct TParseCase {
    std::string Text;
    bool Valid;
};

class IPv6AddressParseTest : public testing::TestWithParam<TParseCase> {};

class IPv6AddressTest : public testing::Test {};

TIPv6Address Parsed(const std::string& text)
{
    const auto address = ParseIPv6Address(text);
    EXPECT_TRUE(address.has_value()) << text;
    return address.value_or(TIPv6Address{});
}

}  // namespace

TEST_P(IPv6AddressParseTest, AcceptsWhatInetPtonReadsWithAnOptionalInterface)
{
    const auto& c = GetParam();
    EXPECT_EQ(ParseIPv6Address(c.Text).has_value(), c.Valid) << c.Text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IPv6AddressParseTest,
    testing::Values(TParseCase{"::1", true}, TParseCase{"::", true},
                    TParseCase{"2001:db8::10", true}, TParseCase{"2001:DB8:0:0:0:0:0:10", true},
                    TParseCase{"::ffff:192.0.2.1", true}, TParseCase{"fe80::1%eth0", true},
                    TParseCase{"fe80::1%2", true}, TParseCase{"fe80::1%", false},
                    TParseCase{"fe80::1%eth 0", false}, TParseCase{"fe80::1%a/b", false},
                    TParseCase{"fe80::1%0123456789abcdef", false}, TParseCase{"fe80::1%e%0", false},
                    TParseCase{"10.0.0.1", false}, TParseCase{"", false},
                    TParseCase{"2001:db8::1::2", false}, TParseCase{"12345::1", false},
                    TParseCase{"2001:db8::/32", false}, TParseCase{" ::1", false},
                    TParseCase{std::string("::1\0", 4), false}));

TEST_F(IPv6AddressTest, TheSameAddressWrittenTwoWaysParsesAlike)
{
    EXPECT_EQ(Parsed("2001:0DB8:0000:0000:0000:0000:0000:0001"), Parsed("2001:db8::1"));
    EXPECT_EQ(Parsed("::ffff:192.0.2.1"), Parsed("::ffff:c000:201"));
    EXPECT_NE(Parsed("fe80::1%eth0"), Parsed("fe80::1"));
}

TEST_F(IPv6AddressTest, TextIsTheRfc5952FormWithItsInterface)
{
    EXPECT_EQ(IPv6AddressText(Parsed("2001:0DB8:0:0:1:0:0:1")), "2001:db8::1:0:0:1");
    EXPECT_EQ(IPv6AddressText(Parsed("2001:db8:0:1:1:1:1:1")), "2001:db8:0:1:1:1:1:1");
    EXPECT_EQ(IPv6AddressText(Parsed("FE80:0::1%eth0")), "fe80::1%eth0");
    EXPECT_EQ(IPv6AddressText(Parsed("::")), "::");
}

TEST_F(IPv6AddressTest, PrefixLengthIsZeroTo128InDecimal)
{
    EXPECT_EQ(ParsePrefixLength("0"), 0);
    EXPECT_EQ(ParsePrefixLength("64"), 64);
    EXPECT_EQ(ParsePrefixLength("128"), 128);
    EXPECT_EQ(ParsePrefixLength("064"), 64);
    for (const char* bad : {"", "129", "1000", "-1", "+8", "6 4", "x", "0x10"})
        EXPECT_FALSE(ParsePrefixLength(bad).has_value()) << bad;
}

TEST_F(IPv6AddressTest, SharePrefixComparesExactlyTheLeadingBits)
{
    const auto a = Parsed("2001:db8:abcd::1");
    EXPECT_TRUE(SharePrefix(a, Parsed("2001:db8::"), 32));
    EXPECT_FALSE(SharePrefix(a, Parsed("2001:db9::"), 32));
    EXPECT_TRUE(SharePrefix(a, Parsed("::"), 0));
    // 0xab = 1010 1011 and 0xa0 = 1010 0000 agree in their first four bits only.
    EXPECT_TRUE(SharePrefix(a, Parsed("2001:db8:a000::"), 36));
    EXPECT_FALSE(SharePrefix(a, Parsed("2001:db8:a000::"), 37));
    EXPECT_TRUE(SharePrefix(a, Parsed("2001:db8:abcd::"), 127));
    EXPECT_FALSE(SharePrefix(a, Parsed("2001:db8:abcd::"), 128));
    EXPECT_TRUE(SharePrefix(a, a, 128));
}

TEST_F(IPv6AddressTest, InterfacesCompareByTextOrByIndex)
{
    EXPECT_TRUE(SameInterface("eth7", "eth7"));
    EXPECT_FALSE(SameInterface("nosuchif0", "nosuchif1"));
    EXPECT_FALSE(SameInterface("eth0", ""));
    const unsigned loopback = ::if_nametoindex("lo");
    ASSERT_NE(loopback, 0u);
    EXPECT_TRUE(SameInterface("lo", std::to_string(loopback)));
    EXPECT_TRUE(SameInterface(std::to_string(loopback), "lo"));
    EXPECT_FALSE(SameInterface("lo", std::to_string(loopback + 1000)));
    EXPECT_FALSE(SameInterface("0", "nosuchif0"));
}

TEST_F(IPv6AddressTest, OnlyTextWithAColonIsIPv6)
{
    EXPECT_TRUE(IsIPv6Text("::1"));
    EXPECT_TRUE(IsIPv6Text("fe80::1%eth0"));
    EXPECT_FALSE(IsIPv6Text("10.0.0.1"));
    EXPECT_FALSE(IsIPv6Text(""));
}
