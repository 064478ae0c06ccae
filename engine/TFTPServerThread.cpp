#include "engine/TFTPServerThread.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "engine/MainThreadBridge.h"
#include "engine/NetException.h"
#include "engine/TrivialFTPServer.h"
#include "engine/UnexpectedFailure.h"

namespace {
// Sessions only move blocks between a buffer and a stream, so a small stack suffices.
constexpr std::size_t kSessionStackSize = 256 * 1024;
// The shortest wait before a window's last block goes out alone again: well within any
// client's own timeout, and long enough that a client merely busy for a moment on a fast
// link is not probed.
constexpr std::chrono::milliseconds kMinProbeWait{200};
}  // namespace

TTFTPServerThread::TTFTPServerThread(bool writeOperation, TTrivialFTPServer& server,
                                     TTransferMode mode,
                                     const TPeerInfo& peerInfo, std::unique_ptr<TStream> stream,
                                     bool freeStreamOnComplete, std::int32_t requestedBlockSize,
                                     std::int64_t transferSize, bool tsizeRequested,
                                     std::int32_t requestedTimeout, std::int32_t grantedWindowSize)
    : writeOperation_(writeOperation), mode_(mode), server_(server), stream_(std::move(stream)),
      requestedBlockSize_(requestedBlockSize), transferSize_(transferSize),
      tsizeRequested_(tsizeRequested), requestedTimeout_(requestedTimeout),
      freeStreamOnComplete_(freeStreamOnComplete)
{
    client_.SetHost(peerInfo.IP);
    client_.SetPort(peerInfo.Port);
    client_.SetReceiveTimeout(kDefaultReplyWaitMs);
    client_.SetBufferSize(DefaultBlockSize + static_cast<int>(kHeaderSize));
    // Agreed here, on the dispatcher's thread, so the session thread allocates nothing
    // of its own and stays small.
    Negotiate(grantedWindowSize);
}

TTFTPServerThread::~TTFTPServerThread()
{
    thread_.Join();
}

void TTFTPServerThread::Start()
{
    thread_.Start([this] { Execute(); }, kSessionStackSize);
}

void TTFTPServerThread::RequestStop()
{
    stopRequested_ = true;
    channel_->Interrupt();
    std::lock_guard guard(completionLock_);
    if (completion_)
        completion_->Cancel();
}

void TTFTPServerThread::Serve()
{
    try {
        // RFC 1350 section 4: the transfer talks to the requesting port alone.
        channel_->ConnectToPeer();
        Transfer();
    } catch (const std::exception& failure) {
        AnswerFailure(failure);
    } catch (...) {
        ReportUnexpectedFailure("a transfer");
        AnswerFailure(ENetException("Unknown error"));
    }
    ReportOutcome(Succeeded() ? TTransferOutcome::Succeeded : TTransferOutcome::Failed);
}

void TTFTPServerThread::Execute()
{
    Serve();
    // The port goes back before the report waits for the main thread, so a client's next
    // request finds it free even while the main thread is busy.
    peerChannel_.Close();
    if (freeStreamOnComplete_)
        stream_.reset();
    NotifyComplete();
    server_.SessionFinished(this);  // the last act: the registry may destroy this object
}

void TTFTPServerThread::Negotiate(std::int32_t grantedWindowSize)
{
    endReached_ = false;
    const TNegotiation agreed = NegotiateOptions(requestedBlockSize_, transferSize_, tsizeRequested_,
                                                 requestedTimeout_, grantedWindowSize);
    windowSize_ = agreed.WindowSize;
    blockSize_ = agreed.BlockSize;
    client_.SetBufferSize(agreed.BlockSize + static_cast<int>(kHeaderSize));
    peerChoseWait_ = agreed.ReplyWaitMs > 0;
    if (peerChoseWait_)
        client_.SetReceiveTimeout(agreed.ReplyWaitMs);
    const auto bufferSize = static_cast<std::size_t>(client_.BufferSize());
    // Only the OACK and ACKs go out of packet_; a download's blocks are built in the window.
    packet_.resize(std::max(agreed.FirstPacket.size(), kHeaderSize));
    reply_.resize(bufferSize);
    std::memcpy(packet_.data(), agreed.FirstPacket.data(), agreed.FirstPacket.size());
    packetLength_ = agreed.FirstPacket.size();
}

