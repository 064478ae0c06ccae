// Real TFTP clients from the distribution against the engine on a loopback port.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/FileStream.h"
#include "engine/TrivialFTPServer.h"
#include "tests/support/SameBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"

namespace {

std::string RunCommand(const std::string& command)
{
    std::string output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe)
        return output;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0)
        output.append(chunk, got);
    return output;
}

bool Installed(const std::string& program)
{
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

void WriteRandomFile(const std::filesystem::path& file, std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string content(size, '\0');
    for (char& byte : content)
        byte = static_cast<char>(random());
    std::ofstream(file, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
}

/// The engine serving one folder by bare names and storing uploads in another.
class InteropTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(served());
        std::filesystem::create_directory(uploads());
        server_.SetThreadedEvent(true);
        server_.SetAcceptTimeOut(true);
        server_.SetMaxWindowSize(16);
        server_.OnReadFile = [this](TTrivialFTPServer&, std::string& name, const TPeerInfo&, bool& grant,
                                    std::unique_ptr<TStream>& stream, bool&) {
            grant = name.find('/') == std::string::npos;
            if (grant)
                stream = std::make_unique<TFileStream>(TFileStream::OpenForRead((served() / name).string()));
        };
        server_.OnWriteFile = [this](TTrivialFTPServer&, std::string& name, const TPeerInfo&, bool& grant,
                                     std::unique_ptr<TStream>& stream, bool&) {
            grant = name.find('/') == std::string::npos;
            if (grant)
                stream = std::make_unique<TFileStream>(TFileStream::CreateForWrite((uploads() / name).string()));
        };
        server_.OnSizeRequest = [this](TTrivialFTPServer&, const std::string& name, const TPeerInfo&,
                                       std::int64_t& size, bool write) {
            std::error_code error;
            if (!write && name.find('/') == std::string::npos) {
                const auto bytes = std::filesystem::file_size(served() / name, error);
                if (!error)
                    size = static_cast<std::int64_t>(bytes);
            }
        };
        TSocketHandle& binding = server_.Bindings().Add();
        binding.SetIP(ListenAddress());
        binding.SetPort(0);
        server_.SetActive(true);
        port_ = std::to_string(server_.Bindings()[0].Port());
    }

    virtual std::string ListenAddress() const { return "127.0.0.1"; }

    std::filesystem::path served() const { return dir_.Path() / "served"; }
    std::filesystem::path uploads() const { return dir_.Path() / "uploads"; }
    std::filesystem::path local(const std::string& name) const { return dir_.Path() / name; }

    /// A served file of `size` random bytes named after its size.
    std::string Offer(std::size_t size)
    {
        const std::string name = "file-" + std::to_string(size) + ".bin";
        WriteRandomFile(served() / name, size, static_cast<unsigned>(size));
        return name;
    }

    TTempDir dir_;
    TTrivialFTPServer server_;
    std::string port_;
};

struct TClientCase {
    const char* program;
    const char* get;  // %s: remote name, local path, port, block size
    const char* put;
};

const TClientCase kCurl{"curl",
                       "curl -sS --max-time 300 --tftp-blksize {blk} -o '{local}' tftp://127.0.0.1:{port}/{name}",
                       "curl -sS --max-time 300 --tftp-blksize {blk} -T '{local}' tftp://127.0.0.1:{port}/{name}"};
const TClientCase kHpa{"tftp", "timeout 300 tftp -m octet 127.0.0.1 {port} -c get {name} '{local}'",
                      "timeout 300 tftp -m octet 127.0.0.1 {port} -c put '{local}' {name}"};
const TClientCase kAtftp{"atftp",
                        "timeout 300 atftp --get -r {name} -l '{local}' --option 'blksize {blk}' "
                        "--option 'tsize 0' 127.0.0.1 {port}",
                        "timeout 300 atftp --put -r {name} -l '{local}' --option 'blksize {blk}' 127.0.0.1 {port}"};
// RFC 7440 windows of 8 blocks both ways.
const TClientCase kAtftpWindows{"atftp",
                               "timeout 300 atftp --get -r {name} -l '{local}' --option 'blksize {blk}' "
                               "--option 'windowsize 8' 127.0.0.1 {port}",
                               "timeout 300 atftp --put -r {name} -l '{local}' --option 'blksize {blk}' "
                               "--option 'windowsize 8' 127.0.0.1 {port}"};

std::string Fill(std::string text, const std::string& name, const std::string& localPath,
                 const std::string& port, int blockSize)
{
    const auto replace = [&text](const std::string& key, const std::string& value) {
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
            text.replace(at, key.size(), value);
    };
    replace("{name}", name);
    replace("{local}", localPath);
    replace("{port}", port);
    replace("{blk}", std::to_string(blockSize));
    return text + " 2>&1";
}

class ClientInteropTest : public InteropTest, public ::testing::WithParamInterface<const TClientCase*> {
protected:
    void SetUp() override
    {
        if (!Installed(GetParam()->program))
            GTEST_SKIP() << GetParam()->program << " is not installed (./test.sh installs it)";
        InteropTest::SetUp();
    }

