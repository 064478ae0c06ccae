#include <algorithm>
#include <cerrno>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include <fcntl.h>

#include <gtest/gtest.h>

#include "engine/NetException.h"
#include "engine/PeerChannel.h"
#include "engine/SocketHandle.h"
#include "engine/UDPClient.h"
#include "tests/support/RawClient.h"

namespace {

// What the fake batch senders below did; one test at a time uses them.
int batchCalls = 0;
int failuresLeft = 0;
int failureErrno = 0;

/// A system that takes at most two datagrams a call.
int SendTwoAtMost(int fd, mmsghdr* messages, unsigned int count, int flags)
{
    ++batchCalls;
    return ::sendmmsg(fd, messages, std::min(count, 2U), flags);
}

/// A system that fails the first `failuresLeft` calls with `failureErrno`, then sends
/// one datagram a call.
int FailThenSendOne(int fd, mmsghdr* messages, unsigned int count, int flags)
{
    ++batchCalls;
    if (failuresLeft > 0) {
        --failuresLeft;
        errno = failureErrno;
        return -1;
    }
    return ::sendmmsg(fd, messages, std::min(count, 1U), flags);
}

// What the fake message senders below did.
int segmentedCalls = 0;

/// The system's own sendmsg, counting the sends that ask for segmentation.
ssize_t CountSegmented(int fd, const msghdr* message, int flags)
{
    if (message->msg_controllen > 0)
        ++segmentedCalls;
    return ::sendmsg(fd, message, flags);
}

/// A system that refuses segmentation with `failureErrno`, as an old kernel or a device
/// without checksum offload does.
ssize_t RefuseSegmentation(int fd, const msghdr* message, int flags)
{
    if (message->msg_controllen > 0) {
        ++segmentedCalls;
        errno = failureErrno;
        return -1;
    }
    return ::sendmsg(fd, message, flags);
}

/// `count` DATA packets of `blockSize` bytes from block `first` on, numbers wrapping past
/// 65535, the last `lastSize` bytes long.
std::vector<std::string> Window(std::uint16_t first, std::size_t count, std::size_t blockSize, std::size_t lastSize)
{
    std::vector<std::string> packets;
    for (std::size_t i = 0; i < count; ++i) {
        const auto block = static_cast<std::uint16_t>(first + i);
        packets.push_back(Data(block, std::string(i + 1 < count ? blockSize : lastSize, static_cast<char>('a' + i % 26))));
    }
    return packets;
}

}  // namespace

class SocketHandleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        segmentedCalls = 0;
        batchCalls = 0;
        failuresLeft = 0;
        socket_.AllocateSocket(AF_INET);
        receiver_ = *NumericAddress("127.0.0.1", client_.LocalPort(), AF_INET);
    }

    /// `count` datagrams of different lengths and contents.
    static std::vector<std::string> Datagrams(std::size_t count)
    {
        std::vector<std::string> datagrams;
        for (std::size_t i = 0; i < count; ++i)
            datagrams.push_back(std::to_string(i) + std::string(i % 7, static_cast<char>('a' + i % 26)));
        return datagrams;
    }

    void SendEach(const std::vector<std::string>& datagrams)
    {
        const std::vector<std::string_view> views(datagrams.begin(), datagrams.end());
        socket_.SendEach(receiver_, views);
    }

    void ExpectReceived(const std::vector<std::string>& datagrams)
    {
        for (const std::string& expected : datagrams) {
            const auto got = client_.Receive();
            ASSERT_TRUE(got.has_value()) << "missing " << expected;
            EXPECT_EQ(*got, expected);
        }
        EXPECT_FALSE(client_.Receive(std::chrono::milliseconds(100)).has_value());
    }

    TRawClient client_;
    TSocketHandle socket_;
    TSocketAddress receiver_;
};

TEST_F(SocketHandleTest, SendEachDeliversEveryDatagramInOrder)
{
    // More than one system call carries: the rest follow in further calls.
    const auto datagrams = Datagrams(150);
    SendEach(datagrams);
    ExpectReceived(datagrams);
}

TEST_F(SocketHandleTest, SendEachGoesOnWhenTheSystemTakesFewerThanGiven)
{
    socket_.SetBatchSender(SendTwoAtMost);
    const auto datagrams = Datagrams(9);
    SendEach(datagrams);
    ExpectReceived(datagrams);
    EXPECT_EQ(batchCalls, 5);
}

