#include "log/ActivityLog.h"

#include <algorithm>
#include <memory>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "log/Clock.h"
#include "tests/log/FakeClock.h"
#include "tests/log/RecordingActivityObserver.h"
#include "tests/support/TempDir.h"

namespace {

class ActivityLogTest : public testing::Test {
protected:
    std::shared_ptr<TFakeClock> clock_ = std::make_shared<TFakeClock>(LocalMoment(2026, 12, 8, 10));
    TActivityLog log_{clock_};

    TActivityEntry Sending(const std::string& ip)
    {
        return log_.AddActivityEntry(aiTransfer, "/srv/boot.bin", ip, kStatusSendingFile);
    }
    std::vector<std::string> Statuses() const
    {
        std::vector<std::string> statuses;
        for (const TActivityEntry& entry : log_.Entries())
            statuses.push_back(entry.Status);
        return statuses;
    }
};

// Appending, replacing, updating

TEST_F(ActivityLogTest, AppendStampsTheClockTimeAndKeepsTheFields)
{
    const TActivityEntry entry = log_.AddActivityEntry(aiError, "boot.bin", "10.0.0.5", "Send error: Unauthorised!");
    ASSERT_EQ(log_.Count(), 1u);
    const TActivityEntry stored = log_.Entries().front();
    EXPECT_EQ(stored.Id, entry.Id);
    EXPECT_EQ(stored.Icon, aiError);
    EXPECT_EQ(stored.DateTime, FormatLocalDateTime(clock_->Now()));
    EXPECT_EQ(stored.FileName, "boot.bin");
    EXPECT_EQ(stored.RemoteIP, "10.0.0.5");
    EXPECT_EQ(stored.Status, "Send error: Unauthorised!");
}

TEST_F(ActivityLogTest, EntriesKeepTheOrderTheyCameInWithGrowingIds)
{
    const auto first = log_.AddActivityEntry(aiError, "a", "1.1.1.1", "one");
    const auto second = log_.AddActivityEntry(aiError, "b", "1.1.1.1", "two");
    EXPECT_LT(first.Id, second.Id);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"one", "two"}));
}

TEST_F(ActivityLogTest, ReplaceLastOverwritesTheNewestEntryWithAFreshTime)
{
    log_.AddActivityEntry(aiError, "a", "1.1.1.1", "older");
    const auto last = Sending("10.0.0.5");
    clock_->Set(LocalMoment(2026, 12, 9, 11));
    const auto replaced = log_.ReplaceLastActivityEntry(aiError, "boot.bin", "10.0.0.5", "Send error: Unknown error!");
    EXPECT_EQ(replaced.Id, last.Id);
    const auto entries = log_.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Status, "older");
    EXPECT_EQ(entries[1].Icon, aiError);
    EXPECT_EQ(entries[1].FileName, "boot.bin");
    EXPECT_EQ(entries[1].Status, "Send error: Unknown error!");
    EXPECT_EQ(entries[1].DateTime, FormatLocalDateTime(LocalMoment(2026, 12, 9, 11)));
    EXPECT_FALSE(log_.FindPendingTransferEntry("10.0.0.5")) << "a replaced transfer is no longer pending";
}

TEST_F(ActivityLogTest, ReplaceLastOnAnEmptyLogAppends)
{
    log_.ReplaceLastActivityEntry(aiError, "boot.bin", "10.0.0.5", "Send error: Unknown error!");
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"Send error: Unknown error!"}));
}

TEST_F(ActivityLogTest, UpdateSetsIconAndStatusOnlyAndReturnsTheResult)
{
    const auto entry = Sending("10.0.0.5");
    clock_->Set(LocalMoment(2026, 12, 9, 11));
    const auto updated = log_.UpdateActivityEntry(entry, aiSuccess, "Transfer: Send file complete.");
    ASSERT_TRUE(updated);
    EXPECT_EQ(updated->Icon, aiSuccess);
    EXPECT_EQ(updated->Status, "Transfer: Send file complete.");
    EXPECT_EQ(updated->DateTime, entry.DateTime);
    EXPECT_EQ(updated->FileName, entry.FileName);
    EXPECT_EQ(updated->RemoteIP, entry.RemoteIP);
    EXPECT_EQ(log_.Entries().front().Status, "Transfer: Send file complete.");
}

