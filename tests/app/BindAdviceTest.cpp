#include "app/BindAdvice.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "app/ProgramPaths.h"
#include "engine/NetException.h"
#include "engine/SocketError.h"

namespace {

constexpr int kAccessDenied = 10013;
constexpr int kAddressInUse = 10048;

struct TRefusalCase {
    const char* Name;
    int Number;
    int Port;
    bool Advised;
};

class BindAdviceTest : public testing::TestWithParam<TRefusalCase> {};

std::string Paragraph(const std::string& message, const std::string& engineText)
{
    return message.substr(engineText.size() + 2);
}

}  // namespace

TEST_P(BindAdviceTest, AdvisesOnlyOnPrivilegedPortsTheSystemRefused)
{
    const TRefusalCase& row = GetParam();
    const ESocketError failure(row.Number);
    const std::string message = BindFailureMessage(failure, row.Port, "/usr/bin/veltrane");
    if (!row.Advised) {
        EXPECT_EQ(message, failure.what());
        return;
    }
    const std::string engineText = SocketErrorMessage(row.Number);
    ASSERT_EQ(message.substr(0, engineText.size() + 2), engineText + "\r\r");
    const std::string paragraph = Paragraph(message, engineText);
    EXPECT_NE(paragraph.find("Port " + std::to_string(row.Port) + " "), std::string::npos);
    EXPECT_NE(paragraph.find("sudo setcap cap_net_bind_service=+ep /usr/bin/veltrane"),
              std::string::npos);
    EXPECT_NE(paragraph.find("1024 or above"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BindAdviceTest,
    testing::Values(TRefusalCase{"TftpPortRefused", kAccessDenied, 69, true},
                    TRefusalCase{"HighestPrivilegedPortRefused", kAccessDenied, 1023, true},
                    TRefusalCase{"FirstOrdinaryPortRefused", kAccessDenied, 1024, false},
                    TRefusalCase{"HighPortRefused", kAccessDenied, 6969, false},
                    TRefusalCase{"AnyPortRefused", kAccessDenied, 0, false},
                    TRefusalCase{"TftpPortInUse", kAddressInUse, 69, false}),
    [](const testing::TestParamInfo<TRefusalCase>& row) { return std::string(row.param.Name); });

TEST(BindAdviceTextTest, ParagraphIsOnePlainParagraph)
{
    const std::string message = BindFailureMessage(ESocketError(kAccessDenied), 69, "/usr/bin/veltrane");
    const std::string paragraph = Paragraph(message, SocketErrorMessage(kAccessDenied));
    EXPECT_EQ(paragraph.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(paragraph.back(), '.');
}

TEST(BindAdviceTextTest, OtherEngineFailuresKeepTheirTextOnly)
{
    const ECouldNotBindSocket inUse;
    EXPECT_EQ(BindFailureMessage(inUse, 69, "/usr/bin/veltrane"), inUse.what());
    const std::runtime_error other("Socket Error # 10013\r\nAccess denied.");
    EXPECT_EQ(BindFailureMessage(other, 69, "/usr/bin/veltrane"), other.what());
}

TEST(BindAdviceTextTest, NamesTheRunningProgramOrItsBareName)
{
    const ESocketError refused(kAccessDenied);
    EXPECT_NE(BindFailureMessage(refused, 69).find(TProgramPaths::ExecutableFile().string() + "\""),
              std::string::npos);
    EXPECT_NE(BindFailureMessage(refused, 69, "").find("=+ep veltrane\""), std::string::npos);
}
