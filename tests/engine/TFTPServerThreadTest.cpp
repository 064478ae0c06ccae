#include "engine/TFTPServerThread.h"

#include <cerrno>
#include <fstream>

#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/MainThreadBridge.h"
#include "tests/engine/EngineFixture.h"

using namespace std::string_literals;

class TFTPServerThreadTest : public EngineTest {
protected:
    /// Acknowledges every DATA until the short one; returns the bytes received.
    std::string DownloadAll(std::size_t blockSize)
    {
        std::string received;
        for (;;) {
            const auto packet = client_.Receive();
            if (!packet || Opcode(*packet) != 3) {
                ADD_FAILURE() << "expected DATA";
                return received;
            }
            received += packet->substr(4);
            client_.Reply(Ack(Block(*packet)));
            if (packet->size() - 4 < blockSize)
                return received;
        }
    }
};

TEST_F(TFTPServerThreadTest, ExactMultipleOfTheBlockEndsWithAnEmptyBlock)
{
    files_["f"] = std::string(512, 'a') + std::string(512, 'b');
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet"));
    ExpectPacket(Data(1, std::string(512, 'a')));
    client_.Reply(Ack(1));
    ExpectPacket(Data(2, std::string(512, 'b')));
    client_.Reply(Ack(2));
    ExpectPacket(Data(3, ""));
    client_.Reply(Ack(3));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
    EXPECT_FALSE(Completions()[0].WriteOperation);
    EXPECT_FALSE(Completions()[0].HadStream);  // freed by the session before the report
    EXPECT_EQ(Completions()[0].Peer.Port, client_.LocalPort());
}

TEST_F(TFTPServerThreadTest, NegotiatedBlockSizeStartsWithOackAndAckZero)
{
    files_["f"] = std::string(1500, 'z');
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet", {{"blksize", "1024"}}));
    ExpectPacket("\x00\x06" "blksize\0" "1024\0"s);
    client_.Reply(Ack(0));
    ExpectPacket(Data(1, std::string(1024, 'z')));
    client_.Reply(Ack(1));
    ExpectPacket(Data(2, std::string(476, 'z')));
    client_.Reply(Ack(2));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
}

TEST_F(TFTPServerThreadTest, OversizedBlockRequestIsCappedAtTheLargestLegalBlock)
{
    files_["f"] = std::string(70000, 'q');
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet", {{"blksize", "70000"}, {"timeout", "300"}}));
    ExpectPacket("\x00\x06" "blksize\0" "65464\0"s);
    client_.Reply(Ack(0));
    EXPECT_EQ(DownloadAll(65464), files_["f"]);
    ASSERT_TRUE(WaitForCompletions(1));
}

TEST_F(TFTPServerThreadTest, SilentPeerGetsThreeSendsThenTimeout)
{
    files_["f"] = std::string(600, 'x');
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet", {{"timeout", "1"}}));
    ExpectPacket("\x00\x06" "timeout\0" "1\0"s);
    ExpectPacket("\x00\x06" "timeout\0" "1\0"s);
    ExpectPacket("\x00\x06" "timeout\0" "1\0"s);
    ExpectPacket(Error(4, "Timeout"));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_FALSE(Completions()[0].Success);
}

TEST_F(TFTPServerThreadTest, RepeatedAckIsNotAnsweredAndOnlyTheFinalAckEnds)
{
    files_["f"] = std::string(512 * 2 + 10, 'r');
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet", {{"timeout", "1"}}));
    ExpectPacket("\x00\x06" "timeout\0" "1\0"s);
    client_.Reply(Ack(0));
    ExpectPacket(Data(1, std::string(512, 'r')));
    client_.Reply(Ack(1));
    ExpectPacket(Data(2, std::string(512, 'r')));
    client_.Reply(Ack(1));  // stale: no resend now, or every later block would go twice
    EXPECT_FALSE(client_.Receive(std::chrono::milliseconds(300)).has_value());
    ExpectPacket(Data(2, std::string(512, 'r')));  // after the wait
    client_.Reply(Ack(2));
    ExpectPacket(Data(3, std::string(10, 'r')));
    // A stale ACK after the final block does not end the transfer: the peer may not have
    // the final block, which goes out again when the wait ends.
    client_.Reply(Ack(2));
    ExpectPacket(Data(3, std::string(10, 'r')));
    client_.Reply(Ack(3));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
}

TEST_F(TFTPServerThreadTest, UnansweredFinalBlockStillCountsAsReached)
{
    files_["f"] = "tiny";
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet", {{"timeout", "1"}}));
    ExpectPacket("\x00\x06" "timeout\0" "1\0"s);
    client_.Reply(Ack(0));
    ExpectPacket(Data(1, "tiny"));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
}