TEST_F(SocketHandleTest, SendEachOverAConnectedSocketSendsToThePeer)
{
    socket_.Connect(receiver_);
    socket_.SetBatchSender(SendTwoAtMost);
    const auto datagrams = Datagrams(5);
    SendEach(datagrams);
    ExpectReceived(datagrams);
}

TEST_F(SocketHandleTest, SendEachRetriesAnInterruptedCall)
{
    socket_.SetBatchSender(FailThenSendOne);
    failuresLeft = 2;
    failureErrno = EINTR;
    const auto datagrams = Datagrams(3);
    SendEach(datagrams);
    ExpectReceived(datagrams);
    EXPECT_EQ(batchCalls, 5);
}

TEST_F(SocketHandleTest, SendEachRaisesAFailureAsASingleSendDoes)
{
    socket_.SetBatchSender(FailThenSendOne);
    failuresLeft = 1;
    failureErrno = EMSGSIZE;
    EXPECT_THROW(SendEach(Datagrams(3)), EPackageSizeTooBig);

    failuresLeft = 1;
    failureErrno = ENOBUFS;
    try {
        SendEach(Datagrams(3));
        ADD_FAILURE() << "no error raised";
    } catch (const ESocketError& failure) {
        EXPECT_EQ(failure.Number(), 10055);
    }
    ExpectReceived({});
}

TEST_F(SocketHandleTest, SendEachRaisesWhenTheSystemTakesNothing)
{
    socket_.SetBatchSender([](int, mmsghdr*, unsigned int, int) { return 0; });
    EXPECT_THROW(SendEach(Datagrams(2)), ENotAllBytesSent);
}

TEST_F(SocketHandleTest, SendEachSendsTheDatagramsBeforeOneTooLongThenRaises)
{
    const std::vector<std::string> datagrams{"first", std::string(70000, 'x'), "never"};
    EXPECT_THROW(SendEach(datagrams), EPackageSizeTooBig);
    ExpectReceived({"first"});
}

/// A socket bound elsewhere (as a service manager hands one over) is taken as it is, and
/// taken again after the binding was closed: the handed socket itself stays open.
TEST(SocketHandleHandOverTest, BindTakesTheHandedSocketAgainAfterEachClose)
{
    TSocketHandle handed;
    handed.SetIP("127.0.0.1");
    handed.Bind();
    TSocketHandle binding;
    binding.SetIP("10.255.255.1");  // what the settings say is not used
    binding.UseHandedSocket(handed.Handle());
    TRawClient client;
    char buffer[16];
    for (int round = 0; round < 2; ++round) {
        binding.Bind();
        EXPECT_NE(binding.Handle(), handed.Handle());
        EXPECT_EQ(binding.IP(), "127.0.0.1");
        EXPECT_EQ(binding.Port(), handed.Port());
        client.SendTo(handed.Port(), "ping");
        const auto received = binding.Receive(buffer, sizeof buffer, 30000);
        ASSERT_TRUE(received.has_value());
        EXPECT_EQ(received->Size, 4u);
        EXPECT_EQ(received->From.Port(), client.LocalPort());
        binding.CloseSocket();
    }
    EXPECT_GE(::fcntl(handed.Handle(), F_GETFD), 0);
}

/// An address not on any interface is refused, unless the binding may take it before it
/// comes up; it then keeps the address and the port the system picked.
TEST(SocketHandleFreeBindTest, AnAddressNotUpIsBoundOnlyWithFreeBind)
{
    for (const bool freeBind : {false, true}) {
        TSocketHandles bindings;
        bindings.SetFreeBind(freeBind);
        TSocketHandle& binding = bindings.Add();
        binding.SetIP("203.0.113.77");
        if (!freeBind) {
            EXPECT_THROW(binding.Bind(), ESocketError);
            continue;
        }
        binding.Bind();
        EXPECT_EQ(binding.IP(), "203.0.113.77");
        EXPECT_GT(binding.Port(), 0);
    }
}