void TTFTPServerThread::Transfer()
{
    for (;;) {
        PrepareSend();
        if (retryCount_ == kMaxSends) {
            // The final block went out after every other one was acknowledged, and its
            // own acknowledgement never came back: the peer may well hold the whole file.
            if (delivered_)
                return;
            throw ETFTPIllegalOperation("Timeout");
        }
        SendPending();
        const TReply reply = AwaitReply();
        if (reply == TReply::Complete)
            return;
        if (reply == TReply::Advance) {
            NoteRoundTrip();
            retryCount_ = 0;
        }
    }
}

TTFTPServerThread::TReply TTFTPServerThread::AwaitReply()
{
    // The wait runs from the last send, and starts again whenever an upload's window
    // brings a block in order: the sends counted are those of one window.
    auto deadline = ReplyDeadline();
    auto probeAt = ProbeTime(deadline);
    TReply reply = TReply::Ignore;
    while (reply == TReply::Ignore || reply == TReply::Progress) {
        if (reply == TReply::Progress) {
            retryCount_ = 0;
            deadline = ReplyDeadline();
            probeAt = deadline;
        }
        switch (WaitForReply(std::min(probeAt, deadline))) {
        case TWait::Stopped:
            // The server is closing. A transfer that has not succeeded yet is told so
            // rather than left to time out; one that has is complete and kept.
            if (!Succeeded())
                throw ENetException("Server is shutting down");
            return TReply::Complete;
        case TWait::Silence:
            if (probeAt < deadline) {
                SendProbe();
                probeAt = deadline;
                break;
            }
            // A write session has acknowledged the final block and heard no repeat of
            // it for one wait: the upload is complete.
            if (endReached_ && writeOperation_)
                return TReply::Complete;
            ++retryCount_;
            sendFrom_ = 0;
            reply = TReply::Resend;
            break;
        case TWait::Reply:
            reply = HandleReply();
            break;
        }
    }
    return reply;
}

ISteadyClock::TTimePoint TTFTPServerThread::ReplyDeadline() const
{
    return clock_->Now() + std::chrono::milliseconds(client_.ReceiveTimeout());
}

ISteadyClock::TTimePoint TTFTPServerThread::ProbeTime(ISteadyClock::TTimePoint deadline) const
{
    // A peer that lost a block inside a window says so at once, acknowledging the block
    // before the gap (RFC 7440 section 4); one that lost the window's last blocks waits
    // for them in silence, as it does when its acknowledgement was lost. The last block
    // sent, alone and a few round trips after the send, settles both for one datagram:
    // the peer completes its window, reports its gap, or repeats its acknowledgement.
    // The whole window still goes out again when the reply wait ends. A wait the peer
    // chose (RFC 2349) passes whole before anything is sent again, and lock-step keeps
    // the wait of RFC 1350.
    if (writeOperation_ || windowSize_ <= 1 || peerChoseWait_ || packetLength_ != 0 || window_.Sent() == 0)
        return deadline;
    const auto probeWait = std::max<std::chrono::steady_clock::duration>(kMinProbeWait, 4 * roundTrip_);
    return std::min(deadline, sentAt_ + probeWait);
}

void TTFTPServerThread::SendProbe()
{
    probed_ = true;
    resentSinceAck_ = true;
    try {
        channel_->Send(window_.Packet(window_.Sent() - 1));
    } catch (const ESendRefusedForNow&) {
        // Lost on this machine as it could be on the wire: the wait's end sends again.
    }
}

void TTFTPServerThread::NoteRoundTrip()
{
    // Only a reply to a send made once times the path; one after a resend or a probe
    // may answer either (Karn's rule).
    if (retryCount_ == 0 && !probed_) {
        const auto sample = clock_->Now() - sentAt_;
        roundTrip_ = roundTrip_ == roundTrip_.zero() ? sample : (7 * roundTrip_ + sample) / 8;
    }
}

