// Hostile and careless peers against the engine: odd option values, silent clients by
// the thousand, errors mid-transfer, spoofed ERROR packets. Every case ends with nothing
// left running.


#include <sys/resource.h>

#include <gtest/gtest.h>

#include "tests/engine/EngineFixture.h"
#include "tests/support/ProcessStatus.h"

using namespace std::string_literals;

class HardeningTest : public EngineTest {
protected:
    /// Sends a request to the server on `port` and waits for its answer: the server has
    /// then read everything that reached it before the request.
    void Fence(int port)
    {
        client_.SendTo(port, Request(1, "fence", "octet"));
        ASSERT_TRUE(client_.Receive().has_value()) << "no answer to the fence";
    }
};

TEST_F(HardeningTest, OddOptionValuesAreCappedIgnoredOrRefused)
{
    files_["f"] = std::string(100, 'o');
    Activate();
    struct Row { const char* option; const char* value; std::string answer; };
    const std::vector<Row> rows = {
        {"blksize", "0", Data(1, std::string(100, 'o'))},
        {"blksize", "-1", Data(1, std::string(100, 'o'))},
        {"blksize", "7", "\x00\x06" "blksize\0" "512\0"s},
        {"blksize", "+512", "\x00\x06" "blksize\0" "512\0"s},
        {"blksize", "65465", "\x00\x06" "blksize\0" "65464\0"s},
        {"blksize", "2147483648", Error(0, "'2147483648' is not a valid integer value")},
        {"blksize", "0x200", Error(0, "'0x200' is not a valid integer value")},
        {"blksize", "512abc", Error(0, "'512abc' is not a valid integer value")},
        {"tsize", "2147483648", Error(0, "'2147483648' is not a valid integer value")},
        {"timeout", "0", Data(1, std::string(100, 'o'))},
        {"timeout", "256", Data(1, std::string(100, 'o'))},
    };
    for (const Row& row : rows) {
        TRawClient client;
        client.SendTo(port_, Request(1, "f", "octet", {{row.option, row.value}}));
        const auto answer = client.Receive();
        ASSERT_TRUE(answer.has_value()) << row.option << " " << row.value;
        EXPECT_EQ(*answer, row.answer) << row.option << " " << row.value;
        if (Opcode(*answer) != 5)
            client.Reply(Error(0, "done"));
    }
    EXPECT_TRUE(WaitFor([&] { return server_->SessionCount() == 0; }));
}

TEST_F(HardeningTest, PeerErrorEndsTheSessionAtOnceAndFreesIt)
{
    files_["f"] = std::string(5000, 'e');
    Activate();
    const std::size_t threads = LiveThreads();
    client_.SendTo(port_, Request(1, "f", "octet"));
    ASSERT_TRUE(client_.Receive().has_value());
    client_.Reply(Ack(1));
    ASSERT_TRUE(client_.Receive().has_value());
    client_.Reply(Error(3, "disk full"));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_FALSE(Completions()[0].Success);
    EXPECT_TRUE(WaitFor([&] { return server_->SessionCount() == 0 && LiveThreads() == threads; }));
}

TEST_F(HardeningTest, ThousandSilentClientsAreAllClearedAfterTheirTimeouts)
{
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < 2200 && files.rlim_max >= 2200) {
        files.rlim_cur = 2200;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    if (files.rlim_cur < 2200)
        GTEST_SKIP() << "needs 2,200 descriptors";
    files_["f"] = std::string(3000, 's');
    Activate();
    const std::size_t descriptors = OpenDescriptors();
    const std::size_t threads = LiveThreads();
    constexpr int kClients = 1000;
    {
        std::vector<std::unique_ptr<TRawClient>> clients;
        for (int i = 0; i < kClients; ++i) {
            clients.push_back(std::make_unique<TRawClient>());
            clients.back()->SendTo(port_, Request(1, "f", "octet", {{"timeout", "1"}}));
            // One at a time, so no request is lost to a full receive queue.
            ASSERT_TRUE(clients.back()->Receive().has_value());
        }
        ASSERT_TRUE(WaitForCompletions(kClients));
    }
    for (const TCompletion& completion : Completions())
        EXPECT_FALSE(completion.Success);
    EXPECT_TRUE(WaitFor([&] { return server_->SessionCount() == 0; }));
    EXPECT_TRUE(WaitFor([&] { return LiveThreads() == threads; })) << LiveThreads() << " vs " << threads;
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

namespace {

/// Counts the datagrams a server reads.
void CountDatagrams(TTrivialFTPServer& server, std::atomic<int>& count)
{
    server.OnUDPRead = [&count](TUDPServer&, std::string_view, TSocketHandle&, const TSocketAddress&) { ++count; };
}

}  // namespace

TEST_F(HardeningTest, ErrorSpoofedFromTheServersOwnPortIsNotAnswered)
{
    std::atomic<int> read{0};
    CountDatagrams(*server_, read);
    Activate();
    server_->Bindings()[0].SendTo(ResolveHost("127.0.0.1", port_), Error(0, "loop"));
    ASSERT_TRUE(WaitFor([&] { return read >= 1; }));
    // An answer would go out while the ERROR is handled, before the first fence is, so
    // the second fence comes after it.
    Fence(port_);
    Fence(port_);
    EXPECT_EQ(read, 3);
}

TEST_F(HardeningTest, TwoServersPointedAtEachOtherStayIdle)
{
    std::atomic<int> readHere{0};
    std::atomic<int> readThere{0};
    CountDatagrams(*server_, readHere);
    Activate();
    TTrivialFTPServer other;
    other.SetThreadedEvent(true);
    CountDatagrams(other, readThere);
    TSocketHandle& binding = other.Bindings().Add();
    binding.SetIP("127.0.0.1");
    binding.SetPort(0);
    other.SetActive(true);
    const TSocketAddress there = ResolveHost("127.0.0.1", other.Bindings()[0].Port());

    // A datagram that is no request is refused once; that refusal is not answered.
    server_->Bindings()[0].SendTo(there, Data(1, "x"));
    ASSERT_TRUE(WaitFor([&] { return readHere >= 1; }));
    server_->Bindings()[0].SendTo(there, Error(4, "ping"));
    ASSERT_TRUE(WaitFor([&] { return readThere >= 2; }));
    for (int round = 0; round < 2; ++round) {
        Fence(port_);
        Fence(other.Bindings()[0].Port());
    }
    EXPECT_EQ(readThere, 4);
    EXPECT_EQ(readHere, 3);
}