TEST_F(TFTPServerThreadTest, UploadWritesRepeatedBlockOnceAndAcksItTwice)
{
    Activate();
    client_.SendTo(port_, Request(2, "up", "octet"));
    ExpectPacket(Ack(0));
    client_.Reply(Data(1, std::string(512, '1')));
    ExpectPacket(Ack(1));
    client_.Reply(Data(2, std::string(512, '2')));
    ExpectPacket(Ack(2));
    client_.Reply(Data(2, std::string(512, '2')));
    ExpectPacket(Ack(2));
    client_.Reply(Data(3, "end"));
    ExpectPacket(Ack(3));
    client_.Reply(Data(3, "end"));  // our ACK was lost: the same ACK again
    ExpectPacket(Ack(3));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
    EXPECT_TRUE(Completions()[0].WriteOperation);
    EXPECT_EQ(*uploaded_, std::string(512, '1') + std::string(512, '2') + "end");
}

TEST_F(TFTPServerThreadTest, FullDiskAnswersWithThePositionReached)
{
    failAfter_ = 1000;
    Activate();
    client_.SendTo(port_, Request(2, "up", "octet", {{"blksize", "600"}}));
    ExpectPacket("\x00\x06" "blksize\0" "600\0"s);
    client_.Reply(Data(1, std::string(600, 'd')));
    ExpectPacket(Ack(1));
    client_.Reply(Data(2, std::string(600, 'd')));
    ExpectPacket(Error(3, "Unable to complete write request, progress halted at 600 bytes"));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_FALSE(Completions()[0].Success);
}

TEST_F(TFTPServerThreadTest, PeerErrorAbortsTheSession)
{
    files_["f"] = std::string(2000, 'e');
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet"));
    ExpectPacket(Data(1, std::string(512, 'e')));
    client_.Reply(Error(0, "disk full"));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_FALSE(client_.Receive(std::chrono::milliseconds(500)).has_value());  // an ERROR is never answered
    EXPECT_FALSE(Completions()[0].Success);
}

TEST_F(TFTPServerThreadTest, WrongPacketKindForTheDirectionIsAnIllegalOperation)
{
    Activate();
    client_.SendTo(port_, Request(2, "up", "octet"));
    ExpectPacket(Ack(0));
    client_.Reply(Ack(0));
    ExpectPacket(Error(4, "Unexpected operation from 127.0.0.1:" + std::to_string(client_.LocalPort())));
    ASSERT_TRUE(WaitForCompletions(1));
}

TEST_F(TFTPServerThreadTest, DatagramsFromStrangersAreIgnored)
{
    files_["f"] = std::string(700, 's');
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet"));
    ExpectPacket(Data(1, std::string(512, 's')));
    const int session = client_.LastPort();
    TRawClient stranger;
    stranger.SendTo(session, Ack(1));
    stranger.SendTo(session, Error(0, "go away"));
    stranger.SendTo(session, Data(1, "junk"));
    stranger.SendTo(session, std::string(9000, 'x'));  // too long for the buffer, and not the peer's
    EXPECT_FALSE(client_.Receive(std::chrono::milliseconds(300)).has_value());
    EXPECT_FALSE(stranger.Receive(std::chrono::milliseconds(10)).has_value());
    client_.Reply(Ack(1));
    ExpectPacket(Data(2, std::string(188, 's')));
    client_.Reply(Ack(2));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
}

TEST_F(TFTPServerThreadTest, BlockNumbersWrapPast65535)
{
    constexpr std::size_t kBlocks = 65540;
    const std::string content = WrappingContent(kBlocks);
    files_["big"] = content;
    Activate();
    client_.SendTo(port_, Request(1, "big", "octet"));
    std::string received;
    std::vector<std::uint16_t> numbers;
    for (;;) {
        const auto packet = client_.Receive();
        ASSERT_TRUE(packet.has_value());
        ASSERT_EQ(Opcode(*packet), 3);
        // A block sent again because our acknowledgement came late: acknowledged again,
        // as a client does, and not kept twice.
        const bool repeat = !numbers.empty() && Block(*packet) == numbers.back();
        client_.Reply(Ack(Block(*packet)));
        if (repeat)
            continue;
        numbers.push_back(Block(*packet));
        received += packet->substr(4);
        if (packet->size() < 516)
            break;
    }
    EXPECT_TRUE(SameBytes(received, content));
    ASSERT_EQ(numbers.size(), kBlocks + 1);
    EXPECT_EQ(numbers[65534], 65535);
    EXPECT_EQ(numbers[65535], 0);
    EXPECT_EQ(numbers[65536], 1);
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
}