void TTFTPServerThread::PrepareSend()
{
    // The OACK stays the packet to send until the peer's first answer to it.
    if (packetLength_ != 0)
        return;
    if (writeOperation_) {
        // An upload always answers with its last block received in order (RFC 7440: on a
        // gap the sender goes back to the block after it).
        const std::string ack = MakeAckPacket(blockCounter_);
        std::memcpy(packet_.data(), ack.data(), ack.size());
        packetLength_ = ack.size();
        return;
    }
    FillWindow();
}

void TTFTPServerThread::SendPending()
{
    sentAt_ = clock_->Now();
    probed_ = false;
    try {
        if (packetLength_ != 0) {
            channel_->Send(std::string_view(packet_.data(), packetLength_));
            blocksSinceAck_ = 0;
            return;
        }
        // The final block alone is left and goes out now: every block before it was
        // acknowledged, so the outcome is told before the send, or the client could ask
        // for its next file before the server knows its place is free.
        if (endReached_ && window_.Count() == 1 && !delivered_)
            ReportOutcome(TTransferOutcome::Succeeded);
        SendWindow();
    } catch (const ESendRefusedForNow&) {
        // Refused by this machine for the moment (a firewall's drop, full buffers): to
        // the peer the datagrams were lost on the wire, and the wait's end sends again.
        return;
    }
    // Every block before the final one acknowledged and the final one sent: the download
    // has done all a server can (lock-step or windowed, the final ACK may be lost).
    if (endReached_ && window_.Count() == 1 && window_.Sent() == 1)
        delivered_ = true;
}

void TTFTPServerThread::SendWindow()
{
    // The window from sendFrom_ on, in as few system calls as the system takes.
    if (sendFrom_ < window_.Sent())
        resentSinceAck_ = true;
    datagrams_.clear();
    for (std::size_t i = sendFrom_; i < window_.Count(); ++i)
        datagrams_.push_back(window_.Packet(i));
    sendFrom_ = 0;
    if (datagrams_.empty())
        return;
    channel_->SendEach(datagrams_);
    window_.MarkSent();
    sendEnds_[sendsMade_++ % sendEnds_.size()] = static_cast<std::uint16_t>(window_.NextBlock() - 1);
}

bool TTFTPServerThread::EndedASend(std::uint16_t block) const
{
    const auto kept = sendEnds_.begin() + static_cast<std::ptrdiff_t>(std::min(sendsMade_, sendEnds_.size()));
    return std::find(sendEnds_.begin(), kept, block) != kept;
}

void TTFTPServerThread::AllocateWindow()
{
    // Only once the client has answered: a forged request costs the OACK, not a window
    // of up to 64 blocks of 65464 bytes. And only as many rooms as the file has blocks.
    const std::size_t slots =
        TTransferWindow::SlotsFor(windowSize_, blockSize_, stream_->Size());
    window_.Allocate(slots, static_cast<std::size_t>(blockSize_) + kHeaderSize);
    rooms_.reserve(slots);
    datagrams_.reserve(slots);
}

void TTFTPServerThread::FillWindow()
{
    if (!window_.Allocated())
        AllocateWindow();
    if (window_.Full() || endReached_)
        return;
    // The blocks the window has room for are read in one go where the stream can (a
    // file: one readv); any other stream is still read one block at a time.
    rooms_.clear();
    for (std::size_t ahead = 0; ahead < window_.Free(); ++ahead)
        rooms_.push_back(window_.NextRoom(ahead).subspan(kHeaderSize));
    std::size_t readAhead = stream_->ReadScattered(rooms_);
    const std::size_t blockSize = rooms_.front().size();
    while (!window_.Full() && !endReached_) {
        const std::size_t filled = std::min(readAhead, blockSize);
        readAhead -= filled;
        MakeDataPacket(filled);
    }
}

