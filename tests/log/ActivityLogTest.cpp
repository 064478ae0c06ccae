#include "log/ActivityLog.h"

#include <algorithm>
#include <memory>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "tests/log/RecordingActivityObserver.h"
#include "tests/support/FakeClock.h"
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
    const TActivityEntry stored = log_.Entries().at(0);
    EXPECT_EQ(stored.Id, entry.Id);
    EXPECT_EQ(stored.Icon, aiError);
    EXPECT_EQ(stored.DateTime, FormatLocalDateTime(clock_->Now()));
    EXPECT_EQ(stored.FileName, "boot.bin");
    EXPECT_EQ(stored.RemoteIP, "10.0.0.5");
    EXPECT_EQ(stored.Status, "Send error: Unauthorised!");
}

TEST_F(ActivityLogTest, ReplaceLastOverwritesTheNewestEntryWithAFreshTime)
{
    log_.ReplaceLastActivityEntry(aiError, "a", "1.1.1.1", "older");  // empty log: appends
    const auto last = Sending("10.0.0.5");
    clock_->Set(LocalMoment(2026, 12, 9, 11));
    const auto replaced = log_.ReplaceLastActivityEntry(aiError, "boot.bin", "10.0.0.5", "Send error: Unknown error!");
    EXPECT_EQ(replaced.Id, last.Id);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"older", "Send error: Unknown error!"}));
    EXPECT_EQ(log_.Entries().at(1).DateTime, FormatLocalDateTime(LocalMoment(2026, 12, 9, 11)));
    EXPECT_FALSE(log_.FindPendingTransferEntry(last.Id)) << "a replaced transfer is no longer pending";
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
    EXPECT_EQ(log_.Entries().at(0).Status, "Transfer: Send file complete.");
}

// Finding a transfer's entry

TEST_F(ActivityLogTest, EachTransferOfOneAddressIsFoundByItsOwnIdUntilItEnds)
{
    const auto first = Sending("10.0.0.5");
    const auto refused = log_.AddActivityEntry(aiError, "x", "10.0.0.5", "Send error: Unauthorised!");
    const auto second = log_.AddActivityEntry(aiTransfer, "/up/x", "10.0.0.5", kStatusReceivingFile);
    EXPECT_EQ(log_.FindPendingTransferEntry(second.Id)->Status, kStatusReceivingFile);
    log_.UpdateActivityEntry(second, aiError, "Error transfering!");
    EXPECT_FALSE(log_.FindPendingTransferEntry(second.Id));
    EXPECT_EQ(log_.FindPendingTransferEntry(first.Id)->FileName, first.FileName);
    EXPECT_FALSE(log_.FindPendingTransferEntry(refused.Id));
    EXPECT_FALSE(log_.FindPendingTransferEntry(999));
}

TEST_F(ActivityLogTest, ClearingWhileATransferRunsLeavesNothingToComplete)
{
    EXPECT_FALSE(log_.LogCommandsEnabled());
    const auto entry = Sending("10.0.0.5");
    EXPECT_TRUE(log_.LogCommandsEnabled());
    log_.ClearActivityLog();
    EXPECT_FALSE(log_.LogCommandsEnabled());
    EXPECT_FALSE(log_.FindPendingTransferEntry(entry.Id));
    EXPECT_FALSE(log_.UpdateActivityEntry(entry, aiSuccess, "Transfer: Send file complete."));
    EXPECT_EQ(log_.Count(), 0u);
}

// Bounded size

