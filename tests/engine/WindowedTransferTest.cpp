#include <gtest/gtest.h>

#include "engine/TransferWindow.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/TftpTestClient.h"

// Windows end to end on real sockets; a window's exchanges, gaps and waits included, are
// in SessionTest.
class WindowedTransferTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        server_->SetMaxWindowSize(16);
    }
};

TEST(TransferWindowTest, AcknowledgementsMoveTheWindowOnlyFromInside)
{
    TTransferWindow window;
    window.Allocate(4, 8);
    for (int i = 0; i < 4; ++i) {
        window.NextRoom()[0] = static_cast<char>('1' + i);
        window.Append(1);
    }
    EXPECT_TRUE(window.Full());
    EXPECT_FALSE(window.Acknowledge(0));  // before the window
    EXPECT_FALSE(window.Acknowledge(5));  // not made yet
    EXPECT_TRUE(window.Acknowledge(2));
    EXPECT_EQ(window.FirstBlock(), 3);
    EXPECT_EQ(window.Count(), 2U);
    EXPECT_EQ(window.Packet(0), "3");
    EXPECT_FALSE(window.Acknowledge(2));  // repeated
    window.NextRoom()[0] = '5';
    window.Append(1);
    EXPECT_EQ(window.Packet(2), "5");  // the ring wrapped over its slots
    EXPECT_TRUE(window.Acknowledge(5));
    EXPECT_TRUE(window.Empty());
    EXPECT_EQ(window.NextBlock(), 6);
}

TEST(TransferWindowTest, BlockNumbersWrapInsideTheWindow)
{
    TTransferWindow window;
    window.Allocate(4, 8);
    while (window.NextBlock() != 65534) {
        window.Append(0);
        ASSERT_TRUE(window.Acknowledge(static_cast<std::uint16_t>(window.NextBlock() - 1)));
    }
    for (int i = 0; i < 4; ++i)
        window.Append(0);  // 65534, 65535, 0, 1
    EXPECT_FALSE(window.Acknowledge(65533));
    EXPECT_TRUE(window.Acknowledge(0));
    EXPECT_EQ(window.FirstBlock(), 1);
    EXPECT_EQ(window.Count(), 1U);
}

TEST(TransferWindowTest, RoomsOnlyAsManyAsTheFileHasBlocks)
{
    struct Row { std::int32_t window; std::int32_t blockSize; std::int64_t size; std::size_t slots; };
    for (const Row row : {Row{64, 512, 3 * 512 - 1, 3}, Row{64, 512, 3 * 512, 4}, Row{64, 512, 0, 1},
                          Row{16, 1468, 64LL << 20, 16}, Row{64, 65464, -1, 64}, Row{0, 512, 5000, 1}})
        EXPECT_EQ(TTransferWindow::SlotsFor(row.window, row.blockSize, row.size), row.slots)
            << row.window << " " << row.blockSize << " " << row.size;
}

TEST_F(WindowedTransferTest, DownloadInTheWindowTheServerGrants)
{
    files_["f"] = WrappingContent(100);  // before the listener reads it
    Activate();
    TRawClient raw;
    TTftpTestClient client(raw, port_);
    EXPECT_TRUE(SameBytes(client.Download("f", {{"windowsize", "64"}}).value_or(""), files_["f"]));
    EXPECT_EQ(client.Granted(), (TTftpTestClient::TOptions{{"windowsize", "16"}}));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
}

TEST_F(WindowedTransferTest, UploadInWindowsStoresEveryByte)
{
    const std::string content = WrappingContent(40);
    Activate();
    TRawClient raw;
    TTftpTestClient client(raw, port_);
    EXPECT_TRUE(client.Upload("up", content, {{"windowsize", "8"}, {"blksize", "1024"}}));
    EXPECT_EQ(client.Granted(), (TTftpTestClient::TOptions{{"blksize", "1024"}, {"windowsize", "8"}}));
    server_.reset();  // without waiting out the session's watch for a repeated final block
    EXPECT_TRUE(SameBytes(*uploaded_, content));
}
