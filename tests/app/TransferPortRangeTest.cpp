#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/CoreFixture.h"

class TransferPortRangeTest : public CoreTest {
protected:
    std::size_t EntriesWithStatus(const std::string& status) const
    {
        const auto statuses = Statuses();
        return static_cast<std::size_t>(std::count(statuses.begin(), statuses.end(), status));
    }
};

TEST_F(TransferPortRangeTest, TwentyAtOnceOnTenPortsServeTenAndRefuseTheRest)
{
    const int low = FreePortRange(10);
    WriteSettings("MaxDLConn=50\nPortRangeLow=" + std::to_string(low) + "\nPortRangeHigh=" + std::to_string(low + 9));
    Offer("boot.bin", "0123456789");
    Start();
    std::vector<std::unique_ptr<TRawClient>> clients;
    for (int i = 0; i < 20; ++i) {
        clients.push_back(std::make_unique<TRawClient>());
        // A long reply wait keeps every granted session, and its port, until all have asked.
        clients.back()->SendTo(port_, Request(1, "boot.bin", "octet", {{"timeout", "30"}}));
    }
    std::vector<TRawClient*> served;
    std::set<int> sessionPorts;
    for (const auto& client : clients) {
        const auto answer = client->Receive(std::chrono::seconds(30));
        ASSERT_TRUE(answer.has_value());
        if (Opcode(*answer) == 6) {
            EXPECT_GE(client->LastPort(), low);
            EXPECT_LE(client->LastPort(), low + 9);
            sessionPorts.insert(client->LastPort());
            served.push_back(client.get());
        } else {
            EXPECT_EQ(*answer, Error(0, "No free transfer port"));
            EXPECT_EQ(client->LastPort(), port_);
        }
    }
    EXPECT_EQ(served.size(), 10u);
    EXPECT_EQ(sessionPorts.size(), 10u);
    for (TRawClient* client : served) {
        client->Reply(Ack(0));
        const auto data = client->Receive(std::chrono::seconds(30));
        ASSERT_TRUE(data.has_value());
        EXPECT_EQ(*data, Data(1, "0123456789"));
        client->Reply(Ack(1));
    }
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(WaitFor([&] { return EntriesWithStatus("Transfer: Send file complete.") == 10; },
                        std::chrono::seconds(30)));
    EXPECT_EQ(EntriesWithStatus("Send error: No free transfer port"), 10u);
    EXPECT_EQ(core_->ServerState().DownloadCount(), 0);
    EXPECT_EQ(core_->TransferLog().TransferInfoCount(), 0u);
}

TEST_F(TransferPortRangeTest, RefusedUploadIsLoggedAsAReceiveError)
{
    const int low = FreePortRange(1);
    WriteSettings("PortRangeLow=" + std::to_string(low) + "\nPortRangeHigh=" + std::to_string(low), "Accept=1");
    Start();
    TRawClient first;
    first.SendTo(port_, Request(2, "one.bin", "octet", {{"timeout", "30"}}));
    ASSERT_TRUE(first.Receive(std::chrono::seconds(30)).has_value());
    EXPECT_EQ(first.LastPort(), low);
    client_.SendTo(port_, Request(2, "two.bin", "octet"));
    EXPECT_EQ(client_.Receive(std::chrono::seconds(30)), Error(0, "No free transfer port"));
    EXPECT_EQ(LastStatus(), "Receive error: No free transfer port");
    EXPECT_EQ(core_->ActivityLog().Entries().back().FileName, "two.bin");
}

TEST_F(TransferPortRangeTest, UnusableRangeLeavesThePortToTheSystem)
{
    WriteSettings("PortRangeLow=1000\nPortRangeHigh=1009");
    Offer("boot.bin", "abc");
    Start();
    EXPECT_EQ(Download(client_, "boot.bin"), "abc");
    EXPECT_FALSE(client_.LastPort() >= 1000 && client_.LastPort() <= 1009);
}
