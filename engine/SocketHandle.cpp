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
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "engine/NetException.h"
#include "engine/SocketError.h"

void TSocketHandle::AllocateSocket(int family)
{
    if (open_.Fd.Valid())
        return;
    TUniqueFd fd(opener_(family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid())
        RaiseLastSocketError();
    const int only = 1;
    if (family == AF_INET6 && ::setsockopt(fd.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only) != 0)
        RaiseLastSocketError();
    open_ = {std::move(fd)};
    local_.Family = family;
}

bool TSocketHandle::BindUnlessNoIPv6()
{
    try {
        Bind();
        return true;
    } catch (const ESocketError& failure) {
        const bool noIPv6 = local_.IP == kEveryIPv6Address &&
                            (failure.Number() == WinsockErrorNumber(EAFNOSUPPORT) ||
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
    if (::getsockname(open_.Fd.Get(), local.Raw(), &length) != 0)
        RaiseLastSocketError();
    local_ = {AddressText(local), local.Port(), local.Family()};
}

void TSocketHandle::BindOwnSocket()
{
    AllocateSocket(AddressFamily(local_.IP));
    if (freeBind_)
        AllowFreeBind();
    if (local_.Port != 0 || clientPortMin_ == 0 || clientPortMax_ == 0) {
        BindTo(local_.Port);
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
    TUniqueFd fd(::fcntl(handedFd_, F_DUPFD_CLOEXEC, 0));
    if (!fd.Valid())
        RaiseLastSocketError();
    open_ = {std::move(fd)};
}

void TSocketHandle::AllowFreeBind()
{
    const int on = 1;
    const int fd = open_.Fd.Get();
    const int failed = local_.Family == AF_INET6 ? ::setsockopt(fd, IPPROTO_IPV6, IPV6_FREEBIND, &on, sizeof on)
                                                 : ::setsockopt(fd, IPPROTO_IP, IP_FREEBIND, &on, sizeof on);
    if (failed != 0)
        RaiseLastSocketError();
}

void TSocketHandle::BindTo(int port)
{
    const auto local = NumericAddress(local_.IP, port, local_.Family);
    if (!local)
        throw EInvalidIPAddress(local_.IP);
    if (::bind(open_.Fd.Get(), local->Raw(), local->Length()) == 0)
        return;
    if (errno == EADDRINUSE)
        throw ECouldNotBindSocket();
    RaiseLastSocketError();
}

void TSocketHandle::SetBroadcast(bool enabled)
{
    if (!open_.Fd.Valid())
        return;
    const int value = enabled ? 1 : 0;
    if (::setsockopt(open_.Fd.Get(), SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0)
        RaiseLastSocketError();
}

void TSocketHandle::Connect(const TSocketAddress& peer)
{
    AllocateSocket(peer.Family());
    if (::connect(open_.Fd.Get(), peer.Raw(), peer.Length()) != 0)
        RaiseLastSocketError();
    open_.Connected = true;
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

void TSocketHandle::AddressUnlessConnected(msghdr& message, const TSocketAddress& to) const
{
    // A connected socket sends to its peer alone; the system refuses any other address.
    if (!open_.Connected) {
        message.msg_name = const_cast<sockaddr*>(to.Raw());
        message.msg_namelen = to.Length();
    }
}

void TSocketHandle::SendTo(const TSocketAddress& to, std::string_view bytes)
{
    AllocateSocket(to.Family());
    iovec part{const_cast<char*>(bytes.data()), bytes.size()};
    msghdr message{};
    AddressUnlessConnected(message, to);
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    ssize_t sent = 0;
    do {
        sent = sendCalls_.Message(open_.Fd.Get(), &message, 0);
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
        AddressUnlessConnected(message, to);
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
            result = sendCalls_.Message(open_.Fd.Get(), &message, 0);
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
            AddressUnlessConnected(messages[i].msg_hdr, to);
        }
        // The system may take fewer datagrams than it is given, even none before a
        // signal; the rest go in the next call, and an error on the first of them shows.
        const int sent = sendCalls_.Batch(open_.Fd.Get(), messages.data(), static_cast<unsigned int>(count), 0);
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

std::optional<TReceived> TSocketHandle::Receive(char* buffer, std::size_t size, int waitMs)
{
    if (waitMs != 0)
        SetReceiveWait(waitMs < 0 ? 0 : waitMs);
    // MSG_TRUNC reports the datagram's real length, so one that did not fit is seen.
    const int flags = MSG_TRUNC | (waitMs == 0 ? MSG_DONTWAIT : 0);
    TReceived received;
    socklen_t length = sizeof received.From.Storage;
    ssize_t got = 0;
    do {
        got = ::recvfrom(open_.Fd.Get(), buffer, size, flags, received.From.Raw(), &length);
    } while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return std::nullopt;
    if (got < 0)
        RaiseLastSocketError();
    // A socket shut for reading gives an empty read without a sender.
    if (length == 0)
        return std::nullopt;
    if (static_cast<std::size_t>(got) > size)
        throw EMessageTooLong(received.From);
    received.Size = static_cast<std::size_t>(got);
    return received;
}

void TSocketHandle::ShutdownReceive()
{
    // Linux wakes the waiting receiver even on an unconnected UDP socket, and then
    // reports ENOTCONN; the shutdown has happened either way.
    if (open_.Fd.Valid())
        ::shutdown(open_.Fd.Get(), SHUT_RD);
}

void TSocketHandle::SetReceiveWait(int waitMs)
{
    if (waitMs == open_.ReceiveWaitMs)
        return;
    const timeval wait{waitMs / 1000, static_cast<suseconds_t>((waitMs % 1000) * 1000)};
    if (::setsockopt(open_.Fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0)
        RaiseLastSocketError();
    open_.ReceiveWaitMs = waitMs;
}

TSocketHandle& TSocketHandles::Add()
{
    TSocketHandle& binding = items_.emplace_back();
    binding.SetPort(defaultPort_);
    binding.SetSocketOpener(opener_);
    binding.SetFreeBind(freeBind_);
    return binding;
}
