#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <sys/socket.h>

#include "engine/NetException.h"
#include "engine/SocketAddress.h"
#include "fileio/UniqueFd.h"

/// The bind address text of every local IPv6 address.
inline constexpr char kEveryIPv6Address[] = "::";

/// Opens a socket as ::socket does; a test puts another in place to play a machine
/// without IPv6.
using TSocketOpener = int (*)(int family, int type, int protocol);
/// Sends several datagrams as ::sendmmsg does; a test puts another in place to play a
/// system that takes fewer datagrams a call than it is given.
using TBatchSender = int (*)(int fd, mmsghdr* messages, unsigned int count, int flags);
/// Sends one message as ::sendmsg does; a test puts another in place to play a system
/// that refuses UDP segmentation offload.
using TMessageSender = ssize_t (*)(int fd, const msghdr* message, int flags);
/// The system calls a socket sends through.
struct TSendCalls {
    TBatchSender Batch = ::sendmmsg;
    TMessageSender Message = ::sendmsg;
};

/// Where a socket is bound, or is to be bound: the local address text (empty: every
/// address of the family), the port (0: one the system picks) and the family.
struct TBindingAddress {
    std::string IP;
    int Port = 0;
    int Family = AF_INET;
};

/// One datagram read from a socket: how many bytes it brought and who sent it.
struct TReceived {
    std::size_t Size = 0;
    TSocketAddress From;
};

/// A datagram longer than the receive buffer: the receive failure 10040 ("Message too
/// long."). It names the sender, because a session ignores a stranger's datagram.
class EMessageTooLong : public ESocketError {
public:
    explicit EMessageTooLong(const TSocketAddress& from) : ESocketError(10040), from_(from) {}
    const TSocketAddress& From() const { return from_; }

private:
    TSocketAddress from_;
};

/// One UDP socket and the local address it is bound to. Owned by an endpoint and used
/// by one thread at a time. Moving hands the open socket over (a socket bound on one
/// thread, used on another).
class TSocketHandle {
public:
    const std::string& IP() const { return local_.IP; }
    void SetIP(std::string ip) { local_.IP = std::move(ip); }
    int Port() const { return local_.Port; }
    void SetPort(int port) { local_.Port = port; }
    int ClientPortMin() const { return clientPortMin_; }
    void SetClientPortMin(int port) { clientPortMin_ = port; }
    int ClientPortMax() const { return clientPortMax_; }
    void SetClientPortMax(int port) { clientPortMax_ = port; }
    void SetSocketOpener(TSocketOpener opener) { opener_ = opener; }
    /// Lets Bind() take an address that is not (yet) on any interface (IP_FREEBIND,
    /// IPV6_FREEBIND): the socket receives once the address comes up.
    void SetFreeBind(bool enabled) { freeBind_ = enabled; }
    void SetSendCalls(const TSendCalls& calls) { sendCalls_ = calls; }
    void SetBatchSender(TBatchSender sender) { sendCalls_.Batch = sender; }
    void SetMessageSender(TMessageSender sender) { sendCalls_.Message = sender; }
    /// Whether SendEach may still hand a run of datagrams over as one segmented send.
    bool SegmentingSends() const { return segmenting_; }

    int Handle() const { return open_.Fd.Get(); }
    bool HandleAllocated() const { return open_.Fd.Valid(); }

    /// Creates a datagram socket of `family` when there is none yet; an IPv6 one carries
    /// IPv6 only (IPV6_V6ONLY), so IPv4 traffic keeps to the IPv4 sockets.
    void AllocateSocket(int family = AF_INET);
    /// Binds by the rules of the bindings list, then reads the address back. The socket
    /// is of the family of IP (IPv4 when IP is empty) unless it is open already. A
    /// binding given a handed-over socket takes a duplicate of it instead of binding.
    void Bind();
    /// Makes Bind() take a duplicate of `fd`, a datagram socket bound already (one that
    /// a service manager handed over), instead of opening and binding one. `fd` stays
    /// open and owned by the caller for as long as this binding may be bound again.
    void UseHandedSocket(int fd) { handedFd_ = fd; }
    /// Like Bind, but a binding on every IPv6 address ("::") that the machine cannot
    /// make (no IPv6: EAFNOSUPPORT, EADDRNOTAVAIL) is left closed and gives false; any
    /// other failure is raised.
    bool BindUnlessNoIPv6();
    void SetBroadcast(bool enabled);
    void CloseSocket() { open_ = {}; }

