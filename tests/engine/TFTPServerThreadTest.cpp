#include "engine/TFTPServerThread.h"

#include <cerrno>

#include <gtest/gtest.h>

#include "tests/engine/EngineFixture.h"
#include "tests/support/FakeMainThread.h"
#include "tests/support/ProcessStatus.h"
#include "tests/support/TftpTestClient.h"

using namespace std::string_literals;

// Sessions end to end on real sockets; their exchanges, waits included, are in SessionTest.
class TFTPServerThreadTest : public EngineTest {};

TEST_F(TFTPServerThreadTest, ExactMultipleOfTheBlockEndsWithAnEmptyBlock)
{
    files_["f"] = std::string(512, 'a') + std::string(512, 'b');
    Activate();
    TRawClient raw;
    TTftpTestClient client(raw, port_);
    EXPECT_EQ(client.Download("f"), files_["f"]);  // which takes a short block as the end
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
    EXPECT_FALSE(Completions()[0].WriteOperation);
    EXPECT_FALSE(Completions()[0].HadStream);  // freed by the session before the report
    EXPECT_EQ(Completions()[0].Peer.Port, raw.LocalPort());
}

TEST_F(TFTPServerThreadTest, OversizedBlockRequestIsCappedAtTheLargestLegalBlock)
{
    files_["f"] = std::string(70000, 'q');
    Activate();
    TRawClient raw;
    TTftpTestClient client(raw, port_);
    EXPECT_EQ(client.Download("f", {{"blksize", "70000"}, {"timeout", "300"}}), files_["f"]);
    EXPECT_EQ(client.Granted(), (TTftpTestClient::TOptions{{"blksize", "65464"}}));
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
    client_.Reply(Ack(1));
    ExpectPacket(Data(2, std::string(188, 's')));  // and nothing before it
    client_.Reply(Ack(2));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
    // Nothing more came to either: the first datagram each finds is one sent after the end.
    client_.SendTo(stranger.LocalPort(), "fence");
    stranger.SendTo(client_.LocalPort(), "fence");
    EXPECT_EQ(stranger.Receive(), "fence");
    EXPECT_EQ(client_.Receive(), "fence");
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
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "ThreadSanitizer's memory for each session thread hides what the sessions allocate";
#endif
    constexpr int kRequests = 100;
    server_->SetMaxWindowSize(64);
    server_->OnReadFile = [](TTrivialFTPServer&, std::string&, const TPeerInfo&, bool& grant,
                             std::unique_ptr<TStream>& stream, bool&) {
        grant = true;
        stream = std::make_unique<TSizedStream>(std::int64_t{256} << 20);
    };
    Activate();
    const std::size_t before = ResidentKiB();
    for (int i = 0; i < kRequests; ++i)
        client_.SendTo(port_, Request(1, "f" + std::to_string(i), "octet",
                                      {{"blksize", "65464"}, {"windowsize", "64"}}));
    for (int i = 0; i < kRequests; ++i)
        ASSERT_TRUE(client_.Receive().has_value()) << "OACK " << i;
    EXPECT_LT(ResidentKiB() - std::min(before, ResidentKiB()), std::size_t{50} << 10);  // KiB
}

TEST_F(TFTPServerThreadTest, PortOfAFinishedDownloadServesTheNextWhileItsReportWaits)
{
    TFakeMainThread bridge;  // takes no report until the test lets it
    server_->SetMainThreadBridge(&bridge);
    const int port = FreePortRange(1);
    server_->SetTransferPortRange(port, port);
    files_["f"] = "small";
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet"));
    ExpectPacket(Data(1, "small"));
    EXPECT_EQ(client_.LastPort(), port);
    client_.Reply(Ack(1));
    ASSERT_TRUE(WaitFor([&] { return bridge.Held() == 1; }));
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
