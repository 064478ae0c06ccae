#include "fileio/AtomicFile.h"

#include <filesystem>
#include <system_error>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public testing::Test {
protected:
    TTempDir dir_;

    fs::path PathOf(const std::string& name) const { return dir_.Path() / name; }
    fs::perms Permissions(const std::string& name) const
    {
        return fs::status(PathOf(name)).permissions() & fs::perms::mask;
    }
};

TEST_F(AtomicFileTest, ReplacementKeepsThePermissionBitsAndLeavesNoTemporaryFile)
{
    dir_.WriteFile("settings.ini", "old");
    fs::permissions(PathOf("settings.ini"), fs::perms::owner_read | fs::perms::owner_write);
    WriteFileAtomically(PathOf("settings.ini"), "new");
    EXPECT_EQ(TTempDir::ReadFile(PathOf("settings.ini")), "new");
    EXPECT_EQ(Permissions("settings.ini"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(fs::exists(PathOf("settings.ini.new")));
}

TEST_F(AtomicFileTest, ReplacementKeepsBitsNoUmaskWouldGive)
{
    // No umask turns a new file's 0666 into 0705.
    const fs::perms kept = fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec;
    dir_.WriteFile("hook.sh", "old");
    fs::permissions(PathOf("hook.sh"), kept);
    WriteFileAtomically(PathOf("hook.sh"), "new");
    EXPECT_EQ(Permissions("hook.sh"), kept);
}

TEST_F(AtomicFileTest, SymbolicLinkStaysALinkAndItsTargetIsReplaced)
{
    fs::create_directory(PathOf("real"));
    dir_.WriteFile("real/list.vlt", "old");
    fs::create_symlink(PathOf("real/list.vlt"), PathOf("link.vlt"));
    WriteFileAtomically(PathOf("link.vlt"), "new");
    EXPECT_TRUE(fs::is_symlink(PathOf("link.vlt")));
    EXPECT_EQ(TTempDir::ReadFile(PathOf("real/list.vlt")), "new");
}

TEST_F(AtomicFileTest, FifoIsRefusedAndLeftInPlace)
{
    ASSERT_EQ(::mkfifo(PathOf("pipe").c_str(), 0600), 0);
    EXPECT_THROW(WriteFileAtomically(PathOf("pipe"), "new"), std::system_error);
    EXPECT_TRUE(fs::is_fifo(PathOf("pipe")));
    EXPECT_FALSE(fs::exists(PathOf("pipe.new")));
}

TEST_F(AtomicFileTest, ReadingRefusesFifosFoldersAndOversizedFilesWithoutBlocking)
{
    ASSERT_EQ(::mkfifo(PathOf("pipe").c_str(), 0600), 0);
    fs::create_directory(PathOf("folder"));
    dir_.WriteFile("big", std::string(100, 'x'));
    EXPECT_EQ(ReadWholeFile(PathOf("pipe"), 1024).Outcome, roFailed);
    EXPECT_EQ(ReadWholeFile(PathOf("folder"), 1024).Outcome, roFailed);
    EXPECT_EQ(ReadWholeFile(PathOf("big"), 99).Outcome, roFailed);
    EXPECT_EQ(ReadWholeFile(PathOf("missing"), 1024).Outcome, roMissing);
    const TFileRead read = ReadWholeFile(PathOf("big"), 100);
    EXPECT_EQ(read.Outcome, roRead);
    EXPECT_EQ(read.Bytes.size(), 100u);
}

}  // namespace