TEST_F(SocketHandleTest, WindowOfOneSizeGoesOutSegmentedAndArrivesBlockByBlock)
{
    struct Row { std::uint16_t first; std::size_t count; std::size_t blockSize; std::size_t lastSize; int sends; };
    for (const Row row : {Row{1, 16, 1468, 1468, 1}, Row{65530, 16, 1468, 100, 1}, Row{65535, 3, 512, 0, 1},
                          Row{7, 64, 1468, 9, 2}, Row{1, 100, 512, 511, 2}, Row{1, 45, 1468, 1468, 1}}) {
        SCOPED_TRACE(row.first);
        segmentedCalls = 0;
        socket_.SetMessageSender(CountSegmented);
        const auto packets = Window(row.first, row.count, row.blockSize, row.lastSize);
        SendEach(packets);
        ExpectReceived(packets);
        if (socket_.SegmentingSends()) {  // this machine's kernel segments
            EXPECT_EQ(segmentedCalls, row.sends);
        }
    }
}

TEST_F(SocketHandleTest, LoneOrMixedDatagramsAndLargeBlocksAreNotSegmented)
{
    socket_.SetMessageSender(CountSegmented);
    SendEach(Window(1, 1, 1468, 10));
    SendEach(Datagrams(5));
    SendEach(Window(1, 2, 65464, 65464));
    EXPECT_EQ(segmentedCalls, 0);
    EXPECT_TRUE(socket_.SegmentingSends());
}

TEST_F(SocketHandleTest, RefusedSegmentationFallsBackToBatchesForGood)
{
    for (const int refusal : {EINVAL, ENOPROTOOPT, EIO}) {
        SCOPED_TRACE(refusal);
        TSocketHandle socket;
        socket.SetMessageSender(RefuseSegmentation);
        socket.SetBatchSender(SendTwoAtMost);
        segmentedCalls = 0;
        batchCalls = 0;
        failureErrno = refusal;
        const auto packets = Window(65534, 5, 512, 3);
        const std::vector<std::string_view> views(packets.begin(), packets.end());
        socket.SendEach(receiver_, views);
        socket.SendEach(receiver_, views);
        ExpectReceived([&] { auto twice = packets; twice.insert(twice.end(), packets.begin(), packets.end()); return twice; }());
        EXPECT_FALSE(socket.SegmentingSends());
        EXPECT_EQ(segmentedCalls, 1);
        EXPECT_EQ(batchCalls, 6);
    }
}

TEST(SocketHandleReceiveTest, ReceiveGivesEachDatagramWithItsSenderEvenOneTooLong)
{
    TSocketHandle socket;
    socket.SetIP("127.0.0.1");
    socket.Bind();
    char buffer[8];
    EXPECT_FALSE(socket.Receive(buffer, sizeof buffer, 0).has_value());  // none waiting, no wait
    TRawClient first;
    TRawClient second;
    first.SendTo(socket.Port(), "one");
    second.SendTo(socket.Port(), std::string(9, 'x'));
    const auto received = socket.Receive(buffer, sizeof buffer, 30000);
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(std::string_view(buffer, received->Size), "one");
    EXPECT_EQ(received->From.Port(), first.LocalPort());
    try {
        socket.Receive(buffer, sizeof buffer, -1);
        ADD_FAILURE() << "no error raised";
    } catch (const EMessageTooLong& failure) {
        EXPECT_EQ(failure.Number(), 10040);
        EXPECT_EQ(failure.From().Port(), second.LocalPort());
    }
}

// A session's stop must not wait out its reply wait: the channel's interrupt ends a
// receive that would otherwise last far beyond the test's deadline, whether it came
// before the channel was tied to its peer or while the receive waited.
TEST(PeerChannelInterruptTest, InterruptEndsAReceiveAtOnce)
{
    for (const bool beforeConnecting : {true, false}) {
        SCOPED_TRACE(beforeConnecting ? "interrupted before connecting" : "interrupted while waiting");
        TUDPClient client;
        client.SetHost("127.0.0.1");
        client.SetPort(9);
        TPeerChannel channel(client);
        if (beforeConnecting)
            channel.Interrupt();
        channel.ConnectToPeer();
        char buffer[16];
        auto receive = std::async(std::launch::async, [&] {
            return channel.ReceiveFromPeer(buffer, std::chrono::minutes(5));
        });
        if (!beforeConnecting)
            channel.Interrupt();
        ASSERT_EQ(receive.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        EXPECT_FALSE(receive.get().has_value());
        channel.Send("still sends");
        channel.Close();
        channel.Interrupt();  // after closing: nothing left to end, and no harm
    }
}
