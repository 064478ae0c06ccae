// A flood of malformed datagrams at the server port and at a running session's port
// while a real download goes on.

#include <thread>

#include <gtest/gtest.h>

#include "tests/app/CoreFixture.h"
#include "tests/support/ProcessStatus.h"

using namespace std::string_literals;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Every kind of datagram below still comes thousands of times; the sanitizers make each
// one cost ten times as much.
constexpr int kFloodSize = 20000;
#else
constexpr int kFloodSize = 100000;
#endif

/// The malformed datagram number `i` of the flood.
std::string Garbage(int i)
{
    switch (i % 7) {
    case 0:
        return "";
    case 1:
        return "\x01"s;
    case 2:
        return "\x00\x09garbage"s;
    case 3:
        return "\x00\x01no-nul-anywhere"s;
    case 4: {
        std::string many = "\x00\x01" "f\0" "mail\0"s;
        for (int option = 0; option < 1000; ++option)
            many += "o" + std::to_string(option) + '\0' + "1" + '\0';
        return many;
    }
    case 5:
        return std::string(9000, 'x');
    default:
        return Ack(static_cast<std::uint16_t>(i));
    }
}

}  // namespace

class FloodTest : public CoreTest {};

TEST_F(FloodTest, MalformedFloodNeitherBreaksADownloadNorTheServer)
{
    WriteSettings("");
    std::string content(4 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>((i * 131) >> 9);
    Offer("big.bin", content);
    Start();

    client_.SendTo(port_, Request(1, "big.bin", "octet"));
    auto first = client_.Receive();
    ASSERT_TRUE(first.has_value());
    const int session = client_.LastPort();
    const std::size_t residentBefore = ResidentKiB();

    std::string received;
    std::thread download([&] { received = TTftpTestClient(client_).DownloadFrom(first).value_or(""); });
    TRawClient attacker;
    for (int i = 0; i < kFloodSize; ++i)
        attacker.SendTo(i % 2 == 0 ? port_ : session, Garbage(i));
    download.join();

    EXPECT_TRUE(received == content) << "received " << received.size() << " bytes";
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(LastStatus(), "Transfer: Send file complete.");
    // The server port may still be working through the flood's backlog, and a request
    // that meets a full receive buffer is dropped: ask again, as any client would.
    TRawClient later;
    EXPECT_TRUE(WaitFor([&] {
        later.SendTo(port_, Request(1, "not-listed", "octet"));
        return later.Receive(std::chrono::seconds(1)) == Error(1, "File not found");
    }));
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Sanitizers keep shadow memory and freed blocks of their own: measure without them.
    EXPECT_LT(ResidentKiB(), residentBefore + 5 * 1024);
#else
    static_cast<void>(residentBefore);
#endif
}

TEST_F(FloodTest, ClosingWithManyTransfersRunningEndsThemAll)
{
    WriteSettings("MaxDLConn=100");
    Offer("f.bin", std::string(100000, 'f'));
    Start();
    std::vector<std::unique_ptr<TRawClient>> peers;
    for (int i = 0; i < 32; ++i) {
        peers.push_back(std::make_unique<TRawClient>());
        peers.back()->SendTo(port_, Request(1, "f.bin", "octet"));
        ASSERT_TRUE(peers.back()->Receive().has_value());
    }
    ASSERT_EQ(core_->Engine().SessionCount(), 32u);
    const auto before = std::chrono::steady_clock::now();
    core_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));  // hang detection
}