TEST_F(ActivityLogTest, UpdateOfAnEntryNoLongerInTheLogChangesNothing)
{
    const auto entry = Sending("10.0.0.5");
    log_.ClearActivityLog();
    EXPECT_FALSE(log_.UpdateActivityEntry(entry, aiSuccess, "Transfer: Send file complete."));
    EXPECT_EQ(log_.Count(), 0u);
}

// Finding a transfer's entry

TEST_F(ActivityLogTest, PendingLookupFindsTheOldestTransferOfThatAddress)
{
    Sending("10.0.0.9");
    const auto oldest = Sending("10.0.0.5");
    log_.AddActivityEntry(aiError, "x", "10.0.0.5", "Send error: Unauthorised!");
    log_.AddActivityEntry(aiTransfer, "/up/x", "10.0.0.5", kStatusReceivingFile);
    const auto found = log_.FindPendingTransferEntry("10.0.0.5");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Id, oldest.Id);
}

TEST_F(ActivityLogTest, TransfersAreClosedOldestFirst)
{
    const auto first = Sending("10.0.0.5");
    const auto second = log_.AddActivityEntry(aiTransfer, "/up/x", "10.0.0.5", kStatusReceivingFile);
    log_.UpdateActivityEntry(*log_.FindPendingTransferEntry("10.0.0.5"), aiSuccess, "Transfer: Send file complete.");
    const auto next = log_.FindPendingTransferEntry("10.0.0.5");
    ASSERT_TRUE(next);
    EXPECT_EQ(next->Id, second.Id);
    EXPECT_NE(next->Id, first.Id);
    log_.UpdateActivityEntry(*next, aiError, "Error transfering!");
    EXPECT_FALSE(log_.FindPendingTransferEntry("10.0.0.5"));
}

TEST_F(ActivityLogTest, ClearingWhileATransferRunsLeavesNothingPending)
{
    Sending("10.0.0.5");
    log_.ClearActivityLog();
    EXPECT_EQ(log_.Count(), 0u);
    EXPECT_FALSE(log_.FindPendingTransferEntry("10.0.0.5"));
}

TEST_F(ActivityLogTest, CommandsAreEnabledOnlyWhileTheLogHoldsEntries)
{
    EXPECT_FALSE(log_.LogCommandsEnabled());
    log_.AddActivityEntry(aiError, "a", "1.1.1.1", "x");
    EXPECT_TRUE(log_.LogCommandsEnabled());
    log_.ClearActivityLog();
    EXPECT_FALSE(log_.LogCommandsEnabled());
}

// Bounded size

TEST(ActivityLogBoundTest, DropsTheOldestEntriesButKeepsTransfersUnderWay)
{
    TActivityLog log(std::make_shared<TFakeClock>(0), 3);
    TRecordingActivityObserver observer;
    log.SetObserver(&observer);
    const auto transfer = log.AddActivityEntry(aiTransfer, "/srv/a", "10.0.0.5", kStatusSendingFile);
    log.AddActivityEntry(aiError, "b", "10.0.0.6", "refused 1");
    log.AddActivityEntry(aiError, "c", "10.0.0.6", "refused 2");
    log.AddActivityEntry(aiError, "d", "10.0.0.6", "refused 3");
    log.AddActivityEntry(aiError, "e", "10.0.0.6", "refused 4");
    std::vector<std::string> statuses;
    for (const auto& entry : log.Entries())
        statuses.push_back(entry.Status);
    EXPECT_EQ(statuses, (std::vector<std::string>{kStatusSendingFile, "refused 3", "refused 4"}));
    const auto pending = log.FindPendingTransferEntry("10.0.0.5");
    ASSERT_TRUE(pending);
    EXPECT_TRUE(log.UpdateActivityEntry(*pending, aiSuccess, "Transfer: Send file complete."));
    EXPECT_EQ(pending->Id, transfer.Id);
    const auto events = observer.Events();
    EXPECT_NE(std::find(events.begin(), events.end(), "drop 2"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "drop 3"), events.end());
}

