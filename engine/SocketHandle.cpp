#include "engine/SocketHandle.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <linux/in6.h>
#include <netinet/in.h>
#include <netinet/udp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "engine/NetException.h"
#include "engine/SocketError.h"

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
    handedFd_ = std::exchange(other.handedFd_, -1);
    family_ = other.family_;
    opener_ = other.opener_;
    batchSender_ = other.batchSender_;
    messageSender_ = other.messageSender_;
    segmenting_ = other.segmenting_;
    receiveWaitMs_ = std::exchange(other.receiveWaitMs_, 0);
    connected_ = std::exchange(other.connected_, false);
    freeBind_ = other.freeBind_;
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

void TSocketHandle::AllocateSocket(int family)
{
    if (fd_ >= 0)
        return;
    fd_ = opener_(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        RaiseLastSocketError();
    family_ = family;
    const int only = 1;
    if (family == AF_INET6 && ::setsockopt(fd_, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only) != 0) {
        const int failure = errno;
        CloseSocket();
        errno = failure;
        RaiseLastSocketError();
    }
}

bool TSocketHandle::BindUnlessNoIPv6()
{
    try {
        Bind();
        return true;
    } catch (const ESocketError& failure) {
        const bool noIPv6 = ip_ == kEveryIPv6Address && (failure.Number() == WinsockErrorNumber(EAFNOSUPPORT) ||
                                                        failure.Number() == WinsockErrorNumber(EADDRNOTAVAIL));
        if (!noIPv6)
            throw;
        CloseSocket();
        return false;
    }
}

void TSocketHandle::Bind()
{
    if (handedFd_ >= 0)
        TakeHandedSocket();
    else
        BindOwnSocket();
    TSocketAddress local;
    socklen_t length = sizeof local.Storage;
    if (::getsockname(fd_, local.Raw(), &length) != 0)
        RaiseLastSocketError();
    ip_ = AddressText(local);
    port_ = local.Port();
}

void TSocketHandle::BindOwnSocket()
{
    AllocateSocket(AddressFamily(ip_));
    if (freeBind_)
        AllowFreeBind();
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
}

void TSocketHandle::TakeHandedSocket()
{
    CloseSocket();
    TSocketAddress local;
    socklen_t length = sizeof local.Storage;
    if (::getsockname(handedFd_, local.Raw(), &length) != 0)
        RaiseLastSocketError();
    fd_ = ::fcntl(handedFd_, F_DUPFD_CLOEXEC, 0);
    if (fd_ < 0)
        RaiseLastSocketError();
    family_ = local.Family();
}

void TSocketHandle::AllowFreeBind()
{
    const int on = 1;
    const int failed = family_ == AF_INET6 ? ::setsockopt(fd_, IPPROTO_IPV6, IPV6_FREEBIND, &on, sizeof on)
                                           : ::setsockopt(fd_, IPPROTO_IP, IP_FREEBIND, &on, sizeof on);
    if (failed != 0)
        RaiseLastSocketError();
}

void TSocketHandle::BindTo(int port)
{
    const auto local = NumericAddress(ip_, port, family_);
    if (!local)
        throw EInvalidIPAddress(ip_);
    if (::bind(fd_, local->Raw(), local->Length()) == 0)
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

void TSocketHandle::Connect(const TSocketAddress& peer)
{
    AllocateSocket(peer.Family());
    if (::connect(fd_, peer.Raw(), peer.Length()) != 0)
        RaiseLastSocketError();
    connected_ = true;
}

namespace {

// A segmented send is one UDP datagram to the stack until the device or the stack cuts
// it (UDP generic segmentation offload): its payload must fit one IPv4 datagram, and
// the kernel takes at most 64 segments in one send.
constexpr std::size_t kMaxSegmentedPayload = 65507;
constexpr std::size_t kMaxSegments = 64;
constexpr std::size_t kMaxBatch = 64;

/// Whether sockets try segmented sends at all. The benchmark compares them with batches
/// of datagrams in one build: VELTRANE_SEND_BATCHES set in the environment keeps every
/// socket of the process to batches. Read once.
bool SegmentationWanted()
{
    static const bool wanted = std::getenv("VELTRANE_SEND_BATCHES") == nullptr;
    return wanted;
}

/// Whether errno after a segmented send says the system cannot segment for this socket:
/// an old kernel (EINVAL, ENOPROTOOPT), a segment above the path's MTU (EINVAL), a device
/// without checksum offload (EIO), or a limit the kernel counts differently (EMSGSIZE).
/// The same datagrams then go out one by one, which gives the true verdict on them.
bool SegmentationRefused()
{
    return errno == EINVAL || errno == ENOPROTOOPT || errno == EOPNOTSUPP || errno == EIO ||
           errno == EMSGSIZE;
}

/// Raises what a failed send (errno set) means: a datagram too long for the path, a send
/// refused for the moment (a local firewall's drop, no buffer space), or the socket error.
[[noreturn]] void RaiseSendFailure()
{
    if (errno == EMSGSIZE)
        throw EPackageSizeTooBig();
    if (errno == EPERM || errno == ENOBUFS || errno == EAGAIN || errno == EWOULDBLOCK)
        throw ESendRefusedForNow(WinsockErrorNumber(errno));
    RaiseLastSocketError();
}

/// Whether `datagrams` can be cut into segments of the first one's size: all of that
/// size but the last, which may be shorter.
bool OfOneSegmentSize(std::span<const std::string_view> datagrams)
{
    const std::size_t segment = datagrams.front().size();
    const auto full = [segment](std::string_view datagram) { return datagram.size() == segment; };
    return segment > 0 && std::all_of(datagrams.begin(), datagrams.end() - 1, full) &&
           datagrams.back().size() <= segment;
}

}  // namespace

void TSocketHandle::SendTo(const TSocketAddress& to, std::string_view bytes)
{
    AllocateSocket(to.Family());
    iovec part{const_cast<char*>(bytes.data()), bytes.size()};
    msghdr message{};
    if (!connected_) {
        message.msg_name = const_cast<sockaddr*>(to.Raw());
        message.msg_namelen = to.Length();
    }
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    ssize_t sent = 0;
    do {
        sent = messageSender_(fd_, &message, 0);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0)
        RaiseSendFailure();
    if (static_cast<std::size_t>(sent) != bytes.size())
        throw ENotAllBytesSent();
}

void TSocketHandle::SendEach(const TSocketAddress& to, std::span<const std::string_view> datagrams)
{
    AllocateSocket(to.Family());
    if (segmenting_ && SegmentationWanted() && datagrams.size() > 1 && OfOneSegmentSize(datagrams))
        datagrams = datagrams.subspan(SendSegmented(to, datagrams));
    if (!datagrams.empty())
        SendBatches(to, datagrams);
}

std::size_t TSocketHandle::SendSegmented(const TSocketAddress& to, std::span<const std::string_view> datagrams)
{
    const std::size_t segment = datagrams.front().size();
    const std::size_t perSend = std::min(kMaxSegments, kMaxSegmentedPayload / segment);
    std::array<iovec, kMaxSegments> parts{};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(std::uint16_t))> control{};
    std::size_t sent = 0;
    // A lone datagram left at the end needs no segmentation; the batches send it.
    while (perSend >= 2 && datagrams.size() - sent >= 2) {
        const std::size_t count = std::min(perSend, datagrams.size() - sent);
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::string_view datagram = datagrams[sent + i];
            parts[i] = {const_cast<char*>(datagram.data()), datagram.size()};
            bytes += datagram.size();
        }
        msghdr message{};
        if (!connected_) {
            message.msg_name = const_cast<sockaddr*>(to.Raw());
            message.msg_namelen = to.Length();
        }
        message.msg_iov = parts.data();
        message.msg_iovlen = count;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* size = CMSG_FIRSTHDR(&message);
        size->cmsg_level = SOL_UDP;
        size->cmsg_type = UDP_SEGMENT;
        size->cmsg_len = CMSG_LEN(sizeof(std::uint16_t));
        const auto segmentSize = static_cast<std::uint16_t>(segment);
        std::memcpy(CMSG_DATA(size), &segmentSize, sizeof segmentSize);
        ssize_t result = 0;
        do {
            result = messageSender_(fd_, &message, 0);
        } while (result < 0 && errno == EINTR);
        if (result < 0 && SegmentationRefused()) {
            segmenting_ = false;
            break;
        }
        if (result < 0)
            RaiseSendFailure();
        if (static_cast<std::size_t>(result) != bytes)
            throw ENotAllBytesSent();
        sent += count;
    }
    return sent;
}