    /// Sends one whole datagram to `to`, or to the peer once connected; raises
    /// EPackageSizeTooBig, ENotAllBytesSent or ESocketError.
    void SendTo(const TSocketAddress& to, std::string_view bytes);
    /// Sends every one of `datagrams`, in order, as whole datagrams to `to` (or to the
    /// peer once connected). Datagrams of one size, the last possibly shorter, go out in
    /// as few segmented sends as the system takes (UDP_SEGMENT); where the system refuses
    /// segmentation, and for a single datagram or mixed sizes, as many per call as it
    /// takes (sendmmsg). Raises as SendTo, and then the datagrams before the failing one
    /// have gone out. A send the system refuses for the moment (EPERM, ENOBUFS, EAGAIN)
    /// raises ESendRefusedForNow.
    void SendEach(const TSocketAddress& to, std::span<const std::string_view> datagrams);
    /// Fixes the socket's peer: sends go there without an address (and without a route
    /// lookup each time), and the system delivers datagrams from that peer only.
    void Connect(const TSocketAddress& peer);
    /// Reads one datagram into `buffer`, waiting at most `waitMs` for it: 0 does not
    /// wait, a negative wait has no limit. Nothing when none came (a datagram that woke a
    /// poll may still be dropped, for a bad checksum for instance). One system call when a
    /// datagram is waiting, so a transfer costs no extra wake-up per block. A datagram
    /// longer than `size` raises EMessageTooLong.
    /// Nothing, too, once the socket is shut for reading.
    std::optional<TReceived> Receive(char* buffer, std::size_t size, int waitMs);
    /// Shuts the socket for reading: a Receive waiting on another thread returns at once,
    /// and every later one too. Only for a socket this program made: a shutdown reaches
    /// every copy of the socket, those of other processes too.
    void ShutdownReceive();

private:
    /// The open socket and what was set on it; a socket opened anew starts afresh.
    struct TOpenSocket {
        TUniqueFd Fd;
        bool Connected = false;  // sends go to the connected peer
        int ReceiveWaitMs = 0;   // the receive timeout as last set; 0: none
    };

    void BindTo(int port);
    void AllowFreeBind();
    void BindOwnSocket();
    void TakeHandedSocket();
    void SetReceiveWait(int waitMs);
    void SendBatches(const TSocketAddress& to, std::span<const std::string_view> datagrams);
    /// Names `to` in `message`, unless the socket is connected to its peer.
    void AddressUnlessConnected(msghdr& message, const TSocketAddress& to) const;
    /// Sends what it can of `datagrams` as segmented sends and returns how many went out;
    /// stops early, and stops trying for good, where the system refuses segmentation.
    std::size_t SendSegmented(const TSocketAddress& to, std::span<const std::string_view> datagrams);

    TOpenSocket open_;
    TBindingAddress local_;
    int clientPortMin_ = 0;
    int clientPortMax_ = 0;
    int handedFd_ = -1;  // not owned; see UseHandedSocket
    bool freeBind_ = false;
    TSocketOpener opener_ = ::socket;
    TSendCalls sendCalls_;
    bool segmenting_ = true;  // cleared once the system refuses a segmented send
};

/// The ordered bindings of a server. Every binding added starts with an empty IP and
/// the collection's DefaultPort. Changed only while the server is inactive.
class TSocketHandles {
public:
    int DefaultPort() const { return defaultPort_; }
    void SetDefaultPort(int port) { defaultPort_ = port; }
    /// How every binding added from now on opens its socket.
    void SetSocketOpener(TSocketOpener opener) { opener_ = opener; }
    /// Whether every binding added from now on may take an address not yet up.
    void SetFreeBind(bool enabled) { freeBind_ = enabled; }

    TSocketHandle& Add();
    void Clear() { items_.clear(); }
    std::size_t Count() const { return items_.size(); }
    TSocketHandle& operator[](std::size_t index) { return items_[index]; }
    const TSocketHandle& operator[](std::size_t index) const { return items_[index]; }
    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }

private:
    int defaultPort_ = 0;
    TSocketOpener opener_ = ::socket;
    bool freeBind_ = false;
    std::deque<TSocketHandle> items_;  // stable addresses: the listener keeps pointers
};
