#include <cerrno>
#include <iterator>

#include <sys/socket.h>

#include <gtest/gtest.h>

#include "tests/app/CoreFixture.h"

namespace {

/// A machine without IPv6: every IPv6 socket is refused as the kernel does then.
int NoIPv6Socket(int family, int type, int protocol)
{
    if (family == AF_INET6) {
        errno = EAFNOSUPPORT;
        return -1;
    }
    return ::socket(family, type, protocol);
}

bool HasIPv6Loopback()
{
    try {
        TRawClient probe(AF_INET6);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

/// The core with "Bind" "All": IPv4 on port_, IPv6 on port6_ (both chosen by the system).
class IPv6ServingTest : public CoreTest {
protected:
    void SetUp() override
    {
        if (!HasIPv6Loopback())
            GTEST_SKIP() << "this machine has no ::1";
    }

    /// Writes the settings with `tftpKeys` and `acceptingKeys`, "Bind" "All".
    void WriteSettingsOnAll(const std::string& tftpKeys, const std::string& acceptingKeys = {})
    {
        WriteSettings(tftpKeys, acceptingKeys);
        std::ifstream file(dir_.Path() / "veltrane.INI");
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        text.replace(text.find("Bind=127.0.0.1"), 14, "Bind=All");
        dir_.WriteFile("veltrane.INI", text);
    }

    void StartOnAll(TSocketOpener opener = ::socket)
    {
        ASSERT_EQ(core_->Config()->Bind, "All");
        core_->Engine().Bindings().SetSocketOpener(opener);
        Start();
        port6_ = core_->Engine().Bindings()[1].Port();
    }

    /// Acknowledges block 1 of a download under way, expects block 2, then ends it.
    void AckFirstBlockThenEnd(TRawClient& client)
    {
        client.Reply(Ack(1));
        const auto second = client.Receive();
        ASSERT_TRUE(second.has_value());
        EXPECT_EQ(Block(*second), 2);
        client.Reply(Error(0, "enough"));
        EXPECT_TRUE(WaitIdle());
    }

    int port6_ = 0;
};

TEST_F(IPv6ServingTest, AllServesIPv4AndIPv6ClientsAtTheSameTime)
{
    WriteSettingsOnAll("MaxDLConn=2");
    Offer("a.bin", std::string(3000, 'a'));
    StartOnAll();
    TRawClient six(AF_INET6);
    six.SendTo(port6_, Request(1, "a.bin", "octet"));
    const auto first = six.Receive();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(Opcode(*first), 3);
    // While the IPv6 download waits for its first acknowledgement, an IPv4 one runs whole.
    EXPECT_TRUE(Download(client_, "a.bin") == std::string(3000, 'a'));
    const auto record = core_->TransferLog().TransferInfo({"::1", six.LocalPort()});
    ASSERT_TRUE(record.has_value());
    AckFirstBlockThenEnd(six);
}

TEST_F(IPv6ServingTest, RefusalsReachAnIPv6ClientFromTheServerPort)
{
    WriteSettingsOnAll("MaxDLConn=1");
    Offer("a.bin", std::string(2000, 'a'));
    StartOnAll();
    TRawClient six(AF_INET6);
    six.SendTo(port6_, Request(1, "missing/x.bin", "octet"));
    EXPECT_EQ(Opcode(six.Receive().value_or("")), 5);
    EXPECT_EQ(six.LastPort(), port6_);

    six.SendTo(port6_, Request(1, "a.bin", "octet"));
    ASSERT_TRUE(six.Receive().has_value());
    TRawClient other(AF_INET6);
    other.SendTo(port6_, Request(1, "a.bin", "octet"));
    EXPECT_EQ(other.Receive().value_or(""), Error(2, "Access to a.bin denied"));
    EXPECT_EQ(other.LastPort(), port6_);
    EXPECT_EQ(LastStatus(), "Send error: Max connections reached!");
    six.Reply(Error(0, "enough"));
    EXPECT_TRUE(WaitIdle());
}

TEST_F(IPv6ServingTest, OnlyThePeersAddressAndPortAreThePeer)
{
    WriteSettingsOnAll("");
    Offer("a.bin", std::string(2000, 'a'));
    StartOnAll();
    TRawClient six(AF_INET6);
    six.SendTo(port6_, Request(1, "a.bin", "octet"));
    ASSERT_TRUE(six.Receive().has_value());
    const int session = six.LastPort();
    TRawClient stranger(AF_INET6);
    stranger.SendTo(session, Ack(1));
    AckFirstBlockThenEnd(six);  // the session has read the stranger's ACK before the peer's
    EXPECT_FALSE(stranger.Receive(std::chrono::milliseconds(0)).has_value());
}

TEST_F(IPv6ServingTest, IPv6RulesDecideAnIPv6Client)
{
    WriteSettingsOnAll("SecurityOn=1", "Accept=1");
    dir_.WriteFile("veltrane.SE6", "address 0:0::1 read\nprefix ::/0 deny\n");
    Offer("f.bin", "x");
    StartOnAll();
    TRawClient six(AF_INET6);
    port_ = port6_;
    EXPECT_EQ(Download(six, "f.bin"), "x");
    // Until its session ends, the very same request from this port would be taken as a
    // retransmission of the download.
    ASSERT_TRUE(WaitIdle());
    six.SendTo(port6_, Request(2, "up.bin", "octet"));
    EXPECT_EQ(six.Receive().value_or(""), Error(2, "Access to up.bin denied"));
    EXPECT_EQ(LastStatus(), "Receive error: Unauthorised!");

    dir_.WriteFile("veltrane.SE6", "prefix ::/0 deny\naddress ::1 readwrite\n");
    core_->ReapplyAfterConfiguration();
    six.SendTo(port6_, Request(1, "f.bin", "octet"));
    EXPECT_EQ(six.Receive().value_or(""), Error(2, "Access to f.bin denied"));
}

TEST_F(IPv6ServingTest, AllOnAMachineWithoutIPv6ServesIPv4WithoutComplaint)
{
    WriteSettingsOnAll("");
    Offer("f.bin", "four");
    StartOnAll(NoIPv6Socket);
    EXPECT_FALSE(core_->Engine().Bindings()[1].HandleAllocated());
    EXPECT_EQ(Download(client_, "f.bin"), "four");
    for (const std::string& status : Statuses())
        EXPECT_EQ(status.find("rror"), std::string::npos) << status;
}
