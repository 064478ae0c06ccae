#include "security/IPAddrUtils.h"

#include <string>

#include <gtest/gtest.h>

using namespace UIPAddrUtils;

namespace {

/// The message a check raises for `text`, or "" when it passes.
std::string ValidationMessage(const std::string& text)
{
    try {
        ValidateIPString(text);
        return "";
    } catch (const EIPAddressError& error) {
        return error.what();
    }
}

struct TMessageCase {
    std::string Text;
    std::string Message;
};

class IPAddrUtilsMessageTest : public testing::TestWithParam<TMessageCase> {};

}  // namespace

TEST_P(IPAddrUtilsMessageTest, ReportsTheFirstFaultWithItsExactMessage)
{
    EXPECT_EQ(ValidationMessage(GetParam().Text), GetParam().Message);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IPAddrUtilsMessageTest,
    testing::Values(
        TMessageCase{"0.0.0.0", ""}, TMessageCase{"255.255.255.255", ""},
        TMessageCase{"10.0.12.255", ""},
        TMessageCase{"1234.123.123.123", "Illegal length for IPString![1234.123.123.123(16)]"},
        TMessageCase{"1.2.3", "Must include exactly 3 dots! [1.2.3]"},
        TMessageCase{"1.2.3.4.", "Must include exactly 3 dots! [1.2.3.4.]"},
        TMessageCase{"", "Must include exactly 3 dots! []"},
        TMessageCase{"1..3.4",
                     "IPAddress must include 4 pieces of length 1..3. IPAddressString[1..3.4]"},
        TMessageCase{"1234.123.123.12", "IPAddress must include 4 pieces of length 1..3. "
                                        "IPAddressString[1234.123.123.12]"},
        TMessageCase{"01.2.3.4", "Leading zero not allowed. IPAddressString[01.2.3.4]"},
        // The pieces are checked in order, so a leading zero before an empty piece wins.
        TMessageCase{"1.00..4", "Leading zero not allowed. IPAddressString[1.00..4]"},
        TMessageCase{"1a.2.3.4", "IP Address contains illegal symbols. IPAddressString[1a.2.3.4]"},
        TMessageCase{"1.2.3.-1", "IP Address contains illegal symbols. IPAddressString[1.2.3.-1]"},
        TMessageCase{"256.1.1.1", "Triplets must be of range 0..255  IPAddressString[256.1.1.1]"},
        // Triplet 1 is out of range before triplet 2 holds a letter.
        TMessageCase{"300.x.1.1", "Triplets must be of range 0..255  IPAddressString[300.x.1.1]"}));

TEST(IPAddrUtilsTest, CheckPaddedDigitsReportsTheLengthOfThePaddedForm)
{
    try {
        CheckPaddedDigits("0100000122", "10.0.12.2");
        FAIL() << "a ten-digit padded form passed";
    } catch (const EIPAddressError& error) {
        EXPECT_STREQ(error.what(), "Illegal length for IPString![10.0.12.2 (Length:10) ]");
    }
}

TEST(IPAddrUtilsTest, PadsEveryOctetToThreeDigits)
{
    EXPECT_EQ(IPToPaddedDigits("10.0.12.255"), "010000012255");
}

TEST(IPAddrUtilsTest, GetOctetGivesTheValueOfOneOctetAndZeroOutsideOneToFour)
{
    EXPECT_EQ(GetOctet("10.0.12.255", 4), 255);
    EXPECT_EQ(GetOctet("10.0.12.255", 1), 10);
    EXPECT_EQ(GetOctet("10.0.12.255", 0), 0);
    EXPECT_EQ(GetOctet("10.0.12.255", 5), 0);
    EXPECT_THROW(GetOctet("10.0.12", 5), EIPAddressError);
}

TEST(IPAddrUtilsTest, GetTokenGivesTheNthPieceOrEmptyWhenTheTextRunsOut)
{
    EXPECT_EQ(GetToken("a.bc.d", 2, '.'), "bc");
    EXPECT_EQ(GetToken("a.bc.d", 3, '.'), "d");
    EXPECT_EQ(GetToken("a..d", 2, '.'), "");
    EXPECT_EQ(GetToken("a.bc.d", 4, '.'), "");
    EXPECT_EQ(GetToken("a.bc.d", 0, '.'), "");
    EXPECT_EQ(CountChar("1.2.3.4", '.'), 3u);
}