void TTFTPServerThread::MakeDataPacket(std::size_t filled)
{
    const std::span<char> room = window_.NextRoom();
    const std::uint16_t block = window_.NextBlock();
    const std::size_t blockSize = room.size() - kHeaderSize;
    room[0] = 0;
    room[1] = static_cast<char>(TFTPOpcode::DATA);
    room[2] = static_cast<char>(block >> 8);
    room[3] = static_cast<char>(block & 0xFF);
    // A stream may return fewer bytes than asked before its end; only 0 means the end.
    // A block the read-ahead left short is completed here, so it ends the transfer only
    // when the stream has nothing more.
    while (filled < blockSize) {
        const std::size_t got = stream_->Read(room.data() + kHeaderSize + filled, blockSize - filled);
        if (got == 0)
            break;
        filled += got;
    }
    window_.Append(kHeaderSize + filled);
    endReached_ = filled < blockSize;
}

TTFTPServerThread::TWait TTFTPServerThread::WaitForReply(ISteadyClock::TTimePoint deadline)
{
    for (;;) {
        if (stopRequested_)
            return TWait::Stopped;
        // Rounded up, so the wait asked of the socket stays the same from one send to the
        // next and costs no extra system call to set.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock_->Now());
        if (left.count() <= 0)
            return TWait::Silence;
        // RequestStop interrupts the channel, so a stop ends this wait at once.
        if (const auto received = channel_->ReceiveFromPeer(reply_, left)) {
            replyLength_ = *received;
            return TWait::Reply;
        }
    }
}

TTFTPServerThread::TReply TTFTPServerThread::HandleReply()
{
    const std::string_view reply(reply_.data(), replyLength_);
    const std::uint16_t opcode = reply.size() >= 2 ? DecodeWord(reply) : 0;
    if (opcode == TFTPOpcode::ERROR) {
        // RFC 2349: a client that wanted only the size ends the exchange with ERROR 8 in
        // answer to the OACK, before any DATA. Its question was answered.
        const bool oackPending = !writeOperation_ && packetLength_ != 0;
        if (oackPending && reply.size() >= 4 && DecodeWord(reply.substr(2)) == 8)
            ReportOutcome(TTransferOutcome::SizeQueryAnswered);
        throw EAbort();
    }
    // DATA and ACK carry a block number; shorter ones are not packets of this transfer.
    if (reply.size() < kHeaderSize)
        RaiseUnexpected();
    if (opcode == TFTPOpcode::DATA && writeOperation_)
        return HandleData(DecodeWord(reply.substr(2)));
    if (opcode == TFTPOpcode::ACK && !writeOperation_)
        return HandleAck(DecodeWord(reply.substr(2)));
    RaiseUnexpected();
}

TTFTPServerThread::TReply TTFTPServerThread::HandleAck(std::uint16_t block)
{
    if (packetLength_ != 0) {
        // RFC 2347: the OACK is acknowledged with block 0.
        if (block != 0)
            return TReply::Ignore;
        packetLength_ = 0;
        repeatAnswerable_ = retryCount_ == 0;
        return TReply::Advance;
    }
    // RFC 1123 section 4.2.3.1: an acknowledgement of a block before the window sends
    // nothing again unless it cannot be the answer to a duplicate (RepeatedAck), or every
    // later block could go out twice (the Sorcerer's Apprentice); the wait goes on and its
    // end sends the window again.
    // An acknowledgement inside the window moves it past that block, so blocks the peer
    // lost go out again from there (RFC 7440 section 4).
    const bool late = EndedASend(block);
    if (!window_.Acknowledge(block))
        return RepeatedAck(block);
    // A repeat of this acknowledgement is told apart from a gap report only where the
    // peer had a whole send and nothing of it went out twice (see RepeatedAck).
    repeatAnswerable_ = late && !resentSinceAck_;
    resentSinceAck_ = false;
    if (!endReached_ || !window_.Empty()) {
        // The last block of an earlier send acknowledged: the peer had that send whole
        // and is late only because later blocks are still on their way; sending them
        // again would cross them and put every later acknowledgement out of step with
        // the windows. Only blocks never sent go out. Any other block inside the window
        // reports a gap: everything after it goes out again, once for this report.
        sendFrom_ = late ? window_.Sent() : 0;
        return TReply::Advance;
    }
    delivered_ = true;
    ReportOutcome(TTransferOutcome::Succeeded);
    return TReply::Complete;
}

