#include "app/CommandLine.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TCommandLine Parse(std::vector<std::string> arguments)
{
    return ParseCommandLine(arguments);
}

}  // namespace

TEST(CommandLineTest, HeadlessOptionsTakeTheirValuesBothWays)
{
    const TCommandLine line = Parse({"--headless", "--port=0", "--root", "/srv/tftp", "--bind", "127.0.0.1",
                                     "--bind=10.0.0.1", "--accept=/srv/in", "--max-downloads", "10",
                                     "--max-uploads=2", "fw.bin"});
    EXPECT_EQ(line.Error, "");
    EXPECT_TRUE(line.Headless);
    EXPECT_EQ(line.Port, 0);
    EXPECT_EQ(line.Root, "/srv/tftp");
    EXPECT_EQ(line.Bind, (std::vector<std::string>{"127.0.0.1", "10.0.0.1"}));
    EXPECT_EQ(line.Accept, "/srv/in");
    EXPECT_EQ(line.MaxDownloads, 10);
    EXPECT_EQ(line.MaxUploads, 2);
    EXPECT_EQ(line.Remaining, std::vector<std::string>{"fw.bin"});
    EXPECT_EQ(Parse({"--headless", "--port", "26971", "DIR"}).Port, 26971);
}

TEST(CommandLineTest, ShortHelpAndVersion)
{
    EXPECT_TRUE(Parse({"-h"}).Help);
    EXPECT_TRUE(Parse({"-V"}).Version);
    EXPECT_TRUE(Parse({"--headless", "-V"}).Version);
}

struct TUsageCase {
    std::vector<std::string> Arguments;
    std::string Error;
};

class CommandLineUsageTest : public ::testing::TestWithParam<TUsageCase> {};

TEST_P(CommandLineUsageTest, IsRefusedWithItsReason)
{
    EXPECT_EQ(Parse(GetParam().Arguments).Error, GetParam().Error);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, CommandLineUsageTest,
    ::testing::Values(
        TUsageCase{{"--headless", "-p", "26971", "DIR"}, "unknown option -p"},
        TUsageCase{{"--headless", "-"}, "unknown option -"},
        TUsageCase{{"--headless", "--pot=1"}, "unknown option --pot"},
        TUsageCase{{"--headless", "--port", "65536"}, "--port needs a port number from 0 to 65535"},
        TUsageCase{{"--headless", "--port=-1"}, "--port needs a port number from 0 to 65535"},
        TUsageCase{{"--headless", "--port=69x"}, "--port needs a port number from 0 to 65535"},
        TUsageCase{{"--headless", "--port"}, "--port needs a port number from 0 to 65535"},
        TUsageCase{{"--headless", "--max-downloads", "0"}, "--max-downloads needs a number from 1 to 9999"},
        TUsageCase{{"--headless", "--max-uploads=10000"}, "--max-uploads needs a number from 1 to 9999"},
        TUsageCase{{"--headless", "--bind", "10.0.0.256"}, "--bind needs an IPv4 or IPv6 address"},
        TUsageCase{{"--headless", "--bind", "All"}, "--bind needs an IPv4 or IPv6 address"},
        TUsageCase{{"--headless", "--root="}, "--root needs a folder"},
        TUsageCase{{"--headless", "--accept"}, "--accept needs a folder"},
        TUsageCase{{"--headless=1"}, "--headless takes no value"},
        TUsageCase{{"--root", "/srv/tftp"}, "--root serves without windows only; add --headless"},
        TUsageCase{{"-cm", "--port", "69"}, "--port serves without windows only; add --headless"},
        TUsageCase{{"--max-uploads", "3", "--bind", "1.2.3.4"},
                   "--max-uploads serves without windows only; add --headless"}));

TEST(CommandLineTest, WindowKeepsItsOwnSwitches)
{
    const TCommandLine line = Parse({"--config-dir", "/etc/v", "-cm", "-platform", "offscreen"});
    EXPECT_EQ(line.Error, "");
    EXPECT_EQ(line.ConfigDir, "/etc/v");
    EXPECT_EQ(line.Remaining, (std::vector<std::string>{"-cm", "-platform", "offscreen"}));
}

TEST(CommandLineTest, BindTakesIPv4TextOnly)
{
    EXPECT_EQ(BindAddressText("192.168.1.10"), "192.168.1.10");
    EXPECT_EQ(BindAddressText("0.0.0.0"), "0.0.0.0");
    for (const char* refused : {"", "1.2.3", "1.2.3.4.5", "a.b.c.d", "1.2.3.4 ", "localhost"})
        EXPECT_EQ(BindAddressText(refused), std::nullopt) << refused;
}

TEST(CommandLineTest, BindTakesIPv6TextInItsShortForm)
{
    EXPECT_EQ(BindAddressText("::"), "::");
    EXPECT_EQ(BindAddressText("2001:0DB8:0:0:0:0:0:1"), "2001:db8::1");
    EXPECT_EQ(BindAddressText("fe80::1%eth0"), "fe80::1%eth0");
    for (const char* refused : {":", "2001:db8::1::2", "::1/64", "fe80::1%", "::g"})
        EXPECT_EQ(BindAddressText(refused), std::nullopt) << refused;
    EXPECT_EQ(Parse({"--headless", "--bind", "::1", "--bind", "127.0.0.1"}).Bind,
              (std::vector<std::string>{"::1", "127.0.0.1"}));
}
