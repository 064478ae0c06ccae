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
                    TEscapeCase{"a\r\nb", "a\\x0D\\x0Ab"},
                    TEscapeCase{"\x1b[2J", "\\x1B[2J"},
                    TEscapeCase{"del\x7f", "del\\x7F"},
                    TEscapeCase{std::string("nul\0x", 5), "nul\\x00x"},
                    TEscapeCase{"tab\there", "tab\\x09here"},
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
                    TCsvCase{"", ""},
                    TCsvCase{"a,b", "\"a,b\""},
                    TCsvCase{"say \"hi\"", "\"say \"\"hi\"\"\""},
                    TCsvCase{"two\nlines", "two\\x0Alines"},
                    TCsvCase{"x,\ny", "\"x,\\x0Ay\""}));

TEST(LogLineTest, TextLineJoinsTheFourFieldsWithFourBlanks)
{
    EXPECT_EQ(FormatTextLine(Entry("/srv/boot.bin", "10.0.0.5", "Transfer: Send file complete.")),
              "12/08/26 10:00:00    /srv/boot.bin    10.0.0.5    Transfer: Send file complete.");
}

TEST(LogLineTest, ApplicationEventTextLineHoldsSingleBlanks)
{
    // date/time, four blanks, one blank, four blanks, one blank, four blanks, status
    EXPECT_EQ(FormatTextLine(Entry(" ", " ", "Application: Saved file list.")),
              "12/08/26 10:00:00" "    " " " "    " " " "    " "Application: Saved file list.");
}

TEST(LogLineTest, ClientNameCannotForgeAnotherLogLine)
{
    const TActivityEntry entry = Entry("x\r\n12/08/26 10:00:01    fake", "10.0.0.5", "Send error: File does not exist!");
    EXPECT_EQ(FormatTextLine(entry).find('\n'), std::string::npos);
    EXPECT_EQ(FormatCsvLine(entry).find('\n'), std::string::npos);
    EXPECT_NE(FormatTextLine(entry).find("x\\x0D\\x0A12/08/26"), std::string::npos);
}

TEST(LogLineTest, CsvLineJoinsFieldsWithCommasAndQuotesACommaInAName)
{
    EXPECT_EQ(FormatCsvLine(Entry("/srv/a,b.bin", "10.0.0.5", "Error transfering!")),
              "12/08/26 10:00:00,\"/srv/a,b.bin\",10.0.0.5,Error transfering!");
}

TEST(LogLineTest, CsvHeaderHoldsTheColumnTitles)
{
    EXPECT_EQ(CsvHeaderLine(), "Date/Time,Filename,Remote IP Address,Status");
}

TEST(LogLineTest, StatusLineIsTheStatusAlone)
{
    EXPECT_EQ(FormatStatusLine(Entry("f", "1.2.3.4", "Transfer: Sending file...")),
              "Transfer: Sending file...");
}

}  // namespace
