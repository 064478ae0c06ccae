#include <algorithm>

#include <gtest/gtest.h>

#include "tests/app/CoreFixture.h"

class SettingsReportTest : public CoreTest {};

// A BufferSize of 0 would leave a server that answers nothing: it serves with the default
// and says so once, as an error entry.
TEST_F(SettingsReportTest, InvalidValueIsReportedOnceAndTheDefaultServes)
{
    WriteSettings("BufferSize=0");
    Offer("a.bin", std::string(1000, 'a'));
    Start();
    EXPECT_EQ(Download(client_, "a.bin"), std::string(1000, 'a'));
    ASSERT_TRUE(WaitIdle());
    core_->ReapplyAfterConfiguration();
    const auto entries = core_->ActivityLog().Entries();
    const auto reports = std::count_if(entries.begin(), entries.end(), [](const TActivityEntry& entry) {
        return entry.Icon == aiError && entry.FileName == " " && entry.RemoteIP == " " &&
               entry.Status == "Application: Invalid value for BufferSize, using 8192";
    });
    EXPECT_EQ(reports, 2) << "once at start-up and once for the reload";
    EXPECT_EQ(entries.front().Status, "Application: Invalid value for BufferSize, using 8192");
    EXPECT_EQ(core_->Config()->BufferSize, 8192);
}
