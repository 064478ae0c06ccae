#include <algorithm>

#include <gtest/gtest.h>

#include "app/Headless.h"
#include "tests/app/CoreFixture.h"
#include "tests/support/AnyFreePort.h"

using namespace std::string_literals;

class HeadlessActivityTest : public CoreTest {};

// Headless mode prints each entry and never shows it again: a flood of refused requests
// leaves a short tail in memory, and the transfer under way keeps its entry to the end.
TEST_F(HeadlessActivityTest, FloodLeavesATailAndThePendingTransferInMemory)
{
    WriteSettings("");
    core_ = std::make_unique<TApplicationCore>(TProgramPaths(dir_.Path()), kHeadlessActivityEntries);
    core_->Settings().SetOverrides(AnyFreePort());
    core_->Startup();
    const std::string served = Offer("boot.bin", std::string(2000, 'b'));
    Start();
    TRawClient downloader;
    downloader.SendTo(port_, Request(1, "boot.bin", "octet", {{"timeout", "60"}}));
    ASSERT_EQ(downloader.Receive(std::chrono::seconds(30)), "\x00\x06" "timeout\0" "60\0"s);

    std::size_t refusals = 0;
    for (int burst = 0; burst < 40; ++burst) {
        for (int i = 0; i < 50; ++i)
            client_.SendTo(port_, Request(1, "missing.bin", "octet"));
        for (int i = 0; i < 50 && client_.Receive(std::chrono::seconds(2)); ++i)
            ++refusals;
    }
    ASSERT_GT(refusals, 4 * kHeadlessActivityEntries);
    EXPECT_LE(core_->ActivityLog().Count(), kHeadlessActivityEntries + 1);

    EXPECT_EQ(TTftpTestClient(downloader).DownloadFrom("\x00\x06" "timeout\0" "60\0"s), std::string(2000, 'b'));
    ASSERT_TRUE(WaitFor([&] {
        const auto entries = core_->ActivityLog().Entries();
        return std::any_of(entries.begin(), entries.end(), [&](const TActivityEntry& entry) {
            return entry.FileName == served && entry.Status == "Transfer: Send file complete.";
        });
    }, std::chrono::seconds(30)));
    EXPECT_LE(core_->ActivityLog().Count(), kHeadlessActivityEntries);
}