    void RoundTrip(std::size_t size, int blockSize)
    {
        const TClientCase& client = *GetParam();
        const std::string name = Offer(size);
        const auto fetched = local("fetched-" + name);
        const std::string getOutput = RunCommand(Fill(client.get, name, fetched.string(), port_, blockSize));
        EXPECT_TRUE(SameFileBytes(fetched, served() / name)) << "get " << name << ": " << getOutput;

        const std::string putOutput = RunCommand(Fill(client.put, name, fetched.string(), port_, blockSize));
        // The last block is written before it is acknowledged; the session itself lives on
        // for one reply wait (the client's timeout option, if it sent one) in case the
        // acknowledgement was lost.
        WaitFor([&] { return static_cast<bool>(SameFileBytes(uploads() / name, served() / name)); });
        EXPECT_TRUE(SameFileBytes(uploads() / name, served() / name)) << "put " << name << ": " << putOutput;
    }
};

}  // namespace

TEST_P(ClientInteropTest, SmallFilesTravelBothWays)
{
    for (const std::size_t size : {0u, 511u, 512u, 1024u, 1500u})
        RoundTrip(size, 512);
}

TEST_P(ClientInteropTest, LargeFileCrossesBlockNumberWrapAtSmallBlocks)
{
    RoundTrip(70u * 1024 * 1024, 512);
}

TEST_P(ClientInteropTest, LargeFileAtTheLargestBlock)
{
    if (GetParam() == &kHpa)
        GTEST_SKIP() << "this client asks for no block size";
    // Eight blocks of 64 KiB overflow the client's default receive buffer on every window,
    // so each window waits out a timeout: correct, but minutes long.
    if (GetParam() == &kAtftpWindows)
        GTEST_SKIP() << "windows of the largest block overflow the client's receive buffer";
    RoundTrip(70u * 1024 * 1024, 65464);
}

TEST_P(ClientInteropTest, LargeFileAtAnEthernetBlock)
{
    RoundTrip(5u * 1024 * 1024 + 3, 1468);
}

INSTANTIATE_TEST_SUITE_P(Clients, ClientInteropTest, ::testing::Values(&kCurl, &kHpa, &kAtftp, &kAtftpWindows),
                         [](const ::testing::TestParamInfo<const TClientCase*>& row) {
                             if (row.param == &kHpa)
                                 return std::string("tftp_hpa");
                             return row.param == &kAtftpWindows ? std::string("atftp_windowsize")
                                                               : std::string(row.param->program);
                         });

TEST_F(InteropTest, RefusalReachesTheClient)
{
    if (!Installed("curl"))
        GTEST_SKIP() << "curl is not installed";
    const std::string output = RunCommand("curl -sS --max-time 20 -o /dev/null tftp://127.0.0.1:" + port_ +
                                   "/no-such-file 2>&1; echo rc=$?");
    EXPECT_NE(output.find("rc="), std::string::npos) << output;
    EXPECT_EQ(output.find("rc=0\n"), std::string::npos) << output;
}

namespace {

/// The engine listening on ::1 only.
class IPv6InteropTest : public InteropTest {
protected:
    void SetUp() override
    {
        if (!Installed("curl") || !Installed("tftp"))
            GTEST_SKIP() << "curl and tftp are not installed (./test.sh installs them)";
        try {
            InteropTest::SetUp();
        } catch (const std::exception& failure) {
            GTEST_SKIP() << "this machine has no ::1: " << failure.what();
        }
        server_.OnTransferComplete = [this](TTrivialFTPServer&, bool, const TPeerInfo& peer,
                                            std::unique_ptr<TStream>, bool) {
            std::lock_guard guard(peersLock_);
            peers_.push_back(peer.IP);
        };
    }

    std::string ListenAddress() const override { return "::1"; }

    std::vector<std::string> Peers()
    {
        std::lock_guard guard(peersLock_);
        return peers_;
    }

    std::mutex peersLock_;
    std::vector<std::string> peers_;
};

}  // namespace

TEST_F(IPv6InteropTest, CurlDownloadsOverIPv6)
{
    // 33 MiB at 512 bytes a block crosses the block-number wrap.
    for (const auto& [size, blockSize] : {std::pair{3000u, 512}, std::pair{100000u, 1468}, std::pair{33u << 20, 512}}) {
        const std::string name = Offer(size);
        const auto fetched = local("fetched-" + name);
        const std::string output = RunCommand("curl -sS --max-time 300 --tftp-blksize " + std::to_string(blockSize) +
                                              " -o '" + fetched.string() + "' 'tftp://[::1]:" + port_ + "/" + name +
                                              "' 2>&1");
        EXPECT_TRUE(SameFileBytes(fetched, served() / name)) << name << ": " << output;
    }
    ASSERT_TRUE(WaitFor([this] { return Peers().size() == 3; }, std::chrono::seconds(30)));
    EXPECT_EQ(Peers()[0], "::1");
}

TEST_F(IPv6InteropTest, TftpHpaUploadsOverIPv6)
{
    const std::string name = "up.bin";
    WriteRandomFile(local(name), 200000, 7);
    const std::string output = RunCommand("timeout 300 tftp -6 -m octet ::1 " + port_ + " -c put '" +
                                          local(name).string() + "' " + name + " 2>&1");
    WaitFor([&] { return static_cast<bool>(SameFileBytes(uploads() / name, local(name))); });
    EXPECT_TRUE(SameFileBytes(uploads() / name, local(name))) << output;
}

TEST_F(IPv6InteropTest, RefusalReachesAnIPv6Client)
{
    const std::string output = RunCommand("curl -sS --max-time 20 -o /dev/null 'tftp://[::1]:" + port_ +
                                          "/no/such-file' 2>&1; echo rc=$?");
    EXPECT_NE(output.find("rc="), std::string::npos) << output;
    EXPECT_EQ(output.find("rc=0\n"), std::string::npos) << output;
    EXPECT_EQ(output.find("rc=28\n"), std::string::npos) << "no answer came: " << output;
}
