#include "core/FileSize.h"

#include <stdexcept>

#include <gtest/gtest.h>

namespace {

struct TSizeCase {
    std::int64_t Size;
    std::string Text;
};

class FileSizeTextTest : public testing::TestWithParam<TSizeCase> {};

TEST_P(FileSizeTextTest, ShowsThreeSignificantCharactersInTheRightUnit)
{
    EXPECT_EQ(FormatFileSizeValue(GetParam().Size), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FileSizeTextTest,
    testing::Values(TSizeCase{0, "0 bytes"}, TSizeCase{999, "999 bytes"},
                    // "KB" starts at 1000 bytes, not 1024
                    TSizeCase{1000, "0.97KB"}, TSizeCase{1024, "1.00KB"}, TSizeCase{1536, "1.50KB"},
                    TSizeCase{10752, "10.5KB"}, TSizeCase{102912, "100KB"}, TSizeCase{1023999, "999KB"},
                    TSizeCase{1048576, "1.00MB"}, TSizeCase{1073741824, "1.00GB"},
                    TSizeCase{4294967295, "4.00GB"},
                    // 1000 or more in a unit moves on to the next unit
                    TSizeCase{1024000, "0.98MB"}, TSizeCase{1048575, "1.00MB"},
                    TSizeCase{1048575999, "0.98GB"},
                    // sizes of 2 GiB and more
                    TSizeCase{2147483648, "2.00GB"}, TSizeCase{5368709120, "5.00GB"},
                    TSizeCase{1099511627776, "1.00TB"},
                    TSizeCase{9223372036854775807, "8.00EB"},
                    // the unreadable size
                    TSizeCase{-1, "Unknown"}));

struct TDigitsCase {
    double Value;
    int Digits;
    std::string Text;
};

class SignificantDigitsTest : public testing::TestWithParam<TDigitsCase> {};

TEST_P(SignificantDigitsTest, CutsTheFixedTextToTheCount)
{
    EXPECT_EQ(GetSignificantDigits(GetParam().Value, GetParam().Digits), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SignificantDigitsTest,
    testing::Values(TDigitsCase{0.9765625, 3, "0.97"}, TDigitsCase{12.34, 3, "12.3"},
                    TDigitsCase{123.4, 3, "123"}, TDigitsCase{7.0, 1, "7"},
                    TDigitsCase{3.0, 16, "3.000000000000000"}));

TEST(SignificantDigitsRangeTest, CountOutside1To16IsRefusedWithItsMessage)
{
    for (const int digits : {0, -1, 17}) {
        try {
            GetSignificantDigits(1.0, digits);
            ADD_FAILURE() << digits << " digits accepted";
        } catch (const std::out_of_range& failure) {
            EXPECT_STREQ(failure.what(), "GetSignificantDigits: A number of significant digits out of range");
        }
    }
}

}  // namespace
