// The headless server as a service: the boot tree served to real clients, the options of
// one run, the start line, reloading on SIGHUP, and a window start without a display.

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <thread>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/interop/HeadlessProcess.h"
#include "tests/support/RawClient.h"
#include "tests/support/SameBytes.h"
#include "tests/support/TftpTestClient.h"
#include "tests/support/WaitFor.h"

namespace fs = std::filesystem;

namespace {

constexpr auto kStartDeadline = std::chrono::seconds(30);

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

/// The port the start line names, once it is written; 0 when it never is.
int StartLinePort(const THeadlessProcess& server)
{
    static const std::regex startLine("veltrane: listening on 127\\.0\\.0\\.1:([0-9]+)[^\n]*\n");
    std::smatch match;
    std::string err;
    WaitFor([&] { return std::regex_search(err = server.Err(), match, startLine); }, kStartDeadline);
    return std::regex_search(err, match, startLine) ? std::stoi(match[1]) : 0;
}

std::optional<std::string> Fetch(TRawClient& client, int port, const std::string& name)
{
    return TTftpTestClient(client, port).Download(name);
}

}  // namespace

class HeadlessServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (Shell("command -v curl") != 0 || Shell("command -v tftp") != 0)
            GTEST_SKIP() << "curl and tftp are needed (./test.sh installs them)";
    }

    /// A boot tree like a PXE server's, plus a folder outside it that must stay unread.
    void MakeTree()
    {
        tree_ = dir_.Path() / "tree";
        for (const char* folder : {"pxelinux.cfg", "grub", "boot/x64"})
            fs::create_directories(tree_ / folder);
        fs::create_directories(dir_.Path() / "outside");
        files_ = {{"pxelinux.0", RandomBytes(42000, 1)},     {"ldlinux.c32", RandomBytes(120000, 2)},
                  {"pxelinux.cfg/default", "default linux\n"}, {"grub/grub.cfg", "set timeout=1\n"},
                  {"boot/x64/a.efi", RandomBytes(70000, 3)},   {"vmlinuz", RandomBytes(250000, 4)},
                  {"initrd.img", RandomBytes(400000, 5)}};
        for (const auto& [name, content] : files_)
            dir_.WriteFile("tree/" + name, content);
        dir_.WriteFile("outside/secret", "secret");
    }

    std::string Url(int port, const std::string& path) const
    {
        return "tftp://127.0.0.1:" + std::to_string(port) + "/" + path;
    }

    TTempDir dir_;
    fs::path tree_;
    std::map<std::string, std::string> files_;
};