TEST(ActivityLogBoundTest, DropsTheOldestEntriesButKeepsTransfersUnderWay)
{
    TActivityLog log(std::make_shared<TFakeClock>(0), 3);
    TRecordingActivityObserver observer;
    log.SetObserver(&observer);
    const auto transfer = log.AddActivityEntry(aiTransfer, "/srv/a", "10.0.0.5", kStatusSendingFile);
    for (int i = 1; i <= 4; ++i)
        log.AddActivityEntry(aiError, "b", "10.0.0.6", "refused " + std::to_string(i));
    EXPECT_EQ(log.Count(), 3u);
    std::vector<std::string> statuses;
    for (const auto& entry : log.Entries())
        statuses.push_back(entry.Status);
    EXPECT_EQ(statuses, (std::vector<std::string>{kStatusSendingFile, "refused 3", "refused 4"}));
    EXPECT_TRUE(log.UpdateActivityEntry(transfer, aiSuccess, "Transfer: Send file complete."));
    const auto events = observer.Events();
    EXPECT_NE(std::find(events.begin(), events.end(), "drop 2"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "drop 3"), events.end());
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
            const std::string n = std::to_string(t);
            for (int i = 0; i < kPerThread; ++i)
                log_.AddActivityEntry(aiError, "f" + n, "10.0.0." + n, "thread " + n);
        });
    }
    for (auto& thread : threads)
        thread.join();
    const auto entries = log_.Entries();
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(kThreads * kPerThread));
    std::set<TActivityEntryId> ids;
    for (const auto& entry : entries) {
        ids.insert(entry.Id);
        EXPECT_EQ(entry.FileName, "f" + entry.Status.substr(7));
        EXPECT_EQ(entry.RemoteIP, "10.0.0." + entry.Status.substr(7));
    }
    EXPECT_EQ(ids.size(), entries.size());
    const auto events = observer.Events();
    ASSERT_EQ(events.size(), entries.size());
    for (std::size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i], "append " + std::to_string(entries[i].Id) + " " + entries[i].Status);
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
    std::string Saved(const std::string& name) const { return TTempDir::ReadFile(dir_.Path() / name); }
    void Save(const std::string& name) { log_.QuickSaveActivityLog((dir_.Path() / name).string()); }
};

TEST_F(QuickSaveTest, EmptyLogWritesNothing)
{
    Save("log.log");
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "log.log"));
    EXPECT_EQ(log_.Count(), 0u);
}

TEST_F(QuickSaveTest, NameWithoutExtensionGetsLogAndTextLinesThenSuccessIsReported)
{
    FillLog();
    Save("saved");
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "saved"));
    EXPECT_EQ(Saved("saved.log"), Stamp() + "    /srv/boot.bin    10.0.0.5    Transfer: Send file complete.\r\n" +
                                      Stamp() + "    a,b    10.0.0.6    Send error: File does not exist!\r\n");
    const TActivityEntry outcome = log_.Entries().back();
    EXPECT_EQ(outcome.Icon, aiSuccess);
    EXPECT_EQ(outcome.FileName, " ");
    EXPECT_EQ(outcome.RemoteIP, " ");
    EXPECT_EQ(outcome.Status, "Application: Saved activity log.");
}

TEST_F(QuickSaveTest, CsvExtensionWritesHeaderAndQuotedCsvLines)
{
    FillLog();
    Save("saved.csv");
    EXPECT_EQ(Saved("saved.csv"), "Date/Time,Filename,Remote IP Address,Status\r\n" + Stamp() +
                                      ",/srv/boot.bin,10.0.0.5,Transfer: Send file complete.\r\n" + Stamp() +
                                      ",\"a,b\",10.0.0.6,Send error: File does not exist!\r\n");
}

TEST_F(QuickSaveTest, OtherExtensionsIncludingUpperCaseWriteStatusOnlyOverAnyOldFile)
{
    FillLog();
    dir_.WriteFile("saved.txt", std::string(10000, 'z'));
    for (const char* name : {"saved.CSV", "saved.LOG", "saved.txt"})
        Save(name);
    EXPECT_EQ(Saved("saved.CSV"), "Transfer: Send file complete.\r\nSend error: File does not exist!\r\n");
    EXPECT_EQ(Saved("saved.LOG"), Saved("saved.CSV") + "Application: Saved activity log.\r\n")
        << "entries the save itself adds come after it";
    EXPECT_EQ(Saved("saved.txt").find('z'), std::string::npos);
}

TEST_F(QuickSaveTest, UnwritableTargetReportsFailure)
{
    FillLog();
    Save("missing/saved.log");
    EXPECT_EQ(log_.Entries().back().Icon, aiError);
    EXPECT_EQ(log_.Entries().back().Status, "Application: Quick save failed!");
}

}  // namespace
