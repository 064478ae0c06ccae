#include "core/TransferLog.h"

#include <gtest/gtest.h>

namespace {

const TPeerInfo kPeer{"10.0.0.5", 4000};
const TPeerInfo kOtherPort{"10.0.0.5", 4001};

class TransferLogTest : public ::testing::Test {
protected:
    std::string Status(std::size_t row) const { return log_.Rows().at(row).StatusText(); }

    TTransferLog log_;
};

}  // namespace

TEST_F(TransferLogTest, DownloadRowStartsThenShowsPercentOfTheStreamSize)
{
    log_.StartTransferInfo(kPeer, "boot.bin", 100, false, 1024);
    TProgressCursor cursor;
    log_.ReportProgress(cursor, "/srv/boot.bin", kPeer, 512, 1024, false);
    ASSERT_EQ(log_.Rows().size(), 1u);
    EXPECT_EQ(Status(0), "Starting Transfer...");
    EXPECT_EQ(log_.Rows()[0].TypeText(), "Download");
    EXPECT_EQ(log_.Rows()[0].Icon(), 7);
    EXPECT_EQ(log_.TransferInfo(kPeer)->BytesDone, 0);  // the first report only makes the row

    log_.ReportProgress(cursor, "/srv/boot.bin", kPeer, 430, 1024, false);
    EXPECT_EQ(Status(0), "41% Complete...");
    log_.ReportProgress(cursor, "/srv/boot.bin", kPeer, 1024, 1024, false);
    EXPECT_EQ(Status(0), "100% Complete...");
    EXPECT_EQ(log_.TransferInfo(kPeer)->BytesDone, 1024);
}

TEST_F(TransferLogTest, UploadShowsReceivedBytesWithoutAnnouncedSize)
{
    log_.StartTransferInfo(kPeer, "cfg.txt", 100, true, 0);
    TProgressCursor cursor;
    log_.ReportProgress(cursor, "/in/cfg.txt", kPeer, 512, 512, true);
    log_.ReportProgress(cursor, "/in/cfg.txt", kPeer, 1536, 1536, true);
    EXPECT_EQ(Status(0), "1.50KB Received...");
    EXPECT_EQ(log_.Rows()[0].Icon(), 6);

    log_.StartTransferInfo(kOtherPort, "big.bin", 100, true, 1000);
    TProgressCursor announced;
    log_.ReportProgress(announced, "/in/big.bin", kOtherPort, 512, 512, true);
    log_.ReportProgress(announced, "/in/big.bin", kOtherPort, 1200, 1200, true);
    EXPECT_EQ(Status(1), "120% Complete...");  // more than announced
}

TEST_F(TransferLogTest, UploadWithoutRecordChangesNothing)
{
    TProgressCursor cursor;
    log_.ReportProgress(cursor, "/in/x", kPeer, 512, 512, true);
    log_.ReportProgress(cursor, "/in/x", kPeer, 1024, 1024, true);
    EXPECT_EQ(Status(0), "Starting Transfer...");
}

TEST_F(TransferLogTest, DownloadsFromOnePeerOnTwoPortsKeepTheirOwnRows)
{
    TProgressCursor first;
    TProgressCursor second;
    log_.ReportProgress(first, "/srv/a", kPeer, 512, 2048, false);
    log_.ReportProgress(second, "/srv/a", kOtherPort, 512, 2048, false);
    log_.ReportProgress(second, "/srv/a", kOtherPort, 1024, 2048, false);
    ASSERT_EQ(log_.Rows().size(), 2u);
    EXPECT_EQ(Status(0), "Starting Transfer...");
    EXPECT_EQ(Status(1), "50% Complete...");

    log_.FinishTransfer(kOtherPort, false, 5);
    EXPECT_EQ(Status(0), "Starting Transfer...");
    EXPECT_EQ(Status(1), "Finished");
}