TEST_F(HeadlessServiceTest, BootTreeServesCurlAndTftpHpaAndNothingOutside)
{
    MakeTree();
    fs::create_symlink(dir_.Path() / "outside" / "secret", tree_ / "link-out");
    fs::create_directory_symlink(dir_.Path() / "outside", tree_ / "dir-out");
    ASSERT_EQ(::mkfifo((tree_ / "fifo").c_str(), 0644), 0);
    THeadlessProcess server(dir_, {"--port=0", "--bind", "127.0.0.1", "--root", tree_.string()});
    const int port = StartLinePort(server);
    ASSERT_NE(port, 0) << server.Err();
    const std::string portText = std::to_string(port);
    const fs::path got = dir_.Path() / "got";

    const auto same = [&](const std::string& name) { return SameFileBytes(got, tree_ / name); };
    EXPECT_EQ(Shell("curl -sS --max-time 10 -o '" + got.string() + "' " + Url(port, "pxelinux.cfg/default")), 0);
    EXPECT_TRUE(same("pxelinux.cfg/default"));
    EXPECT_EQ(Shell("curl -sS --max-time 10 -o '" + got.string() + "' " + Url(port, "/grub/grub.cfg")), 0);
    EXPECT_TRUE(same("grub/grub.cfg"));
    const std::string tftp = "cd '" + dir_.Str() + "' && tftp -m octet 127.0.0.1 " + portText + " -c get ";
    EXPECT_EQ(Shell(tftp + "'\\boot\\x64\\a.efi' got"), 0);
    EXPECT_TRUE(same("boot/x64/a.efi"));
    EXPECT_EQ(Shell(tftp + "/grub/grub.cfg got"), 0);
    EXPECT_TRUE(same("grub/grub.cfg"));
    EXPECT_EQ(Shell(tftp + "pxelinux.0 got"), 0);
    EXPECT_TRUE(same("pxelinux.0"));

    for (const char* refused : {"pxelinux.cfg/01-aa-bb-cc-dd-ee-ff", "../outside/secret",
                                "pxelinux.cfg/../../outside/secret", "link-out", "dir-out/secret", "fifo"}) {
        // tftp-hpa's client ends with status 0 after an ERROR; curl does not, and with
        // --path-as-is it sends ".." as given.
        fs::remove(got);
        EXPECT_NE(Shell("curl -sS --path-as-is --max-time 10 -o '" + got.string() + "' " + Url(port, refused)), 0)
            << refused;
        EXPECT_NE(TTempDir::ReadFile(got), "secret") << refused;
    }
    EXPECT_EQ(server.Stop(), 0);
    const std::string out = server.Out();
    EXPECT_NE(out.find((tree_ / "boot/x64/a.efi").string() + "    127.0.0.1    Transfer: Send file complete."),
              std::string::npos)
        << out;
    for (const char* refused : {"fifo", "pxelinux.cfg/../../outside/secret"})
        EXPECT_NE(out.find(std::string(refused) + "    127.0.0.1    Send error: File does not exist!"),
                  std::string::npos)
            << out;
    EXPECT_NE(out.find("link-out    127.0.0.1    Send error: Link leaves the boot tree!"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(dir_.Path() / "veltrane.INI"));
}

TEST_F(HeadlessServiceTest, FivePxeClientsBootAtOnce)
{
    MakeTree();
    THeadlessProcess server(dir_, {"--port=0", "--bind=127.0.0.1", "--root", tree_.string(), "--max-downloads",
                                   "10"});
    const int port = StartLinePort(server);
    ASSERT_NE(port, 0) << server.Err();

    const std::vector<std::string> script = {"pxelinux.0", "ldlinux.c32", "pxelinux.cfg/01-aa-bb-cc-dd-ee-ff",
                                             "pxelinux.cfg/default", "vmlinuz", "initrd.img"};
    std::vector<std::vector<std::optional<std::string>>> fetched(5);
    std::vector<std::thread> clients;
    for (auto& results : fetched)
        clients.emplace_back([&, port] {
            TRawClient client;
            for (const std::string& name : script)
                results.push_back(Fetch(client, port, name));
        });
    for (std::thread& client : clients)
        client.join();
    for (const auto& results : fetched) {
        ASSERT_EQ(results.size(), script.size());
        for (std::size_t i = 0; i < script.size(); ++i) {
            if (script[i].find("01-") != std::string::npos)
                EXPECT_EQ(results[i], std::nullopt);
            else
                EXPECT_TRUE(results[i] == files_[script[i]]) << script[i];
        }
    }
    EXPECT_EQ(server.Stop(), 0);
}

TEST_F(HeadlessServiceTest, RunOptionsApplyAndAreNotSaved)
{
    const auto offered = dir_.WriteFile("fw.bin", RandomBytes(3000, 6));
    const fs::path incoming = dir_.Path() / "incoming";
    THeadlessProcess server(dir_, {"--port", "0", "--bind", "127.0.0.1", "--accept", incoming.string(),
                                   "--max-uploads", "2", "--max-downloads=1", offered.string()});
    const int port = StartLinePort(server);
    ASSERT_NE(port, 0) << server.Err();
    EXPECT_NE(server.Err().find("; 1 listed file; uploads into " + incoming.string() + "\n"), std::string::npos)
        << server.Err();

    TRawClient first;
    first.SendTo(port, Request(1, "fw.bin", "octet"));
    ASSERT_TRUE(first.Receive().has_value());  // DATA 1, held: the one download allowed
    TRawClient second;
    EXPECT_EQ(Fetch(second, port, "fw.bin"), std::nullopt);
    first.Reply(Error(0, "enough"));

    dir_.WriteFile("up.txt", "config\n");
    EXPECT_EQ(Shell("cd '" + dir_.Str() + "' && tftp -m octet 127.0.0.1 " + std::to_string(port) + " -c put up.txt"),
              0);
    EXPECT_TRUE(WaitFor([&] { return TTempDir::ReadFile(incoming / "up.txt") == "config\n"; }));
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_NE(server.Out().find("fw.bin    127.0.0.1    Send error: Max connections reached!"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_.Path() / "veltrane.INI"));
}

TEST_F(HeadlessServiceTest, UsageErrorsEndWithStatusTwoAndTheUsage)
{
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"-p", "26971", "x"}, {"--port=65536"}, {"--max-downloads", "0"}, {"--bind", "1.2.3"}, {"--nope"}}) {
        THeadlessProcess server(dir_, arguments);
        EXPECT_EQ(server.Wait(), 2) << arguments.front();
        EXPECT_NE(server.Err().find("Usage: veltrane"), std::string::npos) << arguments.front();
    }
    THeadlessProcess missingRoot(dir_, {"--root", (dir_.Path() / "none").string()});
    EXPECT_EQ(missingRoot.Wait(), 2);
    const std::string window = std::string(VELTRANE_BINARY) + " --config-dir '" + dir_.Str() + "' --root /srv";
    EXPECT_EQ(WEXITSTATUS(std::system((window + " 2>'" + dir_.Str() + "/w.txt'").c_str())), 2);
    EXPECT_NE(TTempDir::ReadFile(dir_.Path() / "w.txt").find("--root serves without windows only; add --headless"),
              std::string::npos);
    EXPECT_EQ(WEXITSTATUS(std::system((std::string(VELTRANE_BINARY) + " -V >'" + dir_.Str() + "/v.txt'").c_str())),
              0);
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "v.txt"), "3.2\n");
}

