#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/DatagramChannel.h"
#include "engine/PeerChannel.h"
#include "engine/PeerInfo.h"
#include "engine/SteadyClock.h"
#include "engine/Stream.h"
#include "engine/TFTPPacket.h"
#include "engine/Thread.h"
#include "engine/TransferWindow.h"
#include "engine/UDPClient.h"

class TTrivialFTPServer;
class TSyncCall;

/// One granted transfer carried out in lock-step (RFC 1350) or in windows of blocks
/// (RFC 7440) on a thread and a UDP port of its own. Created by the dispatcher and handed to the server's session registry,
/// which starts it; it reports its end through the server on the main thread.
class TTFTPServerThread {
public:
    /// A session's reply wait unless the timeout option changes it.
    static constexpr int kDefaultReplyWaitMs = 1500;
    /// Sends of one packet before the session gives up (RFC 1350 leaves the count open).
    static constexpr int kMaxSends = 3;

    virtual ~TTFTPServerThread();
    TTFTPServerThread(const TTFTPServerThread&) = delete;
    TTFTPServerThread& operator=(const TTFTPServerThread&) = delete;

    /// Starts the thread, which serves the transfer and then reports its end. Called once,
    /// by the registry.
    void Start();
    /// Carries out the transfer on the calling thread until it ends, and tells the stream
    /// its outcome; answers the peer's faults and its own with an ERROR. What Start's
    /// thread runs before it reports.
    void Serve();
    /// Ends the session soon and drops its completion report. Never blocks; any thread.
    void RequestStop();
    bool WriteOperation() const { return writeOperation_; }
    /// The stream of a session that never started, for its completion report.
    std::unique_ptr<TStream> TakeStream() { return std::move(stream_); }
    /// Keeps the request that started the session, to know its retransmissions.
    void RememberRequest(std::string datagram) { request_ = std::move(datagram); }
    /// Talks through `socket` (bound in the transfer port range) rather than a socket on
    /// a port the system picks; an unopened socket changes nothing. Before Start only.
    void UseTransferSocket(TSocketHandle socket) { client_.AdoptSocket(std::move(socket)); }
    /// Sends through `calls` rather than the system's own. Before Start only, after
    /// UseTransferSocket.
    void UseSendCalls(const TSendCalls& calls) { client_.UseSendCalls(calls); }
    /// Talks through `channel` and times its waits by `clock` rather than through its UDP
    /// client and by the system's clock: tests play the peer and the time. Both outlive
    /// the session. Before Start or Serve only.
    void UseChannel(IDatagramChannel& channel, const ISteadyClock& clock)
    {
        channel_ = &channel;
        clock_ = &clock;
    }
    /// Whether `datagram` from `peerInfo` repeats the request this session serves.
    bool Serves(const TPeerInfo& peerInfo, std::string_view datagram) const
    {
        return client_.Port() == peerInfo.Port && client_.Host() == peerInfo.IP && request_ == datagram;
    }
    /// Set when the final, short block has been read (read) or received (write).
    bool EndReached() const { return endReached_; }
    /// Whether the transfer has succeeded: an upload's final block stored, a download's
    /// final block sent after every block before it was acknowledged.
    bool Succeeded() const { return writeOperation_ ? endReached_ : delivered_; }
    /// Blocks sent before waiting for an acknowledgement (RFC 7440); 1 is lock-step.
    std::int32_t WindowSize() const { return windowSize_; }

protected:
    TTFTPServerThread(bool writeOperation, TTrivialFTPServer& server, TTransferMode mode,
                      const TPeerInfo& peerInfo, std::unique_ptr<TStream> stream,
                      bool freeStreamOnComplete, std::int32_t requestedBlockSize,
                      std::int64_t transferSize, bool tsizeRequested,
                      std::int32_t requestedTimeout, std::int32_t grantedWindowSize);

private:
    enum class TWait { Reply, Silence, Stopped };
    /// What a reply makes the session do: go on waiting, go on waiting afresh after a
    /// block of an upload's window, send again, move on to the next packet or window,
    /// or end.
    enum class TReply { Ignore, Progress, Resend, Advance, Complete };

