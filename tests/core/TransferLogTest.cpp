#include "core/TransferLog.h"

#include <gtest/gtest.h>

namespace {

const TPeerInfo Peer{"10.0.0.5", 4000};
const TPeerInfo OtherPort{"10.0.0.5", 4001};

class TransferLogTest : public ::testing::Test {
protected:
    std::string Status(std::size_t row) const { return log_.Rows().at(row).StatusText(); }

    TTransferLog log_;
};

}  // namespace

TEST_F(TransferLogTest, DownloadRowStartsThenShowsPercentOfTheStreamSize)
{
    log_.StartTransferInfo(Peer, "boot.bin", 100, false, 1024);
    TProgressCursor cursor;
    log_.ReportProgress(cursor, "/srv/boot.bin", Peer, 512, 1024, false);
    ASSERT_EQ(log_.Rows().size(), 1u);
    EXPECT_EQ(Status(0), "Starting Transfer...");
    EXPECT_EQ(log_.Rows()[0].TypeText(), "Download");
    EXPECT_EQ(log_.Rows()[0].Icon(), 7);
    EXPECT_EQ(log_.TransferInfo(Peer)->BytesDone, 0);  // the first report only makes the row

    log_.ReportProgress(cursor, "/srv/boot.bin", Peer, 430, 1024, false);
    EXPECT_EQ(Status(0), "41% Complete...");
    log_.ReportProgress(cursor, "/srv/boot.bin", Peer, 1024, 1024, false);
    EXPECT_EQ(Status(0), "100% Complete...");
    EXPECT_EQ(log_.TransferInfo(Peer)->BytesDone, 1024);
}

TEST_F(TransferLogTest, UploadShowsReceivedBytesWithoutAnnouncedSize)
{
    log_.StartTransferInfo(Peer, "cfg.txt", 100, true, 0);
    TProgressCursor cursor;
    log_.ReportProgress(cursor, "/in/cfg.txt", Peer, 512, 512, true);
    log_.ReportProgress(cursor, "/in/cfg.txt", Peer, 1536, 1536, true);
    EXPECT_EQ(Status(0), "1.50KB Received...");
    EXPECT_EQ(log_.Rows()[0].Icon(), 6);

    log_.StartTransferInfo(OtherPort, "big.bin", 100, true, 1000);
    TProgressCursor announced;
    log_.ReportProgress(announced, "/in/big.bin", OtherPort, 512, 512, true);
    log_.ReportProgress(announced, "/in/big.bin", OtherPort, 1200, 1200, true);
    EXPECT_EQ(Status(1), "120% Complete...");  // more than announced
}

TEST_F(TransferLogTest, UploadWithoutRecordChangesNothing)
{
    TProgressCursor cursor;
    log_.ReportProgress(cursor, "/in/x", Peer, 512, 512, true);
    log_.ReportProgress(cursor, "/in/x", Peer, 1024, 1024, true);
    EXPECT_EQ(Status(0), "Starting Transfer...");
}

TEST_F(TransferLogTest, DownloadsFromOnePeerOnTwoPortsKeepTheirOwnRows)
{
    TProgressCursor first;
    TProgressCursor second;
    log_.ReportProgress(first, "/srv/a", Peer, 512, 2048, false);
    log_.ReportProgress(second, "/srv/a", OtherPort, 512, 2048, false);
    log_.ReportProgress(second, "/srv/a", OtherPort, 1024, 2048, false);
    ASSERT_EQ(log_.Rows().size(), 2u);
    EXPECT_EQ(Status(0), "Starting Transfer...");
    EXPECT_EQ(Status(1), "50% Complete...");

    log_.FinishTransfer(OtherPort, false, 5);
    EXPECT_EQ(Status(0), "Starting Transfer...");
    EXPECT_EQ(Status(1), "Finished");
}

