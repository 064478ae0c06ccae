#include <gtest/gtest.h>

#include "engine/TFTPServerThread.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/FakeChannel.h"

// A session's state machine on the test's thread, its peer and its clock played by
// TFakeChannel and TFakeSteadyClock: waits pass at once, whatever their length.

namespace {

using TTurns = std::vector<std::vector<std::string>>;
using TOutcomes = std::vector<TTransferOutcome>;

/// The content of a file of `blocks` whole blocks of 512 bytes and `tail` bytes more.
std::string FileOf(std::size_t blocks, std::size_t tail)
{
    return std::string(blocks * 512 + tail, 'f');
}

/// DATA block `block` of an upload, 512 bytes of the block's own digit.
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
    std::string Content{};  // a download's file
    std::int32_t BlockSize = 0;
    std::int32_t Timeout = 0;
    std::int32_t Window = 0;
    bool TSize = false;
    std::int64_t FailAfter = -1;  // an upload's disk fills up after this many bytes
};

}  // namespace

class SessionTest : public ::testing::Test {
protected:
    /// Serves `request` to `peer` on this thread until the session ends; returns the
    /// channel's summary of the exchange.
    std::string Serve(const TRequest& request, TFakeChannel::TPeer peer)
    {
        TFakeChannel channel(clock_, std::move(peer));
        auto stream = std::make_unique<TStringStream>(request.Content, request.FailAfter, uploaded_);
        stream->TellOutcomesTo(outcomes_);
        const auto size = static_cast<std::int64_t>(request.Content.size());
        const TPeerInfo peerInfo{"127.0.0.1", 7};
        std::unique_ptr<TTFTPServerThread> session;
        if (request.Upload)
            session = std::make_unique<TTFTPServerReceiveFileThread>(
                server_, tmOctet, peerInfo, std::move(stream), false, request.BlockSize, std::int64_t{-1},
                request.TSize, request.Timeout, request.Window);
        else
            session = std::make_unique<TTFTPServerSendFileThread>(
                server_, tmOctet, peerInfo, std::move(stream), false, request.BlockSize, size,
                request.TSize, request.Timeout, request.Window);
        session->UseChannel(channel, clock_);
        session->Serve();
        return channel.Summary();
    }

    TTrivialFTPServer server_;
    TFakeSteadyClock clock_;
    std::shared_ptr<TOutcomeLog> outcomes_ = std::make_shared<TOutcomeLog>();
    std::shared_ptr<std::string> uploaded_ = std::make_shared<std::string>();
};

struct TSessionCase {
    const char* Name = "";
    TRequest Request{};
    TTurns Turns{};
    std::string Exchange{};
    TOutcomes Outcomes{};
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
    EXPECT_EQ(outcomes_->Told(), session.Outcomes);
    if (session.Uploaded) {
        EXPECT_EQ(*uploaded_, *session.Uploaded);
    }
}

constexpr auto kSucceeded = TTransferOutcome::Succeeded;
constexpr auto kFailed = TTransferOutcome::Failed;