    void Execute();
    void Negotiate(std::int32_t grantedWindowSize);
    void Transfer();
    /// Waits for the reply to what was sent and acts on it until the session must send
    /// again or end; probes a silent peer once on the way.
    TReply AwaitReply();
    ISteadyClock::TTimePoint ReplyDeadline() const;
    /// When a download's window, sent whole and unanswered, has its last block sent
    /// alone once more; `deadline` when it has none.
    ISteadyClock::TTimePoint ProbeTime(ISteadyClock::TTimePoint deadline) const;
    void SendProbe();
    /// Takes the time from the latest send to the reply that moved past it into the
    /// path's round trip.
    void NoteRoundTrip();
    /// Makes what goes out next: an upload's ACK, or a download's window filled up.
    void PrepareSend();
    void SendPending();
    void AllocateWindow();
    void SendWindow();
    /// Whether `block` was the last block of one of the latest sends of the window.
    bool EndedASend(std::uint16_t block) const;
    void FillWindow();
    void MakeDataPacket(std::size_t filled);
    TWait WaitForReply(ISteadyClock::TTimePoint deadline);
    TReply HandleReply();
    TReply HandleAck(std::uint16_t block);
    /// Answers an acknowledgement of a block before the window.
    TReply RepeatedAck(std::uint16_t block);
    TReply HandleData(std::uint16_t block);
    void AnswerFailure(const std::exception& failure);
    /// Tells the stream the outcome, once; later calls change nothing.
    void ReportOutcome(TTransferOutcome outcome);
    void NotifyComplete();
    [[noreturn]] void RaiseUnexpected() const;

    const bool writeOperation_;
    const TTransferMode mode_;  // both modes move bytes unchanged; the commit is told it
    TTrivialFTPServer& server_;
    std::unique_ptr<TStream> stream_;
    TUDPClient client_;
    TPeerChannel peerChannel_{client_};
    IDatagramChannel* channel_ = &peerChannel_;
    const ISteadyClock* clock_ = &TSystemSteadyClock::Instance();
    const std::int32_t requestedBlockSize_;
    const std::int64_t transferSize_;
    const bool tsizeRequested_;
    const std::int32_t requestedTimeout_;
    bool endReached_ = false;
    bool delivered_ = false;  // a download's final block sent with all before it acknowledged
    std::int32_t blockSize_ = DefaultBlockSize;
    bool outcomeReported_ = false;
    std::int32_t windowSize_ = 1;
    bool peerChoseWait_ = false;  // the reply wait came with the timeout option
    const bool freeStreamOnComplete_;
    std::string request_;

    std::vector<char> packet_;     // the OACK or an ACK to send; packetLength_ 0 when none
    std::size_t packetLength_ = 0;
    TTransferWindow window_;       // a download's DATA packets not yet acknowledged
    std::vector<std::span<char>> rooms_;         // where the next read puts each block
    std::vector<std::string_view> datagrams_;    // the window's packets as they go out
    std::vector<char> reply_;      // the receive buffer, BufferSize bytes
    std::size_t replyLength_ = 0;
    std::uint16_t blockCounter_ = 0;  // an upload's last block received in order
    std::int32_t blocksSinceAck_ = 0;  // an upload's blocks received since its last ACK
    std::int32_t strayBlocks_ = 0;     // an upload's blocks out of order since one in order
    int retryCount_ = 0;  // waits without a reply for the current packet or window
    std::size_t sendFrom_ = 0;  // the window's first packet the next send starts at
    std::array<std::uint16_t, 4> sendEnds_{};  // the last blocks of the latest sends
    std::size_t sendsMade_ = 0;
    ISteadyClock::TTimePoint sentAt_{};  // when the latest send went out
    bool probed_ = false;                // the latest send's last block went out alone again
    bool resentSinceAck_ = false;   // a block went out twice since the window last moved
    bool repeatAnswerable_ = false; // a repeat of the ACK that last moved the window sends it again
    std::chrono::steady_clock::duration roundTrip_{};  // smoothed, from a send to its reply

    std::atomic<bool> stopRequested_{false};
    std::mutex completionLock_;
    std::shared_ptr<TSyncCall> completion_;
    TThread thread_;
};

/// Serves a read request: sends the stream's bytes. Takes the base's arguments after
/// its direction.
class TTFTPServerSendFileThread : public TTFTPServerThread {
public:
    template <typename... TArgs>
    explicit TTFTPServerSendFileThread(TArgs&&... args)
        : TTFTPServerThread(false, std::forward<TArgs>(args)...)
    {
    }
};

/// Serves a write request: stores the peer's bytes into the stream.
class TTFTPServerReceiveFileThread : public TTFTPServerThread {
public:
    template <typename... TArgs>
    explicit TTFTPServerReceiveFileThread(TArgs&&... args)
        : TTFTPServerThread(true, std::forward<TArgs>(args)...)
    {
    }
};