void TSocketHandle::SendBatches(const TSocketAddress& to, std::span<const std::string_view> datagrams)
{
    if (datagrams.size() == 1)
        return SendTo(to, datagrams.front());
    std::array<mmsghdr, kMaxBatch> messages{};
    std::array<iovec, kMaxBatch> parts{};
    while (!datagrams.empty()) {
        const std::size_t count = std::min(datagrams.size(), kMaxBatch);
        for (std::size_t i = 0; i < count; ++i) {
            parts[i] = {const_cast<char*>(datagrams[i].data()), datagrams[i].size()};
            messages[i] = {};
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            if (!connected_) {
                messages[i].msg_hdr.msg_name = const_cast<sockaddr*>(to.Raw());
                messages[i].msg_hdr.msg_namelen = to.Length();
            }
        }
        // The system may take fewer datagrams than it is given, even none before a
        // signal; the rest go in the next call, and an error on the first of them shows.
        const int sent = batchSender_(fd_, messages.data(), static_cast<unsigned int>(count), 0);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0)
            RaiseSendFailure();
        if (sent == 0)
            throw ENotAllBytesSent();
        for (std::size_t i = 0; i < static_cast<std::size_t>(sent); ++i) {
            if (messages[i].msg_len != datagrams[i].size())
                throw ENotAllBytesSent();
        }
        datagrams = datagrams.subspan(static_cast<std::size_t>(sent));
    }
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
    TSocketAddress from;
    socklen_t length = sizeof from.Storage;
    ssize_t received = 0;
    do {
        // MSG_TRUNC reports the datagram's real length, so one that did not fit is seen.
        received = ::recvfrom(fd_, buffer, size, MSG_TRUNC | flags, from.Raw(), &length);
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
    binding.SetSocketOpener(opener_);
    binding.SetFreeBind(freeBind_);
    return binding;
}