INSTANTIATE_TEST_SUITE_P(Session, SessionCaseTest, ::testing::Values(
    TSessionCase{"SilentPeerGetsThreeSendsThenTimeout", {.Content = FileOf(1, 88), .Timeout = 1}, {},
                 "O timeout=1, ~1000, O timeout=1, ~1000, O timeout=1, ~1000, E4 Timeout", {kFailed}},
    // A repeated ACK never sends again at once (RFC 1123 4.2.3.1), nor does a stale ACK
    // after the final block end the transfer: the wait's end sends the block again.
    TSessionCase{"StaleAcksWaitForTheWaitsEnd", {.Content = FileOf(2, 10), .Timeout = 1},
                 {{Ack(0)}, {Ack(1)}, {Ack(1)}, {Ack(2)}, {Ack(2)}, {Ack(3)}},
                 "O timeout=1, <A0, D1, <A1, D2, <A1, ~1000, D2, <A2, D3, <A2, ~1000, D3, <A3", {kSucceeded}},
    // Every block before the final one acknowledged and the final one sent three times:
    // the peer may well hold the whole file.
    TSessionCase{"UnansweredFinalBlockStillSucceeds", {.Content = "tiny", .Timeout = 1}, {{Ack(0)}},
                 "O timeout=1, <A0, D1, ~1000, D1, ~1000, D1", {kSucceeded}},
    TSessionCase{"SizeQueryEndsWithError8AfterTheOack", {.Content = "four", .TSize = true}, {{Error(8, "")}},
                 "O tsize=4, <E8", {TTransferOutcome::SizeQueryAnswered}},
    TSessionCase{"PeerErrorEndsTheSessionUnanswered", {.Content = FileOf(3, 464)}, {{Error(0, "disk full")}},
                 "D1, <E0 disk full", {kFailed}},
    TSessionCase{"UploadStoresARepeatedBlockOnceAndAcknowledgesItAgain", {.Upload = true},
                 {{Full(1)}, {Full(2)}, {Full(2)}, {Data(3, "end")}, {Data(3, "end")}},
                 "A0, <D1, A1, <D2, A2, <D2, A2, <D3, A3, <D3, A3", {kSucceeded},
                 Stored("12", "end")},
    TSessionCase{"FullDiskAnswersWithThePositionReached", {.Upload = true, .BlockSize = 600, .FailAfter = 1000},
                 {{Data(1, std::string(600, 'd'))}, {Data(2, std::string(600, 'd'))}},
                 "O blksize=600, <D1, A1, <D2, E3 Unable to complete write request, progress halted at 600 bytes",
                 {kFailed}},
    TSessionCase{"WrongPacketKindIsAnIllegalOperation", {.Upload = true}, {{Ack(0)}},
                 "A0, <A0, E4 Unexpected operation from 127.0.0.1:7", {kFailed}},
    // Windows (RFC 7440).
    TSessionCase{"FinalBlockInTheFirstWindowIsNoSuccessUntilTheRestIsAcknowledged",
                 {.Content = FileOf(10, 100), .Timeout = 1, .Window = 16}, {{Ack(0)}},
                 "O timeout=1 windowsize=16, <A0, D1-11, ~1000, D1-11, ~1000, D1-11, ~1000, E4 Timeout", {kFailed}},
    TSessionCase{"LateGapAndRepeatedAcksStartNothingBeyondOneResend", {.Content = FileOf(12, 1), .Window = 4},
                 {{Ack(0)}, {Ack(4)}, {Ack(3), Ack(6)}, {Ack(6), Ack(5), Ack(10)}, {Ack(13)}},
                 "O windowsize=4, <A0, D1-4, <A4, D5-8, <A3, <A6, D7-10, <A6, <A5, <A10, D11-13, <A13",
                 {kSucceeded}},
    // The last block of an earlier send acknowledged: only blocks never sent go out.
    TSessionCase{"LateAcknowledgementOfAWholeEarlierSend", {.Content = FileOf(12, 1), .Window = 4},
                 {{Ack(0)}, {Ack(2)}, {Ack(4)}, {Ack(8)}, {Ack(12)}, {Ack(13)}},
                 "O windowsize=4, <A0, D1-4, <A2, D3-6, <A4, D7-8, <A8, D9-12, <A12, D13, <A13", {kSucceeded}},
    TSessionCase{"FinalShortBlockInTheMiddleOfAWindow", {.Content = FileOf(5, 100), .Window = 4},
                 {{Ack(0)}, {Ack(4)}, {Ack(6)}}, "O windowsize=4, <A0, D1-4, <A4, D5-6, <A6", {kSucceeded}},
    TSessionCase{"DuplicateAcksDoNotSendTheWindowTwice", {.Content = FileOf(8, 1), .Window = 4},
                 {{Ack(0)}, {Ack(4)}, {Ack(4), Ack(4), Ack(0), Ack(8)}, {Ack(8), Ack(9)}},
                 "O windowsize=4, <A0, D1-4, <A4, D5-8, <A4, <A4, <A0, <A8, D9, <A8, <A9", {kSucceeded}},
    TSessionCase{"LostAckSendsTheWindowAgainAfterTheWait", {.Content = FileOf(6, 1), .Timeout = 1, .Window = 4},
                 {{Ack(0)}, {}, {Ack(4)}, {Ack(7)}},
                 "O timeout=1 windowsize=4, <A0, D1-4, ~1000, D1-4, <A4, D5-7, <A7", {kSucceeded}},
    TSessionCase{"SilentPeerGetsThreeWindowsThenTimeout", {.Content = FileOf(6, 1), .Timeout = 1, .Window = 2},
                 {{Ack(0)}},
                 "O timeout=1 windowsize=2, <A0, D1-2, ~1000, D1-2, ~1000, D1-2, ~1000, E4 Timeout", {kFailed}},
    TSessionCase{"WindowSizeOneIsLockStep", {.Content = FileOf(2, 10), .Timeout = 1, .Window = 1},
                 {{Ack(0)}, {Ack(1)}, {Ack(1)}, {Ack(2)}, {Ack(3)}},
                 "O timeout=1 windowsize=1, <A0, D1, <A1, D2, <A1, ~1000, D2, <A2, D3, <A3", {kSucceeded}},
    // A block out of order reports a gap, answered once for the window sent again.
    TSessionCase{"UploadAcknowledgesWindowsAndGoesBackAfterAGap", {.Upload = true, .Window = 4},
                 {{Full(1), Full(2), Full(4)}, {Full(5), Full(3), Full(4), Full(5), Full(6)},
                  {Full(3), Full(4), Full(5), Full(6)}, {Data(7, "end")}},
                 "O windowsize=4, <D1, <D2, <D4, A2, <D5, <D3, <D4, <D5, <D6, A6, <D3, A6, <D4, <D5, <D6, "
                 "<D7, A7",
                 {kSucceeded}, Stored("123456", "end")},
    TSessionCase{"UploadWindowThatStallsIsAcknowledgedUpToItsLastBlockInOrder",
                 {.Upload = true, .Timeout = 1, .Window = 8}, {{Full(1), Full(2)}, {Data(3, "")}},
                 "O timeout=1 windowsize=8, <D1, <D2, ~1000, A2, <D3, A3", {kSucceeded}, Stored("12", "")}),
    [](const ::testing::TestParamInfo<TSessionCase>& row) { return std::string(row.param.Name); });