TTFTPServerThread::TReply TTFTPServerThread::RepeatedAck(std::uint16_t block)
{
    // The acknowledgement that opened the window, again. A peer that had the whole send
    // before it, none of whose blocks came twice, has no duplicate to answer: it repeats
    // the block before the window because the window's first block is missing (RFC 7440
    // section 4: it acknowledges the last block it has in order), or because its own
    // wait ended with nothing of the window. The window goes out again at once, for the
    // first repeat only; the wait's end would send it all the same, seconds later.
    const bool opensWindow = block == static_cast<std::uint16_t>(window_.FirstBlock() - 1);
    if (windowSize_ <= 1 || !opensWindow || !repeatAnswerable_ || window_.Sent() == 0)
        return TReply::Ignore;
    repeatAnswerable_ = false;
    sendFrom_ = 0;
    return TReply::Resend;
}

TTFTPServerThread::TReply TTFTPServerThread::HandleData(std::uint16_t block)
{
    if (block != static_cast<std::uint16_t>(blockCounter_ + 1)) {
        // A repeated block means our acknowledgement was lost, a later one that blocks
        // went missing: the last block received in order is acknowledged again at once.
        // A sender going back resends up to a window of blocks, which earns one answer.
        const bool answer = strayBlocks_ == 0;
        strayBlocks_ = (strayBlocks_ + 1) % windowSize_;
        return answer ? TReply::Resend : TReply::Ignore;
    }
    stream_->Write(reply_.data() + kHeaderSize, replyLength_ - kHeaderSize);
    packetLength_ = 0;
    strayBlocks_ = 0;
    ++blockCounter_;
    if (replyLength_ < reply_.size()) {
        // The final block: the upload is stored before it is acknowledged, so the peer
        // is never told "done" for bytes that are then dropped. A refusal raised here
        // answers this block with an ERROR instead of the ACK.
        stream_->Commit(mode_);
        endReached_ = true;
        ReportOutcome(TTransferOutcome::Succeeded);
        return TReply::Advance;
    }
    // RFC 7440: a whole window is acknowledged by its last block.
    return ++blocksSinceAck_ == windowSize_ ? TReply::Advance : TReply::Progress;
}

void TTFTPServerThread::AnswerFailure(const std::exception& failure)
{
    // RFC 1350: the peer's own ERROR ends the transfer and is not answered.
    if (dynamic_cast<const EAbort*>(&failure) != nullptr)
        return;
    try {
        if (dynamic_cast<const EStreamWriteError*>(&failure) != nullptr) {
            const std::int64_t position = stream_ ? stream_->Position() : 0;
            const std::string text = FormatText(
                "Unable to complete write request, progress halted at %lld bytes",
                static_cast<long long>(position));
            channel_->Send(MakeErrorPacket(3, text));
        } else {
            channel_->Send(MakeErrorPacket(ErrorCodeFor(failure), failure.what()));
        }
    } catch (const ENetException&) {
        // The peer cannot be told; the session ends all the same.
    } catch (...) {
        ReportUnexpectedFailure("a transfer's error answer");
    }
}

void TTFTPServerThread::NotifyComplete()
{
    auto call = std::make_shared<TSyncCall>();
    {
        std::lock_guard guard(completionLock_);
        if (stopRequested_)
            return;  // the application is closing: the report is dropped
        completion_ = call;
    }
    TSyncCall::Run(server_.MainThreadBridge(), [this] {
        const TPeerInfo peerInfo{client_.Host(), client_.Port()};
        server_.ReportTransferComplete(Succeeded(), peerInfo, std::move(stream_), writeOperation_);
    }, call);
    std::lock_guard guard(completionLock_);
    completion_.reset();
}

void TTFTPServerThread::ReportOutcome(TTransferOutcome outcome)
{
    if (outcomeReported_ || !stream_)
        return;
    outcomeReported_ = true;
    stream_->OutcomeKnown(outcome);
}

void TTFTPServerThread::RaiseUnexpected() const
{
    throw ETFTPIllegalOperation(
        FormatText("Unexpected operation from %s:%d", client_.Host().c_str(), client_.Port()));
}
