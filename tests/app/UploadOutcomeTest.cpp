// What an upload's client is told and what is stored: nothing acknowledged is lost,
// nothing lost is acknowledged.

#include <gtest/gtest.h>

#include "tests/app/CoreFixture.h"

using namespace std::string_literals;

class UploadOutcomeTest : public CoreTest {};

TEST_F(UploadOutcomeTest, LongestNameTheFileSystemTakesIsAccepted)
{
    WriteSettings("", "Accept=1");
    Start();
    const std::string name(255, 'n');
    EXPECT_EQ(Upload(client_, name, "long"), 4);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(LastStatus(), "Transfer: Receive file complete.");
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "uploads" / name), "long");
}

TEST_F(UploadOutcomeTest, AcknowledgedUploadIsInPlaceWhenItsFinalAckArrives)
{
    WriteSettings("", "Accept=1");
    Start();
    EXPECT_EQ(Upload(client_, "now.bin", std::string(700, 'n')), 4);
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "uploads" / "now.bin"), std::string(700, 'n'));
}

TEST_F(UploadOutcomeTest, SizeAnnouncedInNetasciiIsOnlyInformation)
{
    WriteSettings("", "Accept=1");
    Start();
    // The sender's file has bare LF line ends; CR LF goes over the wire.
    client_.SendTo(port_, Request(2, "lines.txt", "netascii", {{"tsize", "4"}}));
    EXPECT_EQ(*client_.Receive(), "\x00\x06" "tsize\0" "4\0"s);
    client_.Reply(Data(1, "a\r\nb\r\n"));
    EXPECT_EQ(*client_.Receive(), Ack(1));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(LastStatus(), "Transfer: Receive file complete.");
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "uploads" / "lines.txt"), "a\r\nb\r\n");
}

TEST_F(UploadOutcomeTest, NameTakenMeanwhileIsAnsweredFileExistsInsteadOfTheFinalAck)
{
    WriteSettings("", "Accept=1\nOverwrite=0");
    Start();
    client_.SendTo(port_, Request(2, "race.bin", "octet"));
    EXPECT_EQ(*client_.Receive(), Ack(0));
    client_.Reply(Data(1, std::string(512, 'l')));
    EXPECT_EQ(*client_.Receive(), Ack(1));
    dir_.WriteFile("uploads/race.bin", "winner");  // another upload of that name finished first
    client_.Reply(Data(2, "loser"));
    EXPECT_EQ(*client_.Receive(), Error(6, "File exists"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(LastStatus(), "Error transfering!");
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "uploads" / "race.bin"), "winner");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path() / "uploads"),
                            std::filesystem::directory_iterator()),
              1);  // no temporary file left behind
}

TEST_F(UploadOutcomeTest, DanglingLinkOfThatNameIsKeptAndTheUploadRefused)
{
    WriteSettings("", "Accept=1\nOverwrite=0");
    std::filesystem::create_directories(dir_.Path() / "uploads");
    std::filesystem::create_symlink(dir_.Path() / "nowhere", dir_.Path() / "uploads" / "link.bin");
    Start();
    client_.SendTo(port_, Request(2, "link.bin", "octet"));
    EXPECT_EQ(*client_.Receive(), Ack(0));
    client_.Reply(Data(1, "data"));
    EXPECT_EQ(*client_.Receive(), Error(6, "File exists"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(LastStatus(), "Error transfering!");
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.Path() / "uploads" / "link.bin"));
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "nowhere"));
}
