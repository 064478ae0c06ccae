// The headless server started as systemd starts it: listening on the socket it is handed
// and telling its notification socket when it is ready, reloading and stopping.

#include <chrono>
#include <csignal>
#include <optional>
#include <string>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/SocketHandle.h"
#include "tests/interop/HeadlessProcess.h"
#include "tests/support/RawClient.h"

namespace {

/// A descriptor closed at the end of the test.
class TFd {
public:
    explicit TFd(int fd) : fd_(fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() { ::close(fd_); }
    int Get() const { return fd_; }

private:
    int fd_;
};

/// The service manager's side of NOTIFY_SOCKET: a datagram socket at `path`.
int NotifySocket(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
}

/// The next notification within 30 seconds, or nothing.
std::optional<std::string> NextNotification(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 30000) != 1)
        return std::nullopt;
    char buffer[4096];
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    return got < 0 ? std::nullopt : std::optional<std::string>(std::string(buffer, static_cast<std::size_t>(got)));
}

}  // namespace

TEST(SocketActivationTest, ServesTheHandedSocketAndReportsReadyReloadingAndStopping)
{
    TTempDir dir;
    dir.WriteFile("boot.bin", "handed over");
    TSocketHandle handed;  // as a socket unit binds it
    handed.SetIP("127.0.0.1");
    handed.Bind();
    const int handedPort = handed.Port();
    const std::string notifyPath = (dir.Path() / "notify").string();
    const TFd notify(NotifySocket(notifyPath));  // the service manager's side
    // The port given on the command line is not bound: the handed socket is the server's.
    THeadlessProcess server(dir, {"--port", std::to_string(FreePort()), (dir.Path() / "boot.bin").string()},
                            THeadlessProcess::THandOver{handed.Handle(), notifyPath});

    const auto ready = NextNotification(notify.Get());
    ASSERT_TRUE(ready) << server.Err();
    EXPECT_EQ(ready->rfind("READY=1\nSTATUS=veltrane: listening on 127.0.0.1:" + std::to_string(handedPort) + ";", 0),
              0u)
        << *ready;
    TRawClient client;
    client.SendTo(handedPort, Request(1, "boot.bin", "octet"));
    const auto data = client.Receive();
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, Data(1, "handed over"));
    client.Reply(Ack(1));

    server.Signal(SIGHUP);
    const auto reloading = NextNotification(notify.Get());
    ASSERT_TRUE(reloading);
    EXPECT_EQ(reloading->rfind("RELOADING=1\nMONOTONIC_USEC=", 0), 0u) << *reloading;
    const auto reloaded = NextNotification(notify.Get());
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(reloaded->rfind("READY=1\nSTATUS=veltrane: reloaded", 0), 0u) << *reloaded;

    server.Signal(SIGTERM);
    EXPECT_EQ(NextNotification(notify.Get()), "STOPPING=1");
    EXPECT_EQ(server.Wait(), 0);
}