// Two boards behind one address upload the same name; the later one finishes first. Each
// row and record follows its own transfer (address and port) to the end.
TEST_F(TransferLogTest, TwoTransfersOfOnePeerFinishingInTheOppositeOrderKeepTheirOwnRowsAndRecords)
{
    log_.StartTransferInfo(kPeer, "cfg.txt", 100, true, 2048);
    log_.StartTransferInfo(kOtherPort, "cfg.txt", 200, true, 1024);
    TProgressCursor first;
    TProgressCursor second;
    log_.ReportProgress(first, "/in/cfg.txt", kPeer, 0, 0, true);
    log_.ReportProgress(second, "/in/cfg.txt", kOtherPort, 0, 0, true);
    log_.ReportProgress(first, "/in/cfg.txt", kPeer, 512, 512, true);
    log_.ReportProgress(second, "/in/cfg.txt", kOtherPort, 1024, 1024, true);
    ASSERT_EQ(log_.Rows().size(), 2u);
    EXPECT_EQ(log_.Rows()[0].Port, kPeer.Port);
    EXPECT_EQ(Status(0), "25% Complete...");
    EXPECT_EQ(Status(1), "100% Complete...");

    log_.FinishTransfer(kOtherPort, false, 300);
    log_.ReportProgress(first, "/in/cfg.txt", kPeer, 1536, 1536, true);
    EXPECT_EQ(Status(0), "75% Complete...");
    EXPECT_EQ(Status(1), "Finished");
    EXPECT_EQ(log_.TransferInfoForRow(log_.Rows()[0])->FinishTick, 0u);
    EXPECT_EQ(log_.TransferInfoForRow(log_.Rows()[0])->BytesDone, 1536);
    EXPECT_EQ(log_.TransferInfoForRow(log_.Rows()[1])->FinishTick, 300u);
    EXPECT_EQ(log_.TransferInfoForRow(log_.Rows()[1])->BytesDone, 1024);

    log_.FinishTransfer(kPeer, false, 400);
    EXPECT_EQ(Status(0), "Finished");
    EXPECT_EQ(log_.TransferInfoForRow(log_.Rows()[0])->FinishTick, 400u);
}

TEST_F(TransferLogTest, FinishingRemovesTheRowAndKeepsTheRecordOnlyForAnOpenWindow)
{
    for (const bool windowOpen : {false, true}) {
        TTransferLog log;
        log.SetTransferWindowOpen(windowOpen);
        log.StartTransferInfo(kPeer, "a", 1, false, 10);
        TProgressCursor cursor;
        log.ReportProgress(cursor, "/srv/a", kPeer, 10, 10, false);
        log.FinishTransfer(kPeer, true, 77);
        EXPECT_TRUE(log.Rows().empty());
        EXPECT_EQ(log.TransferInfo(kPeer).has_value(), windowOpen);
        if (windowOpen) {
            EXPECT_EQ(log.TransferInfo(kPeer)->FinishTick, 77u);
        }
    }
}

TEST_F(TransferLogTest, ClosingTheWindowDropsFinishedRecordsWithoutRows)
{
    log_.SetTransferWindowOpen(true);
    for (const TPeerInfo& peer : {kPeer, kOtherPort}) {
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
    log_.StartTransferInfo(kPeer, "a", 1, false, 10);
    TProgressCursor cursor;
    log_.ReportProgress(cursor, "/srv/a", kPeer, 10, 10, false);
    log_.FinishTransfer(kPeer, false, 9);
    EXPECT_EQ(Status(0), "Finished");
    const auto record = log_.TransferInfoForRow(log_.Rows()[0]);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->FinishTick, 9u);

    log_.StartTransferInfo(kOtherPort, "b", 1, false, 10);
    log_.FinishTransfer(kOtherPort, false, 9);  // no row was ever made
    EXPECT_FALSE(log_.TransferInfo(kOtherPort).has_value());
}

TEST_F(TransferLogTest, StartingAgainReplacesThePeersRecord)
{
    log_.StartTransferInfo(kPeer, std::string(150, 'n'), 1, false, 10);
    EXPECT_EQ(log_.TransferInfo(kPeer)->FileName.size(), 100u);
    log_.StartTransferInfo(kPeer, "second", 2, true, 20);
    EXPECT_EQ(log_.TransferInfoCount(), 1u);
    EXPECT_EQ(log_.TransferInfo(kPeer)->FileName, "second");
    EXPECT_EQ(log_.FindTransferInfo(kPeer), 0u);
    log_.DropTransferInfo(kPeer);
    EXPECT_FALSE(log_.FindTransferInfo(kPeer).has_value());
}
