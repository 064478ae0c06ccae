// The veltrane executable in --headless mode, driven by real clients.

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/interop/HeadlessProcess.h"
#include "tests/support/RawClient.h"
#include "tests/support/WaitFor.h"

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (Shell("command -v curl") != 0 || Shell("command -v tftp") != 0)
            GTEST_SKIP() << "curl and tftp are needed (./test.sh installs them)";
        port_ = std::to_string(FreePort());
    }

    /// Retries a download until the server answers, as it is starting up.
    bool DownloadWhenReady(const std::string& name, const std::string& target)
    {
        return WaitFor([&] {
            return Shell("curl -sS --max-time 2 -o '" + target + "' tftp://127.0.0.1:" + port_ + "/" + name) == 0;
        });
    }

    TTempDir dir_;
    std::string port_;
};

TEST_F(HeadlessTest, ServesGivenFilesAcceptsUploadsAndStopsOnSignal)
{
    std::ofstream(dir_.Path() / "veltrane.INI") << "[FileAccepting]\nAccept=1\nDestDir=" << dir_.Str() << "/in\n";
    const auto offered = dir_.WriteFile("fw.bin", std::string(3000, 'f'));
    THeadlessProcess server(dir_, {"--port", port_, offered.string()});
    ASSERT_TRUE(DownloadWhenReady("fw.bin", (dir_.Path() / "got.bin").string())) << server.Err();
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "got.bin"), std::string(3000, 'f'));

    const auto upload = dir_.WriteFile("cfg.txt", "hostname router1\n");
    EXPECT_EQ(Shell("cd '" + dir_.Str() + "' && tftp -m octet 127.0.0.1 " + port_ + " -c put cfg.txt"), 0);
    EXPECT_TRUE(WaitFor([&] { return server.Out().find("Transfer: Receive file complete.") != std::string::npos; }));
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "in" / "cfg.txt"), "hostname router1\n");

    Shell("curl -sS --max-time 5 -o /dev/null tftp://127.0.0.1:" + port_ + "/missing.bin");
    EXPECT_EQ(server.Stop(SIGTERM), 0);
    const std::string out = server.Out();
    EXPECT_NE(out.find(offered.string() + "    127.0.0.1    Transfer: Sending file..."), std::string::npos) << out;
    EXPECT_NE(out.find(offered.string() + "    127.0.0.1    Transfer: Send file complete."), std::string::npos) << out;
    EXPECT_NE(out.find("missing.bin    127.0.0.1    Send error: File does not exist!"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "veltrane.INI.new"));
}

TEST_F(HeadlessTest, RefusedStartGoesToStandardErrorWithStatusTwo)
{
    THeadlessProcess server(dir_, {"--port", port_});
    EXPECT_EQ(server.Wait(), 2);
    EXPECT_EQ(server.Err(), "No file available.\nPlease add at least one file first or accept incoming files.\n");

    const auto offered = dir_.WriteFile("a.bin", "a");
    THeadlessProcess holder(dir_, {"--port", port_, offered.string()});
    ASSERT_TRUE(DownloadWhenReady("a.bin", "/dev/null"));
    THeadlessProcess clash(dir_, {"--port", port_, "--bind", "127.0.0.1", offered.string()});
    EXPECT_EQ(clash.Wait(), 2);
    EXPECT_NE(clash.Err().find("Could not bind socket. Address and port are already in use."), std::string::npos);
    EXPECT_NE(clash.Err().find("veltrane: UDP port " + port_ + " on 127.0.0.1 is in use by veltrane (pid " +
                               std::to_string(holder.Pid()) + ")\n"),
              std::string::npos)
        << clash.Err();
    EXPECT_EQ(holder.Stop(SIGINT), 0);
}

