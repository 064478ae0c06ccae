#include <gtest/gtest.h>

#include "engine/TransferWindow.h"
#include "tests/engine/EngineFixture.h"

using namespace std::string_literals;

namespace {
constexpr std::chrono::milliseconds kQuiet{300};

std::string WindowOack(std::string_view blocks)
{
    return "\x00\x06" "windowsize\0"s + std::string(blocks) + '\0';
}
}  // namespace

class WindowedTransferTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        server_->SetMaxWindowSize(16);
    }

    /// A file of `blocks` whole 512-byte blocks, each filled with its own letter, and
    /// `tail` bytes more.
    void MakeFile(std::size_t blocks, std::size_t tail)
    {
        std::string content;
        for (std::size_t i = 0; i <= blocks; ++i)
            content += std::string(i < blocks ? 512 : tail, static_cast<char>('a' + i % 26));
        files_["f"] = content;
    }

    /// The DATA packet of block `block` (counted from 1, no wrap) of file "f".
    std::string Block(std::size_t block)
    {
        const std::string& content = files_["f"];
        const std::size_t from = std::min((block - 1) * 512, content.size());
        return Data(static_cast<std::uint16_t>(block), content.substr(from, 512));
    }

    void ExpectBlocks(std::size_t first, std::size_t last)
    {
        for (std::size_t block = first; block <= last; ++block)
            ExpectPacket(Block(block));
    }

    void ExpectQuiet() { EXPECT_FALSE(client_.Receive(kQuiet).has_value()); }

    void StartDownload(std::string_view windowSize, std::string_view timeout = "5")
    {
        Activate();
        client_.SendTo(port_, Request(1, "f", "octet", {{"timeout", timeout}, {"windowsize", windowSize}}));
        ExpectPacket("\x00\x06" "timeout\0"s + std::string(timeout) + '\0' + "windowsize\0"s +
                     std::string(windowSize) + '\0');
        client_.Reply(Ack(0));
    }

    void ExpectSuccess()
    {
        ASSERT_TRUE(WaitForCompletions(1));
        EXPECT_TRUE(Completions()[0].Success);
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

TEST_F(WindowedTransferTest, FinalBlockReadIntoTheFirstWindowIsNoSuccessUntilTheRestIsAcknowledged)
{
    MakeFile(10, 100);  // 11 blocks, all in the first window of 16
    StartDownload("16", "1");
    ExpectBlocks(1, 11);
    ASSERT_TRUE(WaitForCompletions(1));  // the client went silent after ACK 0
    EXPECT_FALSE(Completions()[0].Success);
    EXPECT_EQ(outcomes_->Told(), std::vector{TTransferOutcome::Failed});
}

TEST_F(WindowedTransferTest, FinalBlockSentAfterTheRestIsAcknowledgedSucceedsTheMomentItIsSent)
{
    MakeFile(5, 100);
    StartDownload("4");
    ExpectBlocks(1, 4);
    EXPECT_TRUE(outcomes_->Told().empty());
    client_.Reply(Ack(4));
    ExpectBlocks(5, 6);
    client_.Reply(Ack(5));
    ExpectBlocks(6, 6);
    // Decided when block 6 went out alone, before its ACK, which may be lost.
    EXPECT_TRUE(WaitFor([&] { return outcomes_->Told() == std::vector{TTransferOutcome::Succeeded}; }));
    client_.Reply(Ack(6));
    ExpectSuccess();
    EXPECT_EQ(outcomes_->Told().size(), 1U);
}

TEST_F(WindowedTransferTest, LateGapAndRepeatedAcksStartNothingBeyondOneResendFromTheAcknowledgedBlock)
{
    MakeFile(12, 1);
    StartDownload("4");
    ExpectBlocks(1, 4);
    client_.Reply(Ack(4));
    ExpectBlocks(5, 8);
    client_.Reply(Ack(3));  // late: from before the window
    ExpectQuiet();
    client_.Reply(Ack(6));  // a gap after block 6: once from block 7
    ExpectBlocks(7, 10);
    client_.Reply(Ack(6));  // the same gap reported again
    client_.Reply(Ack(5));
    ExpectQuiet();
    client_.Reply(Ack(10));
    ExpectBlocks(11, 13);
    client_.Reply(Ack(13));
    ExpectSuccess();
}

TEST_F(WindowedTransferTest, LateAcknowledgementOfAWholeEarlierSendSendsOnlyBlocksNeverSent)
{
    MakeFile(12, 1);
    StartDownload("4");
    ExpectBlocks(1, 4);
    client_.Reply(Ack(2));  // a gap: 3 and 4 again, 5 and 6 for the first time
    ExpectBlocks(3, 6);
    client_.Reply(Ack(4));  // the first send had arrived whole after all
    ExpectBlocks(7, 8);     // 5 and 6 are on their way
    ExpectQuiet();
    client_.Reply(Ack(8));
    ExpectBlocks(9, 12);
    client_.Reply(Ack(12));
    ExpectBlocks(13, 13);
    client_.Reply(Ack(13));
    ExpectSuccess();
}

TEST_F(WindowedTransferTest, WholeWindowsThenTheFinalShortBlockInTheMiddleOfAWindow)
{
    MakeFile(5, 100);
    StartDownload("4");
    ExpectBlocks(1, 4);
    ExpectQuiet();  // a window, then the wait for its acknowledgement
    client_.Reply(Ack(4));
    ExpectBlocks(5, 6);  // the short block ends the window
    ExpectQuiet();
    client_.Reply(Ack(6));
    ExpectSuccess();
}

TEST_F(WindowedTransferTest, LostBlockIsSentAgainFromTheAcknowledgedOne)
{
    MakeFile(8, 1);
    StartDownload("4");
    ExpectBlocks(1, 4);
    client_.Reply(Ack(2));  // block 3 went missing
    ExpectBlocks(3, 6);
    client_.Reply(Ack(6));
    ExpectBlocks(7, 9);
    client_.Reply(Ack(9));
    ExpectSuccess();
}

TEST_F(WindowedTransferTest, DuplicateAcksDoNotSendTheWindowTwice)
{
    MakeFile(8, 1);
    StartDownload("4");
    ExpectBlocks(1, 4);
    client_.Reply(Ack(4));
    ExpectBlocks(5, 8);
    client_.Reply(Ack(4));
    client_.Reply(Ack(4));
    client_.Reply(Ack(0));
    ExpectQuiet();
    client_.Reply(Ack(8));
    ExpectBlocks(9, 9);
    client_.Reply(Ack(8));  // stale after the final block: no end, no resend
    ExpectQuiet();
    client_.Reply(Ack(9));
    ExpectSuccess();
}

TEST_F(WindowedTransferTest, LostAckSendsTheWindowAgainAfterTheWait)
{
    MakeFile(6, 1);
    StartDownload("4", "1");
    ExpectBlocks(1, 4);
    ExpectBlocks(1, 4);  // after one wait
    client_.Reply(Ack(4));
    ExpectBlocks(5, 7);
    client_.Reply(Ack(7));
    ExpectSuccess();
}

TEST_F(WindowedTransferTest, SilentPeerGetsThreeWindowsThenTimeout)
{
    MakeFile(6, 1);
    StartDownload("2", "1");
    for (int send = 0; send < 3; ++send)
        ExpectBlocks(1, 2);
    ExpectPacket(Error(4, "Timeout"));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_FALSE(Completions()[0].Success);
}

TEST_F(WindowedTransferTest, WindowSizeOneIsLockStep)
{
    MakeFile(2, 10);
    StartDownload("1", "1");
    ExpectBlocks(1, 1);
    client_.Reply(Ack(1));
    ExpectBlocks(2, 2);
    client_.Reply(Ack(1));
    ExpectQuiet();
    ExpectBlocks(2, 2);  // after the wait
    client_.Reply(Ack(2));
    ExpectBlocks(3, 3);
    client_.Reply(Ack(3));
    ExpectSuccess();
}

TEST_F(WindowedTransferTest, WindowSpansTheBlockNumberWrap)
{
    constexpr std::size_t kBlocks = 65540;
    const std::string content = WrappingContent(kBlocks);
    files_["f"] = content;
    StartDownload("16");
    std::string received;
    std::vector<std::uint16_t> numbers;
    for (;;) {
        const auto packet = client_.Receive();
        ASSERT_TRUE(packet.has_value());
        ASSERT_EQ(Opcode(*packet), 3);
        // A window sent again because our acknowledgement came late repeats blocks we have.
        if (!numbers.empty() && IsRepeat(::Block(*packet), static_cast<std::uint16_t>(numbers.back() + 1)))
            continue;
        numbers.push_back(::Block(*packet));
        received += packet->substr(4);
        const bool last = packet->size() < 516;
        if (last || numbers.size() % 16 == 0)
            client_.Reply(Ack(numbers.back()));
        if (last)
            break;
    }
    EXPECT_TRUE(SameBytes(received, content));
    ASSERT_EQ(numbers.size(), kBlocks + 1);
    EXPECT_EQ(numbers[65534], 65535);  // inside the window of blocks 65521..65536
    EXPECT_EQ(numbers[65535], 0);
    EXPECT_EQ(numbers[65536], 1);
    ExpectSuccess();
}

TEST_F(WindowedTransferTest, UploadAcknowledgesWindowsAndGoesBackAfterAGap)
{
    Activate();
    client_.SendTo(port_, Request(2, "up", "octet", {{"windowsize", "4"}}));
    ExpectPacket(WindowOack("4"));
    client_.Reply(Data(1, std::string(512, '1')));
    client_.Reply(Data(2, std::string(512, '2')));
    client_.Reply(Data(4, std::string(512, '4')));  // block 3 went missing
    ExpectPacket(Ack(2));
    client_.Reply(Data(5, std::string(512, '5')));  // the same gap: answered once
    ExpectQuiet();
    for (const char block : "3456"s)
        client_.Reply(Data(static_cast<std::uint16_t>(block - '0'), std::string(512, block)));
    ExpectPacket(Ack(6));  // a whole window
    // That ACK is lost: the peer sends its window again and gets one answer.
    for (const char block : "3456"s)
        client_.Reply(Data(static_cast<std::uint16_t>(block - '0'), std::string(512, block)));
    ExpectPacket(Ack(6));
    ExpectQuiet();
    client_.Reply(Data(7, "end"));
    ExpectPacket(Ack(7));
    ExpectSuccess();
    server_.reset();
    EXPECT_EQ(*uploaded_, std::string(512, '1') + std::string(512, '2') + std::string(512, '3') +
                              std::string(512, '4') + std::string(512, '5') + std::string(512, '6') + "end");
}

TEST_F(WindowedTransferTest, UploadWindowThatStallsIsAcknowledgedUpToItsLastBlockInOrder)
{
    Activate();
    client_.SendTo(port_, Request(2, "up", "octet", {{"windowsize", "8"}, {"timeout", "1"}}));
    ExpectPacket("\x00\x06" "timeout\0" "1\0" "windowsize\0" "8\0"s);
    client_.Reply(Data(1, std::string(512, '1')));
    client_.Reply(Data(2, std::string(512, '2')));
    ExpectPacket(Ack(2));  // after one wait
    client_.Reply(Data(3, ""));
    ExpectPacket(Ack(3));
    ExpectSuccess();
}
