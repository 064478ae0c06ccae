#include "engine/TrivialFTPServer.h"

#include <cstring>
#include <fstream>
#include <system_error>
#include <thread>

#include <gtest/gtest.h>

#include "engine/MainThreadBridge.h"
#include "engine/NetException.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/FakeMainThread.h"
#include "tests/support/TftpTestClient.h"
#include "tests/support/TempDir.h"

using namespace std::string_literals;

class TrivialFTPServerTest : public EngineTest {};

TEST_F(TrivialFTPServerTest, MalformedRequestsAreRefusedWithTheirCodeAndText)
{
    Activate();
    const std::string peer = "127.0.0.1:" + std::to_string(client_.LocalPort());
    struct Row { std::string datagram; std::string answer; };
    const std::vector<Row> rows = {
        {""s, Error(0, "Stream read error")},
        {"\x05"s, Error(0, "Stream read error")},
        {Data(1, "x"), Error(4, "Unexpected operation from " + peer)},
        {Ack(0), Error(4, "Unexpected operation from " + peer)},
        {"\x00\x09zz"s, Error(4, "Unexpected operation from " + peer)},
        {Request(1, "a", "mail"), Error(4, "Unsupported transfer mode: \"mail\"")},
        {Request(2, "a", ""), Error(4, "Unsupported transfer mode: \"\"")},
        {Request(1, "a", "octet", {{"blksize", "abc"}}), Error(0, "'abc' is not a valid integer value")},
        {Request(1, "a", "octet", {{"blksize", "0x200"}}), Error(0, "'0x200' is not a valid integer value")},
        {Request(1, "a", "octet", {{"tsize", "2147483648"}}), Error(0, "'2147483648' is not a valid integer value")},
        {Request(1, "missing", "octet"), Error(2, "Access to missing denied")},
    };
    for (const Row& row : rows) {
        client_.SendTo(port_, row.datagram);
        ExpectPacket(row.answer);
    }
    EXPECT_TRUE(Completions().empty());
}

TEST_F(TrivialFTPServerTest, SizeRequestIsAskedOnlyForWellFormedRequests)
{
    std::atomic<int> asked{0};
    server_->OnSizeRequest = [&](TTrivialFTPServer&, const std::string&, const TPeerInfo&,
                                 std::int64_t& size, bool) {
        ++asked;
        size = 1234;
    };
    files_["f"] = std::string(100, 'x');
    Activate();
    client_.SendTo(port_, Request(1, "f", "mail", {{"tsize", "0"}}));
    ExpectPacket(Error(4, "Unsupported transfer mode: \"mail\""));
    client_.SendTo(port_, Request(1, "f", "octet", {{"tsize", "x"}}));
    ExpectPacket(Error(0, "'x' is not a valid integer value"));
    EXPECT_EQ(asked, 0);

    client_.SendTo(port_, Request(1, "f", "octet", {{"tsize", "0"}}));
    ExpectPacket("\x00\x06" "tsize\0" "1234\0"s);  // the handler's size is acknowledged
    client_.Reply(Error(8, "no thanks"));
    ASSERT_TRUE(WaitForCompletions(1));
    // Without the option the handler's size is passed on but never acknowledged.
    TRawClient raw;
    TTftpTestClient client(raw, port_);
    EXPECT_EQ(client.Download("f"), files_["f"]);
    ASSERT_TRUE(WaitForCompletions(2));
    EXPECT_EQ(asked, 2);
}

TEST_F(TrivialFTPServerTest, RefusalCarriesTheNameTheHandlerLeft)
{
    server_->OnWriteFile = [](TTrivialFTPServer&, std::string& name, const TPeerInfo& peer, bool& grant,
                              std::unique_ptr<TStream>&, bool&) {
        EXPECT_EQ(peer.IP, "127.0.0.1");
        name = "renamed-" + name;
        grant = false;
    };
    Activate();
    client_.SendTo(port_, Request(2, "up.bin", "octet"));
    ExpectPacket(Error(2, "Access to renamed-up.bin denied"));
    client_.SendTo(port_, Request(2, "fence", "octet"));
    ExpectPacket(Error(2, "Access to renamed-fence denied"));  // one refusal each, nothing between
    EXPECT_TRUE(Completions().empty());
}

TEST_F(TrivialFTPServerTest, HandlerFailureReachesThePeerAsCodeZero)
{
    server_->OnReadFile = [](TTrivialFTPServer&, std::string&, const TPeerInfo&, bool&,
                             std::unique_ptr<TStream>&, bool&) { throw std::runtime_error("handler broke"); };
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet"));
    ExpectPacket(Error(0, "handler broke"));
    // the listener survives the failure
    client_.SendTo(port_, "\x01"s);
    ExpectPacket(Error(0, "Stream read error"));
}