TEST_F(TFTPServerThreadTest, DestroyingTheServerStopsRunningSessionsWithoutReports)
{
    files_["f"] = std::string(5000, 'w');
    Activate();
    std::vector<std::unique_ptr<TRawClient>> peers;
    for (int i = 0; i < 4; ++i) {
        peers.push_back(std::make_unique<TRawClient>());
        peers.back()->SendTo(port_, Request(1, "f", "octet"));
        ASSERT_TRUE(peers.back()->Receive().has_value());
    }
    ASSERT_TRUE(WaitFor([&] { return server_->SessionCount() == 4; }));
    const auto before = std::chrono::steady_clock::now();
    server_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));  // hang detection
    EXPECT_TRUE(Completions().empty());
}

namespace {

/// A file of `size` bytes that holds none of them: for requests that must not cost
/// memory whatever the file's size.
class TSizedStream : public TStream {
public:
    explicit TSizedStream(std::int64_t size) : size_(size) {}
    std::size_t Read(void* buffer, std::size_t count) override
    {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - at_));
        std::memset(buffer, 'z', n);
        at_ += static_cast<std::int64_t>(n);
        return n;
    }
    void Write(const void*, std::size_t) override {}
    std::int64_t Position() const override { return at_; }
    std::int64_t Size() const override { return size_; }

private:
    std::int64_t size_;
    std::int64_t at_ = 0;
};

std::size_t ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t total = 0;
    std::size_t resident = 0;
    statm >> total >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

/// A main thread that takes no report until the test lets it.
class TStalledBridge : public IMainThreadBridge {
public:
    void Post(std::function<void()> task) override
    {
        std::lock_guard guard(tasksLock_);
        tasks_.push_back(std::move(task));
    }
    std::size_t Waiting()
    {
        std::lock_guard guard(tasksLock_);
        return tasks_.size();
    }

private:
    std::mutex tasksLock_;
    std::vector<std::function<void()>> tasks_;
};

// Sends refused with `refusedErrno` while `refusalsLeft` lasts, then the system's own.
std::atomic<int> refusalsLeft{0};
int refusedErrno = 0;

ssize_t RefuseThenSend(int fd, const msghdr* message, int flags)
{
    if (refusalsLeft.fetch_sub(1) > 0) {
        errno = refusedErrno;
        return -1;
    }
    return ::sendmsg(fd, message, flags);
}

}  // namespace

TEST_F(TFTPServerThreadTest, UnansweredOacksHoldNoWindow)
{
    constexpr int kRequests = 100;
    server_->SetMaxWindowSize(64);
    server_->OnReadFile = [](TTrivialFTPServer&, std::string&, const TPeerInfo&, bool& grant,
                             std::unique_ptr<TStream>& stream, bool&) {
        grant = true;
        stream = std::make_unique<TSizedStream>(std::int64_t{256} << 20);
    };
    Activate();
    const std::size_t before = ResidentBytes();
    for (int i = 0; i < kRequests; ++i)
        client_.SendTo(port_, Request(1, "f" + std::to_string(i), "octet",
                                      {{"blksize", "65464"}, {"windowsize", "64"}}));
    for (int i = 0; i < kRequests; ++i)
        ASSERT_TRUE(client_.Receive().has_value()) << "OACK " << i;
    EXPECT_LT(ResidentBytes() - std::min(before, ResidentBytes()), std::size_t{50} << 20);
}

TEST_F(TFTPServerThreadTest, PortOfAFinishedDownloadServesTheNextWhileItsReportWaits)
{
    TStalledBridge bridge;
    server_->SetMainThreadBridge(&bridge);
    const int port = FreePortRange(1);
    server_->SetTransferPortRange(port, port);
    files_["f"] = "small";
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet"));
    ExpectPacket(Data(1, "small"));
    EXPECT_EQ(client_.LastPort(), port);
    client_.Reply(Ack(1));
    ASSERT_TRUE(WaitFor([&] { return bridge.Waiting() == 1; }));
    TRawClient next;
    next.SendTo(port_, Request(1, "f", "octet"));
    const auto answer = next.Receive();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, Data(1, "small"));
    EXPECT_EQ(next.LastPort(), port);
    server_.reset();
}

class SendRefusedTest : public TFTPServerThreadTest, public ::testing::WithParamInterface<int> {};

TEST_P(SendRefusedTest, RefusedSendIsALostDatagramSentAgainAfterTheWait)
{
    refusedErrno = GetParam();
    refusalsLeft = 1;
    server_->SetSessionSendCalls({::sendmmsg, RefuseThenSend});
    files_["f"] = "data";
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet", {{"timeout", "1"}}));
    ExpectPacket("\x00\x06" "timeout\0" "1\0"s);  // after one wait
    client_.Reply(Ack(0));
    ExpectPacket(Data(1, "data"));
    client_.Reply(Ack(1));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
}

INSTANTIATE_TEST_SUITE_P(RefusedForTheMoment, SendRefusedTest, ::testing::Values(EPERM, ENOBUFS, EAGAIN));
