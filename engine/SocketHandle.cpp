#include "engine/SocketHandle.h"

#include <arpa/inet.h>
#include <cerrno>
#include <utility>
#include <netdb.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "engine/NetException.h"
#include "engine/SocketError.h"

sockaddr_in ResolveHost(const std::string& host, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const std::string dotted = strcasecmp(host.c_str(), "LOCALHOST") == 0 ? "127.0.0.1" : host;
    if (inet_pton(AF_INET, dotted.c_str(), &address.sin_addr) == 1)
        return address;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        throw ESocketError(11001);
    address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return address;
}

std::string AddressText(const sockaddr_in& address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

TSocketHandle::TSocketHandle(TSocketHandle&& other) noexcept
{
    *this = std::move(other);
}

TSocketHandle& TSocketHandle::operator=(TSocketHandle&& other) noexcept
{
    if (this == &other)
        return *this;
    CloseSocket();
    fd_ = std::exchange(other.fd_, -1);
    receiveWaitMs_ = std::exchange(other.receiveWaitMs_, 0);
    connected_ = std::exchange(other.connected_, false);
    ip_ = std::move(other.ip_);
    port_ = other.port_;
    clientPortMin_ = other.clientPortMin_;
    clientPortMax_ = other.clientPortMax_;
    peerAddress_ = other.peerAddress_;
    return *this;
}

TSocketHandle::~TSocketHandle()
{
    CloseSocket();
}

void TSocketHandle::AllocateSocket()
{
    if (fd_ >= 0)
        return;
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        RaiseLastSocketError();
}

void TSocketHandle::Bind()
{
    AllocateSocket();
    if (port_ != 0 || clientPortMin_ == 0 || clientPortMax_ == 0) {
        BindTo(port_);
    } else {
        if (clientPortMax_ < clientPortMin_)
            throw EInvalidPortRange(clientPortMin_, clientPortMax_);
        bool bound = false;
        for (int port = clientPortMax_; port >= clientPortMin_ && !bound; --port) {
            try {
                BindTo(port);
                bound = true;
            } catch (const ENetException&) {
            }
        }
        if (!bound)
            throw ECanNotBindRange(clientPortMin_, clientPortMax_);
    }
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        RaiseLastSocketError();
    ip_ = AddressText(local);
    port_ = ntohs(local.sin_port);
}

void TSocketHandle::BindTo(int port)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    if (!ip_.empty() && inet_pton(AF_INET, ip_.c_str(), &local.sin_addr) != 1)
        throw EInvalidIPAddress(ip_);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0)
        return;
    if (errno == EADDRINUSE)
        throw ECouldNotBindSocket();
    RaiseLastSocketError();
}

void TSocketHandle::SetBroadcast(bool enabled)
{
    if (fd_ < 0)
        return;
    const int value = enabled ? 1 : 0;
    if (::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0)
        RaiseLastSocketError();
}

void TSocketHandle::Shutdown()
{
    if (fd_ >= 0)
        ::shutdown(fd_, SHUT_RDWR);
}

void TSocketHandle::CloseSocket()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        connected_ = false;
        receiveWaitMs_ = 0;
    }
}

void TSocketHandle::Connect(const sockaddr_in& peer)
{
    AllocateSocket();
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0)
        RaiseLastSocketError();
    connected_ = true;
}

void TSocketHandle::SendTo(const sockaddr_in& to, std::string_view bytes)
{
    AllocateSocket();
    ssize_t sent = 0;
    do {
        sent = connected_ ? ::send(fd_, bytes.data(), bytes.size(), 0)
                          : ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                                     sizeof to);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0 && errno == EMSGSIZE)
        throw EPackageSizeTooBig();
    if (sent < 0)
        RaiseLastSocketError();
    if (static_cast<std::size_t>(sent) != bytes.size())
        throw ENotAllBytesSent();
}

bool TSocketHandle::WaitReadable(int waitMs) const
{
    pollfd entry{fd_, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&entry, 1, waitMs < 0 ? -1 : waitMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        RaiseLastSocketError();
    return ready > 0;
}

std::optional<std::size_t> TSocketHandle::ReceiveFromWithin(char* buffer, std::size_t size, int waitMs)
{
    if (waitMs != receiveWaitMs_) {
        const timeval wait{waitMs / 1000, static_cast<suseconds_t>((waitMs % 1000) * 1000)};
        if (::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0)
            RaiseLastSocketError();
        receiveWaitMs_ = waitMs;
    }
    return ReceiveUnlessNone(buffer, size, 0);
}

std::optional<std::size_t> TSocketHandle::ReceiveWaiting(char* buffer, std::size_t size)
{
    return ReceiveUnlessNone(buffer, size, MSG_DONTWAIT);
}

std::size_t TSocketHandle::ReceiveFrom(char* buffer, std::size_t size)
{
    return Receive(buffer, size, 0);
}

std::optional<std::size_t> TSocketHandle::ReceiveUnlessNone(char* buffer, std::size_t size, int flags)
{
    try {
        return Receive(buffer, size, flags);
    } catch (const ESocketError& failure) {
        if (failure.Number() == WinsockErrorNumber(EAGAIN))
            return std::nullopt;
        throw;
    }
}

std::size_t TSocketHandle::Receive(char* buffer, std::size_t size, int flags)
{
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t received = 0;
    do {
        // MSG_TRUNC reports the datagram's real length, so one that did not fit is seen.
        received = ::recvfrom(fd_, buffer, size, MSG_TRUNC | flags, reinterpret_cast<sockaddr*>(&from),
                              &length);
    } while (received < 0 && errno == EINTR);
    if (received < 0)
        RaiseLastSocketError();
    peerAddress_ = from;
    if (static_cast<std::size_t>(received) > size)
        throw ESocketError(10040);
    return static_cast<std::size_t>(received);
}

TSocketHandle& TSocketHandles::Add()
{
    TSocketHandle& binding = items_.emplace_back();
    binding.SetPort(defaultPort_);
    return binding;
}