TEST_F(HeadlessTest, AnAddressNotUpYetIsListenedOn)
{
    std::ofstream(dir_.Path() / "veltrane.INI") << "[IP Settings]\nBind=192.0.2.1\n";
    const auto offered = dir_.WriteFile("a.bin", "a");
    THeadlessProcess server(dir_, {"--port", port_, offered.string()});
    EXPECT_TRUE(WaitFor([&] { return server.Err().find("listening on 192.0.2.1:" + port_ + ";") != std::string::npos; }))
        << server.Err();
    EXPECT_EQ(server.Stop(), 0);
}

TEST_F(HeadlessTest, UnusableFolderOptionsEndWithStatusTwoAndSayWhy)
{
    const auto plain = dir_.WriteFile("plain", "x").string();
    const auto offered = dir_.WriteFile("a.bin", "a").string();
    const std::string missing = dir_.Str() + "/none/in";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--accept", plain}, "veltrane: --accept " + plain + ": not a folder\n"},
        {{"--accept", missing}, "veltrane: --accept " + missing + ": no such folder, nor one to create it in\n"},
        {{"--root", missing}, "veltrane: --root " + missing + ": no such folder\n"}};
    for (auto [arguments, message] : cases) {
        arguments.insert(arguments.end(), {"--port", port_, offered});
        THeadlessProcess server(dir_, arguments);
        EXPECT_EQ(server.Wait(), 2) << message;
        EXPECT_EQ(server.Err(), message);
    }
}

TEST_F(HeadlessTest, MissingPathsAndSecondFilesOfAListedNameAreNamed)
{
    std::filesystem::create_directories(dir_.Path() / "one");
    std::filesystem::create_directories(dir_.Path() / "two");
    const auto first = dir_.WriteFile("one/boot.bin", "first");
    const auto second = dir_.WriteFile("two/boot.bin", "second");
    dir_.WriteFile("two/other.bin", "other");
    const std::string missing = dir_.Str() + "/none.bin";
    THeadlessProcess server(dir_, {"--port", port_, first.string(), missing, (dir_.Path() / "two").string()});
    ASSERT_TRUE(DownloadWhenReady("boot.bin", (dir_.Path() / "got.bin").string())) << server.Err();
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "got.bin"), "first");
    EXPECT_EQ(server.Stop(), 0);
    const std::string err = server.Err();
    EXPECT_NE(err.find("veltrane: " + missing + ": no such file or folder\n"), std::string::npos) << err;
    EXPECT_NE(err.find("veltrane: " + second.string() + ": not offered, a file named boot.bin is listed already\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("other.bin"), std::string::npos) << err;
}

TEST_F(HeadlessTest, InvalidSettingIsToldOnceOnStandardErrorAndTheDefaultServes)
{
    std::ofstream(dir_.Path() / "veltrane.INI") << "[TFTP Settings]\nBufferSize=0\n";
    const auto offered = dir_.WriteFile("a.bin", std::string(2000, 'a'));
    THeadlessProcess server(dir_, {"--port", port_, offered.string()});
    ASSERT_TRUE(DownloadWhenReady("a.bin", (dir_.Path() / "got.bin").string())) << server.Err();
    EXPECT_EQ(server.Stop(SIGTERM), 0);
    const std::string err = server.Err();
    const std::string told = "Application: Invalid value for BufferSize, using 8192\n";
    ASSERT_NE(err.find(told), std::string::npos) << err;
    EXPECT_EQ(err.find(told, err.find(told) + 1), std::string::npos) << err;
    EXPECT_EQ(server.Out().find("Invalid value"), std::string::npos);
}

// As with `veltrane --headless ... | head -1`: the reader of standard output is gone
// before the first line, and the server goes on serving.
TEST_F(HeadlessTest, ClosedStandardOutputDoesNotStopTheServer)
{
    int pipeEnds[2] = {-1, -1};
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    ::close(pipeEnds[0]);
    const auto offered = dir_.WriteFile("a.bin", std::string(2000, 'a'));
    THeadlessProcess server(dir_, {"--port", port_, offered.string()}, pipeEnds[1]);
    ::close(pipeEnds[1]);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(DownloadWhenReady("a.bin", (dir_.Path() / "got.bin").string())) << round;
        EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "got.bin"), std::string(2000, 'a'));
    }
    EXPECT_EQ(server.Stop(SIGTERM), 0);
}