// Two boards behind one address upload the same name; the later one finishes first. Each
// row and record follows its own transfer (address and port) to the end.
TEST_F(TransferLogTest, TwoTransfersOfOnePeerFinishingInTheOppositeOrderKeepTheirOwnRowsAndRecords)
{
    log_.StartTransferInfo(Peer, "cfg.txt", 100, true, 2048);
    log_.StartTransferInfo(OtherPort, "cfg.txt", 200, true, 1024);
    TProgressCursor first;
    TProgressCursor second;
    log_.ReportProgress(first, "/in/cfg.txt", Peer, 0, 0, true);
    log_.ReportProgress(second, "/in/cfg.txt", OtherPort, 0, 0, true);
    log_.ReportProgress(first, "/in/cfg.txt", Peer, 512, 512, true);
    log_.ReportProgress(second, "/in/cfg.txt", OtherPort, 1024, 1024, true);
    ASSERT_EQ(log_.Rows().size(), 2u);
    EXPECT_EQ(log_.Rows()[0].Port, Peer.Port);
    EXPECT_EQ(Status(0), "25% Complete...");
    EXPECT_EQ(Status(1), "100% Complete...");

    log_.FinishTransfer(OtherPort, false, 300);
    log_.ReportProgress(first, "/in/cfg.txt", Peer, 1536, 1536, true);
    EXPECT_EQ(Status(0), "75% Complete...");
    EXPECT_EQ(Status(1), "Finished");
    EXPECT_EQ(log_.TransferInfoForRow(log_.Rows()[0])->FinishTick, 0u);
    EXPECT_EQ(log_.TransferInfoForRow(log_.Rows()[0])->BytesDone, 1536);
    EXPECT_EQ(log_.TransferInfoForRow(log_.Rows()[1])->FinishTick, 300u);
    EXPECT_EQ(log_.TransferInfoForRow(log_.Rows()[1])->BytesDone, 1024);

    log_.FinishTransfer(Peer, false, 400);
    EXPECT_EQ(Status(0), "Finished");
    EXPECT_EQ(log_.TransferInfoForRow(log_.Rows()[0])->FinishTick, 400u);
}

TEST_F(TransferLogTest, FinishingRemovesTheRowAndKeepsTheRecordOnlyForAnOpenWindow)
{
    for (const bool windowOpen : {false, true}) {
        TTransferLog log;
        log.SetTransferWindowOpen(windowOpen);
        log.StartTransferInfo(Peer, "a", 1, false, 10);
        TProgressCursor cursor;
        log.ReportProgress(cursor, "/srv/a", Peer, 10, 10, false);
        log.FinishTransfer(Peer, true, 77);
        EXPECT_TRUE(log.Rows().empty());
        EXPECT_EQ(log.TransferInfo(Peer).has_value(), windowOpen);
        if (windowOpen) {
            EXPECT_EQ(log.TransferInfo(Peer)->FinishTick, 77u);
        }
    }
}

TEST_F(TransferLogTest, ClosingTheWindowDropsFinishedRecordsWithoutRows)
{
    log_.SetTransferWindowOpen(true);
    for (const TPeerInfo& peer : {Peer, OtherPort}) {
        log_.StartTransferInfo(peer, "a", 1, false, 10);
        TProgressCursor cursor;
        log_.ReportProgress(cursor, "/srv/a", peer, 10, 10, false);
        log_.FinishTransfer(peer, true, 5);
    }
    const TPeerInfo running{"10.0.0.9", 1};
    log_.StartTransferInfo(running, "b", 1, false, 10);
    EXPECT_EQ(log_.TransferInfoCount(), 3u);
    log_.SetTransferWindowOpen(false);
    EXPECT_EQ(log_.TransferInfoCount(), 1u);
    EXPECT_TRUE(log_.TransferInfo(running).has_value());
}

TEST_F(TransferLogTest, KeptRowsFinishTheirRecordAndRowlessTransfersDropIt)
{
    log_.StartTransferInfo(Peer, "a", 1, false, 10);
    TProgressCursor cursor;
    log_.ReportProgress(cursor, "/srv/a", Peer, 10, 10, false);
    log_.FinishTransfer(Peer, false, 9);
    EXPECT_EQ(Status(0), "Finished");
    const auto record = log_.TransferInfoForRow(log_.Rows()[0]);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->FinishTick, 9u);

    log_.StartTransferInfo(OtherPort, "b", 1, false, 10);
    log_.FinishTransfer(OtherPort, false, 9);  // no row was ever made
    EXPECT_FALSE(log_.TransferInfo(OtherPort).has_value());
}

TEST_F(TransferLogTest, StartingAgainReplacesThePeersRecord)
{
    log_.StartTransferInfo(Peer, std::string(150, 'n'), 1, false, 10);
    EXPECT_EQ(log_.TransferInfo(Peer)->FileName.size(), 100u);
    log_.StartTransferInfo(Peer, "second", 2, true, 20);
    EXPECT_EQ(log_.TransferInfoCount(), 1u);
    EXPECT_EQ(log_.TransferInfo(Peer)->FileName, "second");
    EXPECT_EQ(log_.FindTransferInfo(Peer), 0u);
    log_.DropTransferInfo(Peer);
    EXPECT_FALSE(log_.FindTransferInfo(Peer).has_value());
}