TEST(ActivityLogBoundTest, HoldsAtMostItsBoundUnderAFlood)
{
    TActivityLog log(std::make_shared<TFakeClock>(0), 1000);
    for (int i = 0; i < 5000; ++i)
        log.AddActivityEntry(aiError, "x", "10.0.0.6", "Send error: Unauthorised!");
    EXPECT_EQ(log.Count(), 1000u);
    EXPECT_EQ(log.Entries().front().Id, 4001u);
}

// Notifications and threads

TEST_F(ActivityLogTest, ObserverSeesEveryChangeInOrder)
{
    TRecordingActivityObserver observer;
    log_.SetObserver(&observer);
    const auto entry = Sending("10.0.0.5");
    log_.UpdateActivityEntry(entry, aiSuccess, "Transfer: Send file complete.");
    log_.ReplaceLastActivityEntry(aiError, "b", "10.0.0.5", "Send error: Unknown error!");
    log_.ClearActivityLog();
    const std::string id = std::to_string(entry.Id);
    EXPECT_EQ(observer.Events(),
              (std::vector<std::string>{"append " + id + " Transfer: Sending file...",
                                        "update " + id + " Transfer: Send file complete.",
                                        "update " + id + " Send error: Unknown error!", "clear"}));
}

// Calls the log back from inside a notification; would deadlock if the lock were held.
class TReenteringObserver final : public TActivityLogObserver {
public:
    explicit TReenteringObserver(TActivityLog& log) : log_(log) {}
    void ActivityEntryAppended(const TActivityEntry& entry) override
    {
        countsSeen_.push_back(log_.Count());
        if (entry.Status == "first")
            log_.AddActivityEntry(aiError, " ", " ", "second");
    }
    void ActivityEntryUpdated(const TActivityEntry&) override {}
    void ActivityEntriesDropped(const std::vector<TActivityEntryId>&) override {}
    void ActivityLogCleared() override {}
    std::vector<std::size_t> countsSeen_;

private:
    TActivityLog& log_;
};

TEST_F(ActivityLogTest, ObserverIsCalledWithoutTheLockAndMayAppend)
{
    TReenteringObserver observer(log_);
    log_.SetObserver(&observer);
    log_.AddActivityEntry(aiError, " ", " ", "first");
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(observer.countsSeen_, (std::vector<std::size_t>{1, 2}));
}

TEST_F(ActivityLogTest, ConcurrentAppendsAreNeitherLostNorTornAndNotifiedInOrder)
{
    TRecordingActivityObserver observer;
    log_.SetObserver(&observer);
    constexpr int kThreads = 4;
    constexpr int kPerThread = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kPerThread; ++i)
                log_.AddActivityEntry(aiError, "f" + std::to_string(t), "10.0.0." + std::to_string(t),
                                      "thread " + std::to_string(t));
        });
    }
    for (auto& thread : threads)
        thread.join();
    const auto entries = log_.Entries();
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(kThreads * kPerThread));
    std::set<TActivityEntryId> ids;
    for (const auto& entry : entries) {
        ids.insert(entry.Id);
        const std::string t = entry.Status.substr(7);
        EXPECT_EQ(entry.FileName, "f" + t);
        EXPECT_EQ(entry.RemoteIP, "10.0.0." + t);
    }
    EXPECT_EQ(ids.size(), entries.size());
    const auto events = observer.Events();
    ASSERT_EQ(events.size(), entries.size());
    for (std::size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i].substr(0, events[i].find(' ', 7)), "append " + std::to_string(entries[i].Id));
}

// Quick save

class QuickSaveTest : public ActivityLogTest {
protected:
    TTempDir dir_;

    void FillLog()
    {
        log_.AddActivityEntry(aiSuccess, "/srv/boot.bin", "10.0.0.5", "Transfer: Send file complete.");
        log_.AddActivityEntry(aiError, "a,b", "10.0.0.6", "Send error: File does not exist!");
    }
    std::string Stamp() const { return FormatLocalDateTime(clock_->Now()); }
    std::string LastStatus() const { return log_.Entries().back().Status; }
};