TEST_F(TrivialFTPServerTest, SessionThatCannotStartIsReportedOnceAndAnsweredWithTheReason)
{
    server_->SetSessionStarter([](TTFTPServerThread&) {
        throw std::system_error(EAGAIN, std::generic_category(), "cannot start a thread");
    });
    files_["f"] = "x";
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet"));
    ExpectPacket(Error(0, "cannot start a thread: "s + std::strerror(EAGAIN)));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_FALSE(Completions()[0].Success);
    EXPECT_FALSE(Completions()[0].WriteOperation);
    EXPECT_EQ(Completions()[0].Peer.Port, client_.LocalPort());
    EXPECT_EQ(server_->SessionCount(), 0u);
}

TEST_F(TrivialFTPServerTest, WithoutHandlersTheEngineOpensAndCreatesThePathItself)
{
    TTempDir dir;
    const auto source = dir.WriteFile("source.bin", std::string(700, 's'));
    server_->OnReadFile = nullptr;
    server_->OnWriteFile = nullptr;
    Activate();

    TRawClient raw;
    TTftpTestClient client(raw, port_);
    EXPECT_EQ(client.Download(source.string()), std::string(700, 's'));

    const std::string missing = (dir.Path() / "missing").string();
    client_.SendTo(port_, Request(1, missing, "octet"));
    ExpectPacket(Error(1, "Cannot open file \"" + missing + "\". No such file or directory"));

    const std::string uncreatable = (dir.Path() / "no-such-folder" / "x").string();
    client_.SendTo(port_, Request(2, uncreatable, "octet"));
    ExpectPacket(Error(3, "Cannot create file \"" + uncreatable + "\". No such file or directory"));

    const std::string target = (dir.Path() / "target.bin").string();
    EXPECT_TRUE(client.Upload(target, "hello"));
    ASSERT_TRUE(WaitForCompletions(2));
    EXPECT_EQ(TTempDir::ReadFile(target), "hello");
}

TEST_F(TrivialFTPServerTest, RepeatedRequestIsLeftToTheRunningSession)
{
    files_["f"] = "abc";
    files_["g"] = "ggg";
    std::atomic<int> asked{0};
    server_->OnSizeRequest = [&](TTrivialFTPServer&, const std::string&, const TPeerInfo&, std::int64_t&, bool) {
        ++asked;
    };
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet", {{"timeout", "1"}}));
    ExpectPacket("\x00\x06" "timeout\0" "1\0"s);
    const int session = client_.LastPort();
    client_.SendTo(port_, Request(1, "f", "octet", {{"timeout", "1"}}));  // our OACK seemed lost
    ExpectPacket("\x00\x06" "timeout\0" "1\0"s);  // the session's own resend
    EXPECT_EQ(client_.LastPort(), session);
    EXPECT_EQ(asked, 1);
    // Another request from the same port is a new transfer, served at once.
    client_.SendTo(port_, Request(1, "g", "octet"));
    ExpectPacket(Data(1, "ggg"));
    EXPECT_NE(client_.LastPort(), session);
    client_.Reply(Ack(1));
    client_.SendTo(session, Ack(0));
    ExpectPacket(Data(1, "abc"));
    client_.Reply(Ack(1));
    ASSERT_TRUE(WaitForCompletions(2));
    ASSERT_TRUE(WaitFor([&] { return server_->SessionCount() == 0; }));

    // Once that transfer is over, the same port may start another.
    client_.SendTo(port_, Request(1, "f", "octet"));
    ExpectPacket(Data(1, "abc"));
    EXPECT_NE(client_.LastPort(), session);
    client_.Reply(Ack(1));
    ASSERT_TRUE(WaitForCompletions(3));
}

TEST_F(TrivialFTPServerTest, TwoBindingsShareOneListenerAndAnswerFromTheReceivingOne)
{
    TSocketHandle& first = server_->Bindings().Add();
    first.SetIP("127.0.0.1");
    first.SetPort(0);
    TSocketHandle& second = server_->Bindings().Add();
    second.SetIP("127.0.0.1");
    second.SetPort(0);
    server_->SetActive(true);
    const int secondPort = server_->Bindings()[1].Port();
    ASSERT_NE(secondPort, server_->Bindings()[0].Port());
    client_.SendTo(secondPort, Request(1, "nothing", "octet"));
    ExpectPacket(Error(2, "Access to nothing denied"));
    EXPECT_EQ(client_.LastPort(), secondPort);
    client_.SendTo(server_->Bindings()[0].Port(), Request(1, "nothing", "octet"));
    ExpectPacket(Error(2, "Access to nothing denied"));
    EXPECT_EQ(client_.LastPort(), server_->Bindings()[0].Port());
}