TEST_F(HeadlessServiceTest, WindowWithoutDisplayEndsWithStatusTwo)
{
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                std::string(VELTRANE_BINARY) + " --config-dir '" + dir_.Str() + "' 2>'" + dir_.Str() +
                                "/err.txt'";
    const int status = std::system(command.c_str());
    const std::string err = TTempDir::ReadFile(dir_.Path() / "err.txt");
    if (err.find("this build has no window") != std::string::npos)
        GTEST_SKIP() << "built without the window";
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(err, "veltrane: cannot open a display; use --headless to serve without windows\n");
}

TEST_F(HeadlessServiceTest, HangupMovesToANewPortWhileATransferGoesOn)
{
    const std::string content = RandomBytes(200000, 7);
    const auto offered = dir_.WriteFile("f.bin", content);
    const auto settings = [&](int port) {
        std::ofstream(dir_.Path() / "veltrane.INI")
            << "[TFTP Settings]\nPort=" << port << "\nMaxDLConn=5\n[IP Settings]\nBind=127.0.0.1\n";
    };
    const int oldPort = FreePort();
    settings(oldPort);
    THeadlessProcess server(dir_, {offered.string()});
    ASSERT_EQ(StartLinePort(server), oldPort) << server.Err();

    TRawClient underway;
    underway.SendTo(oldPort, Request(1, "f.bin", "octet"));
    ASSERT_TRUE(WaitFor([&] { return server.Out().find("Transfer: Sending file...") != std::string::npos; },
                        kStartDeadline));
    const int newPort = FreePort();
    settings(newPort);
    server.Signal(SIGHUP);
    const std::string reloaded =
        "veltrane: reloaded: Port changed; listening on 127.0.0.1:" + std::to_string(newPort) + "\n";
    ASSERT_TRUE(WaitFor([&] { return server.Err().find(reloaded) != std::string::npos; }, kStartDeadline))
        << server.Err();

    TRawClient fresh;
    EXPECT_EQ(Fetch(fresh, newPort, "f.bin"), content);
    EXPECT_TRUE(PortIsFree(oldPort));  // nothing listens there any more
    EXPECT_EQ(TTftpTestClient(underway).DownloadFrom(), content);
    EXPECT_EQ(server.Stop(), 0);
}

TEST_F(HeadlessServiceTest, HangupWithAnUnreadableSettingsFileKeepsServing)
{
    const auto offered = dir_.WriteFile("f.bin", "firmware");
    const int port = FreePort();
    std::ofstream(dir_.Path() / "veltrane.INI") << "[TFTP Settings]\nPort=" << port << "\n[IP Settings]\nBind=127.0.0.1\n";
    THeadlessProcess server(dir_, {offered.string()});
    ASSERT_EQ(StartLinePort(server), port) << server.Err();

    fs::remove(dir_.Path() / "veltrane.INI");
    fs::create_directory(dir_.Path() / "veltrane.INI");  // there, but no file to read
    server.Signal(SIGHUP);
    const std::string refused = "veltrane: reload refused: cannot read " + (dir_.Path() / "veltrane.INI").string() +
                                "; running settings kept\n";
    ASSERT_TRUE(WaitFor([&] { return server.Err().find(refused) != std::string::npos; }, kStartDeadline))
        << server.Err();
    TRawClient client;
    EXPECT_EQ(Fetch(client, port, "f.bin"), "firmware");
    EXPECT_EQ(server.Stop(), 0);
}