TEST_F(QuickSaveTest, EmptyLogWritesNothing)
{
    log_.QuickSaveActivityLog((dir_.Path() / "log.log").string());
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "log.log"));
    EXPECT_EQ(log_.Count(), 0u);
}

TEST_F(QuickSaveTest, LogExtensionWritesTextLinesThenReportsSuccess)
{
    FillLog();
    log_.QuickSaveActivityLog((dir_.Path() / "saved.log").string());
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "saved.log"),
              Stamp() + "    /srv/boot.bin    10.0.0.5    Transfer: Send file complete.\r\n" + Stamp() +
                  "    a,b    10.0.0.6    Send error: File does not exist!\r\n");
    const TActivityEntry outcome = log_.Entries().back();
    EXPECT_EQ(outcome.Icon, aiSuccess);
    EXPECT_EQ(outcome.FileName, " ");
    EXPECT_EQ(outcome.RemoteIP, " ");
    EXPECT_EQ(outcome.Status, "Application: Saved activity log.");
}

TEST_F(QuickSaveTest, NameWithoutExtensionGetsLogAndTextLines)
{
    FillLog();
    log_.QuickSaveActivityLog((dir_.Path() / "saved").string());
    const std::string text = TTempDir::ReadFile(dir_.Path() / "saved.log");
    EXPECT_EQ(text.substr(0, Stamp().size() + 4), Stamp() + "    ");
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "saved"));
}

TEST_F(QuickSaveTest, CsvExtensionWritesHeaderAndQuotedCsvLines)
{
    FillLog();
    log_.QuickSaveActivityLog((dir_.Path() / "saved.csv").string());
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "saved.csv"),
              "Date/Time,Filename,Remote IP Address,Status\r\n" + Stamp() +
                  ",/srv/boot.bin,10.0.0.5,Transfer: Send file complete.\r\n" + Stamp() +
                  ",\"a,b\",10.0.0.6,Send error: File does not exist!\r\n");
}

TEST_F(QuickSaveTest, OtherExtensionsIncludingUpperCaseWriteStatusOnly)
{
    FillLog();
    for (const char* name : {"saved.CSV", "saved.LOG", "saved.txt"}) {
        log_.QuickSaveActivityLog((dir_.Path() / name).string());
        EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / name).substr(0, 31), "Transfer: Send file complete.\r\n") << name;
    }
}

TEST_F(QuickSaveTest, EntriesAddedByTheSaveItselfAreNotInTheFile)
{
    FillLog();
    log_.QuickSaveActivityLog((dir_.Path() / "first.txt").string());
    log_.QuickSaveActivityLog((dir_.Path() / "second.txt").string());
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "second.txt"),
              "Transfer: Send file complete.\r\nSend error: File does not exist!\r\n"
              "Application: Saved activity log.\r\n");
}

TEST_F(QuickSaveTest, ExistingFileIsReplaced)
{
    FillLog();
    dir_.WriteFile("saved.txt", std::string(10000, 'z'));
    log_.QuickSaveActivityLog((dir_.Path() / "saved.txt").string());
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "saved.txt").find('z'), std::string::npos);
}

TEST_F(QuickSaveTest, ClientNamesAreEscapedInTheFile)
{
    log_.AddActivityEntry(aiError, "evil\r\nforged", "10.0.0.6", "Send error: File does not exist!");
    log_.QuickSaveActivityLog((dir_.Path() / "saved.log").string());
    const std::string text = TTempDir::ReadFile(dir_.Path() / "saved.log");
    EXPECT_NE(text.find("evil\\x0D\\x0Aforged"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}

TEST_F(QuickSaveTest, UnwritableTargetReportsFailure)
{
    FillLog();
    log_.QuickSaveActivityLog((dir_.Path() / "missing" / "saved.log").string());
    EXPECT_EQ(log_.Entries().back().Icon, aiError);
    EXPECT_EQ(LastStatus(), "Application: Quick save failed!");
}

}  // namespace
