#include <algorithm>

#include <gtest/gtest.h>

#include "tests/app/CoreFixture.h"

using namespace std::string_literals;

namespace {

// Two transfers from one host (two boards behind one NAT, or a download and an upload at
// once) that end in the opposite order they started: each outcome lands on its own entry.
class CompletionTest : public CoreTest {
protected:
    std::size_t PendingCount() const
    {
        const auto statuses = Statuses();
        return static_cast<std::size_t>(std::count_if(statuses.begin(), statuses.end(), [](const std::string& s) {
            return s == kStatusSendingFile || s == kStatusReceivingFile;
        }));
    }

    std::string StatusOf(const std::string& fileName) const
    {
        for (const TActivityEntry& entry : core_->ActivityLog().Entries())
            if (entry.FileName == fileName)
                return entry.Status;
        return "no entry for " + fileName;
    }

    /// Asks for `name` with a long reply wait and never acknowledges the answer, so the
    /// session waits until the client gives up with an ERROR.
    void StartStalledRequest(TRawClient& client, std::uint16_t opcode, const std::string& name)
    {
        client.SendTo(port_, Request(opcode, name, "octet", {{"timeout", "60"}}));
        ASSERT_EQ(client.Receive(std::chrono::seconds(30)), "\x00\x06" "timeout\0" "60\0"s);
    }

    static constexpr std::chrono::seconds kMustHappen{30};
};

}  // namespace

TEST_F(CompletionTest, AbandonedDownloadAndLaterSuccessfulUploadEndOnTheirOwnEntries)
{
    WriteSettings("", "Accept=1\nOverwrite=1\nAddNew=1");
    const std::string served = Offer("boot.bin", std::string(2000, 'b'));
    Start();
    TRawClient downloader;
    StartStalledRequest(downloader, 1, "boot.bin");
    TRawClient uploader;
    ASSERT_EQ(Upload(uploader, "cfg.txt", "config"), 4);
    ASSERT_TRUE(WaitFor([this] { return PendingCount() == 1; }, kMustHappen));

    downloader.Reply(Error(0, "abandoned"));
    ASSERT_TRUE(WaitFor([this] { return PendingCount() == 0 && core_->Engine().SessionCount() == 0; },
                        kMustHappen));
    const std::string uploaded = (dir_.Path() / "uploads" / "cfg.txt").string();
    EXPECT_EQ(StatusOf(uploaded), "Transfer: Receive file complete.");
    EXPECT_EQ(StatusOf(served), "Error transfering!");
    EXPECT_EQ(core_->FilesList().FindForRead("boot.bin")->AccessCount, 0);
    ASSERT_TRUE(core_->FilesList().FindForRead("cfg.txt").has_value());
    EXPECT_EQ(TTempDir::ReadFile(uploaded), "config");
}

TEST_F(CompletionTest, AbandonedUploadAndLaterSuccessfulDownloadEndOnTheirOwnEntries)
{
    WriteSettings("", "Accept=1\nOverwrite=1\nAddNew=1");
    const std::string served = Offer("boot.bin", std::string(2000, 'b'));
    Start();
    TRawClient uploader;
    StartStalledRequest(uploader, 2, "half.bin");
    EXPECT_EQ(Download(client_, "boot.bin"), std::string(2000, 'b'));
    ASSERT_TRUE(WaitFor([this] { return PendingCount() == 1; }, kMustHappen));

    uploader.Reply(Error(0, "abandoned"));
    ASSERT_TRUE(WaitFor([this] { return PendingCount() == 0 && core_->Engine().SessionCount() == 0; },
                        kMustHappen));
    EXPECT_EQ(StatusOf(served), "Transfer: Send file complete.");
    EXPECT_EQ(StatusOf((dir_.Path() / "uploads" / "half.bin").string()), "Error transfering!");
    EXPECT_EQ(core_->FilesList().FindForRead("boot.bin")->AccessCount, 1);
    EXPECT_FALSE(core_->FilesList().FindForRead("half.bin").has_value());
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "uploads" / "half.bin"));
}