TEST_F(TrivialFTPServerTest, OversizedRequestGetsNoAnswer)
{
    server_->SetBufferSize(100);
    Activate();
    client_.SendTo(port_, Request(1, std::string(200, 'n'), "octet"));
    client_.SendTo(port_, Request(1, "short", "octet"));
    ExpectPacket(Error(2, "Access to short denied"));  // the first answer there is
}

TEST_F(TrivialFTPServerTest, HandlingOnTheMainThreadGoesThroughTheBridge)
{
    TFakeMainThread bridge(std::chrono::milliseconds(0));  // stands in for the main thread
    std::thread::id handlerThread;
    server_->SetThreadedEvent(false);
    server_->SetMainThreadBridge(&bridge);
    server_->OnReadFile = [&](TTrivialFTPServer&, std::string&, const TPeerInfo&, bool& grant,
                              std::unique_ptr<TStream>&, bool&) {
        handlerThread = std::this_thread::get_id();
        grant = false;
    };
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet"));
    ExpectPacket(Error(2, "Access to f denied"));
    EXPECT_EQ(handlerThread, bridge.Id());
    server_.reset();
}

TEST_F(TrivialFTPServerTest, WindowSizeIsGrantedUpToMaxWindowSizeAfterTheOtherOptions)
{
    files_["f"] = std::string(100, 'w');
    server_->SetMaxWindowSize(16);
    Activate();
    TRawClient raw;
    TTftpTestClient client(raw, port_);
    EXPECT_EQ(client.Download("f", {{"windowsize", "32"}, {"blksize", "1024"}}), files_["f"]);
    EXPECT_EQ(client.Granted(), (TTftpTestClient::TOptions{{"blksize", "1024"}, {"windowsize", "16"}}));
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_TRUE(Completions()[0].Success);
}

TEST_F(TrivialFTPServerTest, MaxWindowSizeOneLeavesWindowSizeAnUnknownOption)
{
    files_["f"] = std::string(100, 'w');
    server_->SetMaxWindowSize(1);
    Activate();
    TRawClient raw;
    TTftpTestClient client(raw, port_);
    EXPECT_EQ(client.Download("f", {{"blksize", "1024"}, {"windowsize", "8"}}), files_["f"]);
    EXPECT_EQ(client.Granted(), (TTftpTestClient::TOptions{{"blksize", "1024"}}));
    // Not known, so not checked either: a bad value is no refusal.
    client_.SendTo(port_, Request(1, "f", "octet", {{"windowsize", "many"}}));
    ExpectPacket(Data(1, std::string(100, 'w')));
    client_.Reply(Ack(1));
    ASSERT_TRUE(WaitForCompletions(2));
    EXPECT_TRUE(Completions()[0].Success);
    EXPECT_TRUE(Completions()[1].Success);
}

TEST_F(TrivialFTPServerTest, SessionsUseTheTransferPortRangeAndRefuseWhenItIsFull)
{
    files_["f"] = "abc";
    std::atomic<int> asked{0};
    server_->OnSizeRequest = [&](TTrivialFTPServer&, const std::string&, const TPeerInfo&, std::int64_t&, bool) {
        ++asked;
    };
    std::mutex refusedLock;
    std::vector<std::string> refused;
    server_->OnNoTransferPort = [&](TTrivialFTPServer&, const std::string& name, const TPeerInfo& peer, bool write) {
        std::lock_guard guard(refusedLock);
        refused.push_back(name + (write ? " write " : " read ") + std::to_string(peer.Port));
    };
    const int low = FreePortRange(1);
    server_->SetTransferPortRange(low, low);
    Activate();
    client_.SendTo(port_, Request(1, "f", "octet", {{"timeout", "30"}}));
    ExpectPacket("\x00\x06" "timeout\0" "30\0"s);
    EXPECT_EQ(client_.LastPort(), low);

    TRawClient other;
    other.SendTo(port_, Request(2, "up", "octet"));
    const auto answer = other.Receive();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, Error(0, "No free transfer port"));
    EXPECT_EQ(other.LastPort(), port_);
    {
        std::lock_guard guard(refusedLock);
        EXPECT_EQ(refused, std::vector<std::string>{"up write " + std::to_string(other.LocalPort())});
    }
    EXPECT_EQ(asked, 1);  // the refused request was never put to the application

    client_.Reply(Ack(0));
    ExpectPacket(Data(1, "abc"));
    client_.Reply(Ack(1));
    ASSERT_TRUE(WaitForCompletions(1));
    ASSERT_TRUE(WaitFor([&] { return server_->SessionCount() == 0; }, std::chrono::seconds(30)));
    other.SendTo(port_, Request(1, "f", "octet"));
    const auto data = other.Receive();
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(*data, Data(1, "abc"));
    EXPECT_EQ(other.LastPort(), low);
    other.SendTo(low, Ack(1));
    ASSERT_TRUE(WaitForCompletions(2));
}