TEST_F(HeadlessTest, SignalWithManyTransfersRunningEndsPromptly)
{
    std::ofstream(dir_.Path() / "veltrane.INI") << "[TFTP Settings]\nMaxDLConn=100\n";
    const auto offered = dir_.WriteFile("f.bin", std::string(100000, 'f'));
    THeadlessProcess server(dir_, {"--port", port_, offered.string()});
    ASSERT_TRUE(DownloadWhenReady("f.bin", "/dev/null"));
    std::vector<std::unique_ptr<TRawClient>> peers;
    for (int i = 0; i < 32; ++i) {
        peers.push_back(std::make_unique<TRawClient>());
        peers.back()->SendTo(std::stoi(port_), Request(1, "f.bin", "octet"));
        ASSERT_TRUE(peers.back()->Receive().has_value());  // DATA 1, never acknowledged
    }
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(server.Stop(SIGTERM), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
}

TEST_F(HeadlessTest, PortOptionIsNotSaved)
{
    const auto offered = dir_.WriteFile("a.bin", "a");
    THeadlessProcess server(dir_, {"--port", port_, offered.string()});
    ASSERT_TRUE(DownloadWhenReady("a.bin", "/dev/null"));
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "veltrane.INI"));
}

TEST_F(HeadlessTest, SignalKeepsEveryAcknowledgedUploadAndTellsRunningOnesItIsShuttingDown)
{
    std::ofstream(dir_.Path() / "veltrane.INI")
        << "[TFTP Settings]\nMaxULConn=100\n[FileAccepting]\nAccept=1\nDestDir=" << dir_.Str() << "/in\n";
    const auto offered = dir_.WriteFile("a.bin", "a");
    THeadlessProcess server(dir_, {"--port", port_, offered.string()});
    ASSERT_TRUE(DownloadWhenReady("a.bin", "/dev/null")) << server.Err();
    const int port = std::stoi(port_);
    const auto content = [](int i) { return std::string(512, 'u') + "upload " + std::to_string(i); };
    constexpr int kUploads = 30;
    std::vector<std::unique_ptr<TRawClient>> clients;
    for (int i = 0; i < kUploads; ++i) {
        clients.push_back(std::make_unique<TRawClient>());
        clients.back()->SendTo(port, Request(2, "up" + std::to_string(i) + ".bin", "octet"));
    }
    for (auto& client : clients) {
        ASSERT_EQ(client->Receive(), Ack(0));
        client->Reply(Data(1, std::string(512, 'u')));
    }
    for (auto& client : clients)
        ASSERT_EQ(client->Receive(), Ack(1));
    for (int i = 0; i < kUploads; ++i)
        clients[i]->Reply(Data(2, content(i).substr(512)));
    for (auto& client : clients)
        ASSERT_EQ(client->Receive(), Ack(2));
    TRawClient running;
    running.SendTo(port, Request(2, "half.bin", "octet"));
    ASSERT_EQ(running.Receive(), Ack(0));
    running.Reply(Data(1, std::string(512, 'h')));
    ASSERT_EQ(running.Receive(), Ack(1));

    EXPECT_EQ(server.Stop(SIGTERM), 0);
    for (int i = 0; i < kUploads; ++i)
        EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "in" / ("up" + std::to_string(i) + ".bin")), content(i)) << i;
    auto answer = running.Receive();
    while (answer == Ack(1))  // sent again while the server drained
        answer = running.Receive();
    EXPECT_EQ(answer, Error(0, "Server is shutting down"));
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "in" / "half.bin"));
}