TEST_F(SessionTest, FinalBlockSentAfterTheRestIsAcknowledgedSucceedsTheMomentItIsSent)
{
    TOutcomes whenFinalBlockWent;
    const auto script = ScriptedPeer({{Ack(0)}, {Ack(4)}, {Ack(5)}, {Ack(6)}});
    const std::string exchange = Serve({.Content = FileOf(5, 100), .Window = 4},
                                       [&](const std::vector<std::string>& sent) {
                                           if (Block(sent.back()) == 6 && sent.size() == 1)
                                               whenFinalBlockWent = outcomes_->Told();
                                           return script(sent);
                                       });
    EXPECT_EQ(exchange, "O windowsize=4, <A0, D1-4, <A4, D5-6, <A5, D6, <A6");
    EXPECT_EQ(whenFinalBlockWent, TOutcomes{kSucceeded});
    EXPECT_EQ(outcomes_->Told(), TOutcomes{kSucceeded});
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
    Serve({.Content = content, .Window = GetParam()}, std::ref(peer));
    EXPECT_TRUE(SameBytes(peer.Received, content));
    ASSERT_EQ(peer.Blocks.size(), kBlocks + 1);
    EXPECT_EQ(peer.Blocks[65534], 65535);
    EXPECT_EQ(peer.Blocks[65535], 0);
    EXPECT_EQ(peer.Blocks[65536], 1);
    EXPECT_EQ(outcomes_->Told(), TOutcomes{kSucceeded});
}

INSTANTIATE_TEST_SUITE_P(LockStepAndWindowed, SessionWrapTest, ::testing::Values(0, 16));
