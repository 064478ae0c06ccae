// The received file's SHA-256 after a finished upload, asked for with "LogUploadHash".

#include <gtest/gtest.h>

#include "tests/app/CoreFixture.h"

class UploadDigestTest : public CoreTest {};

namespace {

// SHA-256 of "abc" (FIPS 180-2, appendix B.1).
constexpr char kAbcSha256[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

}  // namespace

TEST_F(UploadDigestTest, FinishedUploadIsFollowedByItsDigestWhenAskedFor)
{
    WriteSettings("", "Accept=1\nLogUploadHash=1", "Log=1");
    Start();
    EXPECT_EQ(Upload(client_, "cfg.txt", "abc"), 4);
    ASSERT_TRUE(WaitFor([this] { return core_->ActivityLog().Count() >= 2 && LastStatus().starts_with("Transfer: SHA"); }));
    const auto entries = core_->ActivityLog().Entries();
    const TActivityEntry& digest = entries.back();
    EXPECT_EQ(entries[entries.size() - 2].Status, "Transfer: Receive file complete.");
    EXPECT_EQ(digest.Icon, aiInformation);
    EXPECT_EQ(digest.FileName, (dir_.Path() / "uploads" / "cfg.txt").string());
    EXPECT_EQ(digest.RemoteIP, "127.0.0.1");
    EXPECT_TRUE(digest.Status.starts_with("Transfer: SHA-256 ") && digest.Status.ends_with(kAbcSha256))
        << digest.Status;
    // The log file carries it too.
    bool logged = false;
    for (const auto& file : std::filesystem::directory_iterator(dir_.Path()))
        logged = logged || TTempDir::ReadFile(file.path()).find(kAbcSha256) != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST_F(UploadDigestTest, NoDigestEntryUnlessAskedFor)
{
    WriteSettings("", "Accept=1");
    Start();
    EXPECT_EQ(Upload(client_, "cfg.txt", "abc"), 4);
    ASSERT_TRUE(WaitFor([this] { return LastStatus() == "Transfer: Receive file complete."; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(LastStatus(), "Transfer: Receive file complete.");
}

TEST_F(UploadDigestTest, FailedUploadGetsNoDigest)
{
    WriteSettings("", "Accept=1\nOverwrite=0\nLogUploadHash=1");
    Start();
    client_.SendTo(port_, Request(2, "race.bin", "octet"));
    EXPECT_EQ(*client_.Receive(), Ack(0));
    dir_.WriteFile("uploads/race.bin", "winner");
    client_.Reply(Data(1, "loser"));
    EXPECT_EQ(*client_.Receive(), Error(6, "File exists"));
    ASSERT_TRUE(WaitFor([this] { return LastStatus() == "Error transfering!"; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(LastStatus(), "Error transfering!");
}
