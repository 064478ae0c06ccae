#include <gtest/gtest.h>

#include "engine/TFTPServerThread.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/FakeChannel.h"

// A session's state machine served on the test's thread, its peer and its clock played
// by TFakeChannel and TFakeSteadyClock: waits pass at once, whatever their length. The
// outcome the session tells its stream is written into the exchange where it is decided.

namespace {

using TTurns = std::vector<std::vector<std::string>>;

/// A download's file of `blocks` whole blocks of 512 bytes and `tail` bytes more.
std::string FileOf(std::size_t blocks, std::size_t tail)
{
    return std::string(blocks * 512 + tail, 'f');
}

/// DATA block `block` of an upload: 512 bytes of the block's own digit.
std::string Full(std::uint16_t block)
{
    return Data(block, std::string(512, static_cast<char>('0' + block % 10)));
}

/// What an upload of those blocks, then `tail`, stores.
std::string Stored(std::string_view blocks, std::string_view tail)
{
    std::string stored;
    for (const char block : blocks)
        stored += std::string(512, block);
    return stored + std::string(tail);
}

struct TRequest {
    bool Upload = false;
    std::string Content{};
    std::int32_t BlockSize = 0;
    std::int32_t Timeout = 0;
    std::int32_t Window = 0;
    bool TSize = false;
    std::int64_t FailAfter = -1;  // an upload's disk fills up after this many bytes
};

/// A string stream that notes the outcome it is told in the channel's transcript.
class TNotingStream final : public TStringStream {
public:
    TNotingStream(const TRequest& request, std::shared_ptr<std::string> sink, TFakeChannel& channel)
        : TStringStream(request.Content, request.FailAfter, std::move(sink)), channel_(channel) {}
    void OutcomeKnown(TTransferOutcome outcome) noexcept override
    {
        channel_.Note(outcome == TTransferOutcome::Succeeded ? "succeeded"
                      : outcome == TTransferOutcome::Failed  ? "failed"
                                                             : "size answered");
    }

private:
    TFakeChannel& channel_;
};

}  // namespace

class SessionTest : public ::testing::Test {
protected:
    /// Serves `request` to `peer` on this thread until the session ends; returns the
    /// channel's summary of the exchange.
    std::string Serve(const TRequest& request, TFakeChannel::TPeer peer)
    {
        TFakeChannel channel(clock_, std::move(peer));
        auto stream = std::make_unique<TNotingStream>(request, uploaded_, channel);
        const TPeerInfo peerInfo{"127.0.0.1", 7};
        const auto size = static_cast<std::int64_t>(request.Content.size());
        std::unique_ptr<TTFTPServerThread> session;
        if (request.Upload)
            session = std::make_unique<TTFTPServerReceiveFileThread>(server_, tmOctet, peerInfo, std::move(stream),
                                                                     false, request.BlockSize, std::int64_t{-1},
                                                                     request.TSize, request.Timeout, request.Window);
        else
            session = std::make_unique<TTFTPServerSendFileThread>(server_, tmOctet, peerInfo, std::move(stream), false,
                                                                  request.BlockSize, size, request.TSize,
                                                                  request.Timeout, request.Window);
        session->UseChannel(channel, clock_);
        session->Serve();
        return channel.Summary();
    }

    TTrivialFTPServer server_;
    TFakeSteadyClock clock_;
    std::shared_ptr<std::string> uploaded_ = std::make_shared<std::string>();
};

struct TSessionCase {
    const char* Name = "";
    TRequest Request{};
    TTurns Turns{};
    std::string Exchange{};
    std::optional<std::string> Uploaded{};
};

void PrintTo(const TSessionCase& session, std::ostream* out)
{
    *out << session.Name;
}

class SessionCaseTest : public SessionTest, public ::testing::WithParamInterface<TSessionCase> {};

TEST_P(SessionCaseTest, ExchangesAndEndsAsTheProtocolSays)
{
    const TSessionCase& session = GetParam();
    EXPECT_EQ(Serve(session.Request, ScriptedPeer(session.Turns)), session.Exchange);
    if (session.Uploaded) {
        EXPECT_EQ(*uploaded_, *session.Uploaded);
    }
}

