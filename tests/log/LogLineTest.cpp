#include "log/LogLine.h"

#include <gtest/gtest.h>

namespace {

TActivityEntry Entry(std::string fileName, std::string remoteIP, std::string status)
{
    return {7, aiError, "12/08/26 10:00:00", std::move(fileName), std::move(remoteIP), std::move(status)};
}

struct TEscapeCase {
    std::string Text;
    std::string Escaped;
};

class EscapeControlBytesTest : public testing::TestWithParam<TEscapeCase> {};

TEST_P(EscapeControlBytesTest, WritesControlBytesAsHexAndKeepsTheRest)
{
    EXPECT_EQ(EscapeControlBytes(GetParam().Text), GetParam().Escaped);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EscapeControlBytesTest,
    testing::Values(TEscapeCase{"boot.bin", "boot.bin"},
                    TEscapeCase{"evil\nline", "evil\\x0Aline"},
                    TEscapeCase{"\x1b[2J", "\\x1B[2J"},
                    TEscapeCase{"del\x7f", "del\\x7F"},
                    TEscapeCase{std::string("nul\0x", 5), "nul\\x00x"},
                    TEscapeCase{"caf\xc3\xa9 \\path", "caf\xc3\xa9 \\path"}));

struct TCsvCase {
    std::string Text;
    std::string Field;
};

class CsvFieldTest : public testing::TestWithParam<TCsvCase> {};

TEST_P(CsvFieldTest, QuotesOnlyFieldsThatNeedIt)
{
    EXPECT_EQ(CsvField(GetParam().Text), GetParam().Field);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CsvFieldTest,
    testing::Values(TCsvCase{"plain", "plain"},
                    TCsvCase{" ", " "},
                    TCsvCase{"a,b", "\"a,b\""},
                    TCsvCase{"say \"hi\"", "\"say \"\"hi\"\"\""},
                    TCsvCase{"two\nlines", "two\\x0Alines"},
                    TCsvCase{"x,\ny", "\"x,\\x0Ay\""}));

TEST(LogLineTest, ApplicationEventTextLineHoldsSingleBlanks)
{
    // date/time, four blanks, one blank, four blanks, one blank, four blanks, status
    EXPECT_EQ(FormatTextLine(Entry(" ", " ", "Application: Saved file list.")),
              "12/08/26 10:00:00" "    " " " "    " " " "    " "Application: Saved file list.");
}

}  // namespace
