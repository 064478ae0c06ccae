#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/DatagramChannel.h"
#include "tests/support/FakeClock.h"

/// A session's peer played on the thread that serves the session, without sockets or
/// real time.
/// Whenever the session waits after sending, the peer is asked for its answer to what was
/// sent since it last answered; an empty answer is silence, and the session's waits then
/// pass on the fake clock until it sends again. Everything exchanged is kept as a
/// transcript of short words (see Describe), "<" before those the peer sent and "~N"
/// where N ms passed in silence.
class TFakeChannel final : public IDatagramChannel {
public:
    using TPeer = std::function<std::vector<std::string>(const std::vector<std::string>& sent)>;

    TFakeChannel(TFakeSteadyClock& clock, TPeer peer) : clock_(clock), peer_(std::move(peer)) {}

    /// Writes `word` into the transcript where the exchange stands, for what happens
    /// beside it (an outcome decided, say).
    void Note(std::string word) { Record(std::move(word)); }
    /// The transcript joined by ", ", runs of DATA sent in order written "D5-8".
    std::string Summary() const;

    void ConnectToPeer() override {}
    void Send(std::string_view datagram) override;
    void SendEach(std::span<const std::string_view> datagrams) override;
    std::optional<std::size_t> ReceiveFromPeer(std::span<char> buffer, std::chrono::milliseconds wait) override;
    /// From then on a wait ends at once, with nothing and no time passed.
    void Interrupt() override { interrupted_ = true; }

private:
    void Record(std::string word);

    TFakeSteadyClock& clock_;
    TPeer peer_;
    std::vector<std::string> unanswered_;  // sent since the peer last answered
    std::deque<std::string> inbox_;
    std::vector<std::string> transcript_;
    std::chrono::milliseconds recorded_{0};  // the clock at the last word of the transcript
    bool interrupted_ = false;
};

/// A datagram in a word: "D3" (DATA block 3), "A2" (ACK), "E4 Timeout" (ERROR code and
/// text), "O blksize=1024" (OACK with its options).
std::string Describe(std::string_view datagram);

/// A peer that answers each of the session's sends with the next of `turns`, then keeps
/// silent.
TFakeChannel::TPeer ScriptedPeer(std::vector<std::vector<std::string>> turns);