INSTANTIATE_TEST_SUITE_P(Session, SessionCaseTest, ::testing::Values(
    TSessionCase{"NegotiatedBlockSizeStartsWithTheOack", {.Content = FileOf(2, 476), .BlockSize = 1024},
                 {{Ack(0)}, {Ack(1)}, {Ack(2)}}, "O blksize=1024, <A0, D1, <A1, succeeded, D2, <A2"},
    TSessionCase{"SilentPeerGetsThreeSendsThenTimeout", {.Content = FileOf(1, 88), .Timeout = 1}, {},
                 "O timeout=1, ~1000, O timeout=1, ~1000, O timeout=1, ~1000, E4 Timeout, failed"},
    // A repeated ACK never sends again at once (RFC 1123 4.2.3.1), nor does a stale ACK
    // after the final block end the transfer: the wait's end sends the block again. The
    // download succeeds when the final block goes out after all before it were acknowledged.
    TSessionCase{"StaleAcksWaitForTheWaitsEnd", {.Content = FileOf(2, 10), .Timeout = 1},
                 {{Ack(0)}, {Ack(1)}, {Ack(1)}, {Ack(2)}, {Ack(2)}, {Ack(3)}},
                 "O timeout=1, <A0, D1, <A1, D2, <A1, ~1000, D2, <A2, succeeded, D3, <A2, ~1000, D3, <A3"},
    // The final block's own acknowledgement may be lost: three sends of it end the session.
    TSessionCase{"UnansweredFinalBlockStillSucceeds", {.Content = "tiny", .Timeout = 1}, {{Ack(0)}},
                 "O timeout=1, <A0, succeeded, D1, ~1000, D1, ~1000, D1"},
    TSessionCase{"SizeQueryEndsWithError8AfterTheOack", {.Content = "four", .TSize = true}, {{Error(8, "")}},
                 "O tsize=4, <E8, size answered"},
    TSessionCase{"PeerErrorEndsTheSessionUnanswered", {.Content = FileOf(3, 464)}, {{Error(0, "disk full")}},
                 "D1, <E0 disk full, failed"},
    TSessionCase{"UploadStoresARepeatedBlockOnceAndAcknowledgesItAgain", {.Upload = true},
                 {{Full(1)}, {Full(2)}, {Full(2)}, {Data(3, "end")}, {Data(3, "end")}},
                 "A0, <D1, A1, <D2, A2, <D2, A2, <D3, succeeded, A3, <D3, A3", Stored("12", "end")},
    TSessionCase{"FullDiskAnswersWithThePositionReached", {.Upload = true, .BlockSize = 600, .FailAfter = 1000},
                 {{Data(1, std::string(600, 'd'))}, {Data(2, std::string(600, 'd'))}},
                 "O blksize=600, <D1, A1, <D2, E3 Unable to complete write request, progress halted at 600 bytes, "
                 "failed"},
    TSessionCase{"WrongPacketKindIsAnIllegalOperation", {.Upload = true}, {{Ack(0)}},
                 "A0, <A0, E4 Unexpected operation from 127.0.0.1:7, failed"},
    // Windows (RFC 7440).
    TSessionCase{"FinalBlockInTheFirstWindowIsNoSuccessUntilTheRestIsAcknowledged",
                 {.Content = FileOf(10, 100), .Timeout = 1, .Window = 16}, {{Ack(0)}},
                 "O timeout=1 windowsize=16, <A0, D1-11, ~1000, D1-11, ~1000, D1-11, ~1000, E4 Timeout, failed"},
    TSessionCase{"FinalBlockSentAloneAfterTheRestIsAcknowledgedSucceedsAtOnce", {.Content = FileOf(5, 100), .Window = 4},
                 {{Ack(0)}, {Ack(4)}, {Ack(5)}, {Ack(6)}},
                 "O windowsize=4, <A0, D1-4, <A4, D5-6, <A5, succeeded, D6, <A6"},
    TSessionCase{"LateGapAndRepeatedAcksStartNothingBeyondOneResend", {.Content = FileOf(12, 1), .Window = 4},
                 {{Ack(0)}, {Ack(4)}, {Ack(3), Ack(6)}, {Ack(6), Ack(5), Ack(10)}, {Ack(13)}},
                 "O windowsize=4, <A0, D1-4, <A4, D5-8, <A3, <A6, D7-10, <A6, <A5, <A10, D11-13, <A13, succeeded"},
    // The last block of an earlier send acknowledged: only blocks never sent go out.
    TSessionCase{"LateAcknowledgementOfAWholeEarlierSend", {.Content = FileOf(12, 1), .Window = 4},
                 {{Ack(0)}, {Ack(2)}, {Ack(4)}, {Ack(8)}, {Ack(12)}, {Ack(13)}},
                 "O windowsize=4, <A0, D1-4, <A2, D3-6, <A4, D7-8, <A8, D9-12, <A12, succeeded, D13, <A13"},
    // The first repeat of an acknowledgement that took a whole send reports the next
    // send's first block missing; later repeats, and any after a block went out twice,
    // start nothing.
    TSessionCase{"RepeatedAcksSendTheWindowAgainOnlyOnce", {.Content = FileOf(8, 1), .Window = 4},
                 {{Ack(0)}, {Ack(4)}, {Ack(4), Ack(4), Ack(0), Ack(8)}, {Ack(8), Ack(9)}},
                 "O windowsize=4, <A0, D1-4, <A4, D5-8, <A4, D5-8, <A4, <A0, <A8, succeeded, D9, <A8, <A9"},
    TSessionCase{"RepeatAfterAProbeStartsNothing", {.Content = FileOf(8, 1), .Window = 4},
                 {{Ack(0)}, {}, {Ack(4), Ack(4)}, {Ack(8)}, {Ack(9)}},
                 "O windowsize=4, <A0, D1-4, ~200, D4, <A4, D5-8, <A4, <A8, succeeded, D9, <A9"},
    TSessionCase{"LostAckSendsTheWindowAgainAfterTheWait", {.Content = FileOf(6, 1), .Timeout = 1, .Window = 4},
                 {{Ack(0)}, {}, {Ack(4)}, {Ack(7)}},
                 "O timeout=1 windowsize=4, <A0, D1-4, ~1000, D1-4, <A4, D5-7, <A7, succeeded"},
    TSessionCase{"SilentPeerGetsThreeWindowsThenTimeout", {.Content = FileOf(6, 1), .Timeout = 1, .Window = 2},
                 {{Ack(0)}}, "O timeout=1 windowsize=2, <A0, D1-2, ~1000, D1-2, ~1000, D1-2, ~1000, E4 Timeout, failed"},
    // A silent peer lost the window's last blocks or its acknowledgement: the last block
    // goes out alone after a few round trips, the whole window only at the wait's end.
    TSessionCase{"LostLastBlockGoesOutAloneBeforeTheWaitEnds", {.Content = FileOf(6, 1), .Window = 4},
                 {{Ack(0)}, {}, {Ack(4)}, {Ack(7)}},
                 "O windowsize=4, <A0, D1-4, ~200, D4, <A4, D5-7, <A7, succeeded"},
    TSessionCase{"ProbeAnsweredWithAGapSendsTheWindowFromThere", {.Content = FileOf(6, 1), .Window = 4},
                 {{Ack(0)}, {}, {Ack(2)}, {Ack(6)}, {Ack(7)}},
                 "O windowsize=4, <A0, D1-4, ~200, D4, <A2, D3-6, <A6, succeeded, D7, <A7"},
    TSessionCase{"UnansweredProbeLeavesTheResendsAndTheirCountAsTheyWere", {.Content = FileOf(6, 1), .Window = 4},
                 {{Ack(0)}},
                 "O windowsize=4, <A0, D1-4, ~200, D4, ~1300, D1-4, ~200, D4, ~1300, D1-4, ~200, D4, ~1300, "
                 "E4 Timeout, failed"},
    TSessionCase{"WindowSizeOneIsLockStep", {.Content = FileOf(2, 10), .Timeout = 1, .Window = 1},
                 {{Ack(0)}, {Ack(1)}, {Ack(1)}, {Ack(2)}, {Ack(3)}},
                 "O timeout=1 windowsize=1, <A0, D1, <A1, D2, <A1, ~1000, D2, <A2, succeeded, D3, <A3"},
    // A block out of order reports a gap, answered once for the window sent again.
    TSessionCase{"UploadAcknowledgesWindowsAndGoesBackAfterAGap", {.Upload = true, .Window = 4},
                 {{Full(1), Full(2), Full(4)}, {Full(5), Full(3), Full(4), Full(5), Full(6)},
                  {Full(3), Full(4), Full(5), Full(6)}, {Data(7, "end")}},
                 "O windowsize=4, <D1, <D2, <D4, A2, <D5, <D3, <D4, <D5, <D6, A6, <D3, A6, <D4, <D5, <D6, <D7, "
                 "succeeded, A7",
                 Stored("123456", "end")},
    TSessionCase{"UploadWindowThatStallsIsAcknowledgedUpToItsLastBlockInOrder",
                 {.Upload = true, .Timeout = 1, .Window = 8}, {{Full(1), Full(2)}, {Data(3, "")}},
                 "O timeout=1 windowsize=8, <D1, <D2, ~1000, A2, <D3, succeeded, A3", Stored("12", "")}),
    [](const ::testing::TestParamInfo<TSessionCase>& row) { return std::string(row.param.Name); });

