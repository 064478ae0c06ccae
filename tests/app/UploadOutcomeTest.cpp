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
