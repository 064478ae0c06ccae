// The request handlers on their own, with in-memory lists and logs and no socket: every
// grant yields a transfer that its completion finishes, and whatever path a request takes,
// the connection counts come back to 0.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/FilesList.h"
#include "core/RequestHandlers.h"
#include "core/ServerState.h"
#include "core/TransferLog.h"
#include "engine/NetException.h"
#include "engine/TrivialFTPServer.h"
#include "log/ActivityLog.h"
#include "security/SecurityRules.h"
#include "tests/support/TempDir.h"

namespace {

const TPeerInfo kPeer{"10.0.0.7", 2001};

struct TDecision {
    bool Granted = false;
    std::unique_ptr<TStream> Stream;
};

}  // namespace

class RequestHandlersTest : public ::testing::Test {
protected:
    RequestHandlersTest()
    {
        config_->MaxDLConn = 1;
        config_->MaxULConn = 1;
        config_->Accept = true;
        config_->DestDir = (dir_.Path() / "in").string();
        filesList_.AddFiles({dir_.WriteFile("fw.bin", std::string(600, 'f')).string()});
    }

    TDecision Read(const std::string& name)
    {
        std::int64_t size = -1;
        handlers_.TFTPSizeRequest(engine_, name, kPeer, size, false);
        return Decide(name, false);
    }

    TDecision Write(const std::string& name)
    {
        std::int64_t size = -1;
        handlers_.TFTPSizeRequest(engine_, name, kPeer, size, true);
        return Decide(name, true);
    }

    TDecision Decide(std::string name, bool write)
    {
        TDecision decision;
        bool grant = true;
        bool freeStream = true;
        const auto handler = write ? &TRequestHandlers::TFTPWriteFile : &TRequestHandlers::TFTPReadFile;
        (handlers_.*handler)(engine_, name, kPeer, grant, decision.Stream, freeStream);
        decision.Granted = grant;
        EXPECT_FALSE(freeStream);  // the stream comes back with its transfer
        return decision;
    }

    void Complete(TDecision& decision, TTransferOutcome outcome, bool write)
    {
        decision.Stream->OutcomeKnown(outcome);
        handlers_.TFTPTransferComplete(engine_, outcome == TTransferOutcome::Succeeded, kPeer,
                                       std::move(decision.Stream), write);
    }

    std::string LastStatus() const { return activityLog_.Entries().back().Status; }

    TTempDir dir_;
    std::shared_ptr<TConfig> config_ = std::make_shared<TConfig>();
    TFilesList filesList_;
    TActivityLog activityLog_;
    TTransferLog transferLog_;
    TServerState serverState_;
    TSecurityRules securityRules_;
    TRequestHandlers handlers_{filesList_, activityLog_, transferLog_, serverState_, securityRules_,
                               [this] { return config_; }};
    TTrivialFTPServer engine_;
};

TEST_F(RequestHandlersTest, EachOutcomeFinishesItsOwnEntryAndGivesThePlaceBack)
{
    const struct {
        TTransferOutcome Outcome;
        const char* Status;
        int AccessCount;
    } cases[] = {
        {TTransferOutcome::Succeeded, "Transfer: Send file complete.", 1},
        {TTransferOutcome::Failed, "Error transfering!", 0},
        {TTransferOutcome::SizeQueryAnswered, "Transfer: Size query answered.", 0},
    };
    for (const auto& c : cases) {
        filesList_.ClearAccessCount({filesList_.FindForRead("fw.bin")->Id});
        TDecision first = Read("fw.bin");
        ASSERT_TRUE(first.Granted);
        EXPECT_EQ(serverState_.DownloadCount(), 1);
        EXPECT_FALSE(Read("fw.bin").Granted);  // the limit holds while it runs
        EXPECT_EQ(LastStatus(), "Send error: Max connections reached!");

        const auto entry = activityLog_.Entries().size() - 2;  // the grant, then the refusal
        first.Stream->OutcomeKnown(c.Outcome);
        EXPECT_EQ(serverState_.DownloadCount(), 0);  // back before the report is handled
        handlers_.TFTPTransferComplete(engine_, c.Outcome == TTransferOutcome::Succeeded, kPeer,
                                       std::move(first.Stream), false);
        EXPECT_EQ(activityLog_.Entries()[entry].Status, c.Status);
        EXPECT_EQ(filesList_.FindForRead("fw.bin")->AccessCount, c.AccessCount);
        EXPECT_EQ(transferLog_.TransferInfoCount(), 0u);
    }
}

TEST_F(RequestHandlersTest, CountsComeBackToZeroOnEveryPath)
{
    EXPECT_THROW(Read("nothing.bin"), ETFTPFileNotFound);
    EXPECT_FALSE(Write("../escape").Granted);
    config_->Accept = false;
    EXPECT_FALSE(Write("cfg.txt").Granted);
    config_->Accept = true;

    TDecision upload = Write("cfg.txt");
    ASSERT_TRUE(upload.Granted);
    EXPECT_EQ(serverState_.UploadCount(), 1);
    Complete(upload, TTransferOutcome::Failed, true);

    // A session that never started reports its stream without any outcome.
    TDecision download = Read("fw.bin");
    ASSERT_TRUE(download.Granted);
    handlers_.TFTPTransferComplete(engine_, false, kPeer, std::move(download.Stream), false);
    EXPECT_EQ(LastStatus(), "Error transfering!");

    // A stream dropped without any report (the program closing) still frees its place.
    Read("fw.bin").Stream.reset();
    EXPECT_EQ(serverState_.DownloadCount(), 0);
    EXPECT_EQ(serverState_.UploadCount(), 0);
}