TEST_F(SessionTest, ProbeWaitsFourRoundTripsOfASlowPeer)
{
    // The peer answers each send 100 ms later, but for the second window, whose answer is
    // lost: four round trips pass before its last block goes out alone.
    int turn = 0;
    const auto slowPeer = [this, &turn](const std::vector<std::string>& sent) -> std::vector<std::string> {
        if (++turn == 3)
            return {};
        clock_.Advance(std::chrono::milliseconds(100));
        return {Ack(Opcode(sent.back()) == 6 ? 0 : Block(sent.back()))};
    };
    EXPECT_EQ(Serve({.Content = FileOf(8, 1), .Window = 4}, slowPeer),
              "O windowsize=4, ~100, <A0, D1-4, ~100, <A4, D5-8, ~400, D8, ~100, <A8, succeeded, D9, ~100, <A9");
}

/// A peer that keeps every new block and acknowledges the last block of each send.
class TAcknowledgingPeer {
public:
    std::vector<std::string> operator()(const std::vector<std::string>& sent)
    {
        if (Opcode(sent.back()) == 6)
            return {Ack(0)};
        for (const std::string& datagram : sent)
            if (Block(datagram) == static_cast<std::uint16_t>(Blocks.size() + 1)) {
                Blocks.push_back(Block(datagram));
                Received += datagram.substr(4);
            }
        return {Ack(Block(sent.back()))};
    }

    std::vector<std::uint16_t> Blocks;
    std::string Received;
};

class SessionWrapTest : public SessionTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(SessionWrapTest, BlockNumbersWrapPast65535)
{
    constexpr std::size_t kBlocks = 65540;
    const std::string content = WrappingContent(kBlocks);
    TAcknowledgingPeer peer;
    EXPECT_NE(Serve({.Content = content, .Window = GetParam()}, std::ref(peer)).find("succeeded"), std::string::npos);
    EXPECT_TRUE(SameBytes(peer.Received, content));
    ASSERT_EQ(peer.Blocks.size(), kBlocks + 1);
    EXPECT_EQ(peer.Blocks[65534], 65535);
    EXPECT_EQ(peer.Blocks[65535], 0);
    EXPECT_EQ(peer.Blocks[65536], 1);
}

INSTANTIATE_TEST_SUITE_P(LockStepAndWindowed, SessionWrapTest, ::testing::Values(0, 16));
