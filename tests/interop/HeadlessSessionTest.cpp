// Transfer sessions of the veltrane executable in --headless mode, seen from the wire.

#include <fstream>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "tests/interop/HeadlessProcess.h"
#include "tests/support/RawClient.h"
#include "tests/support/WaitFor.h"

using namespace std::string_literals;

namespace {

/// The resident memory of process `pid`, in KiB, from /proc.
std::size_t ResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    std::size_t value = 0;
    while (status >> key) {
        if (key == "VmRSS:" && status >> value)
            return value;
        status.ignore(1 << 10, '\n');
    }
    return 0;
}

}  // namespace

class HeadlessSessionTest : public ::testing::Test {
protected:
    void SetUp() override { port_ = FreePort(); }

    void Settings(const std::string& lines)
    {
        std::ofstream(dir_.Path() / "veltrane.INI") << "[TFTP Settings]\n" << lines;
    }

    std::unique_ptr<THeadlessProcess> Start(const std::filesystem::path& offered)
    {
        auto server = std::make_unique<THeadlessProcess>(
            dir_, std::vector<std::string>{"--port", std::to_string(port_), offered.string()});
        // Ready once a request for a name not listed is refused.
        TRawClient probe;
        EXPECT_TRUE(WaitFor([&] {
            probe.SendTo(port_, Request(1, "not-listed", "octet"));
            return probe.Receive(std::chrono::milliseconds(100)).has_value();
        })) << server->Err();
        return server;
    }

    bool OutShows(const THeadlessProcess& server, const std::string& text)
    {
        return WaitFor([&] { return server.Out().find(text) != std::string::npos; });
    }

    TTempDir dir_;
    int port_ = 0;
    TRawClient client_;
};

TEST_F(HeadlessSessionTest, WindowHoldingTheFinalBlockIsAFailureWhenNothingAfterTheOackIsAcknowledged)
{
    const auto offered = dir_.WriteFile("eleven.bin", std::string(10 * 512 + 100, 'e'));
    const auto server = Start(offered);
    client_.SendTo(port_, Request(1, "eleven.bin", "octet", {{"timeout", "1"}, {"windowsize", "16"}}));
    ASSERT_EQ(client_.Receive(), "\x00\x06" "timeout\0" "1\0" "windowsize\0" "16\0"s);
    client_.Reply(Ack(0));
    ASSERT_TRUE(OutShows(*server, "Error transfering!")) << server->Out();
    EXPECT_EQ(server->Out().find("Send file complete."), std::string::npos) << server->Out();
}

TEST_F(HeadlessSessionTest, UnansweredLargeWindowRequestsCostLittleMemory)
{
    constexpr int kRequests = 100;
    Settings("MaxDLConn=200\nMaxWindowSize=64\n");
    const auto offered = dir_.Path() / "large.bin";
    std::filesystem::resize_file(dir_.WriteFile("large.bin", ""), std::uintmax_t{64} << 20);
    const auto server = Start(offered);
    const std::size_t before = ResidentKiB(server->Pid());
    for (int i = 0; i < kRequests; ++i) {
        TRawClient forged;
        forged.SendTo(port_, Request(1, "large.bin", "octet", {{"blksize", "65464"}, {"windowsize", "64"}}));
        ASSERT_TRUE(forged.Receive().has_value()) << "OACK " << i;
    }
    EXPECT_LT(ResidentKiB(server->Pid()), before + 50 * 1024);
}

TEST_F(HeadlessSessionTest, RangeOfOnePortServesDownloadsOneRightAfterAnother)
{
    const int transferPort = FreePortRange(1);
    Settings("PortRangeLow=" + std::to_string(transferPort) + "\nPortRangeHigh=" + std::to_string(transferPort) + "\n");
    const auto offered = dir_.WriteFile("small.bin", "small");
    const auto server = Start(offered);
    const auto finished = [&] {
        const std::string out = server->Out();
        std::size_t count = 0;
        for (auto at = out.find("Send file complete."); at != std::string::npos; at = out.find("Send file complete.", at + 1))
            ++count;
        return count;
    };
    for (std::size_t round = 0; round < 5; ++round) {
        TRawClient peer;
        peer.SendTo(port_, Request(1, "small.bin", "octet"));
        ASSERT_EQ(peer.Receive(), Data(1, "small")) << round;
        EXPECT_EQ(peer.LastPort(), transferPort);
        peer.Reply(Ack(1));
        ASSERT_TRUE(WaitFor([&] { return finished() == round + 1; })) << server->Out();
    }
}
