#include "core/FilesListDocument.h"

#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "core/FilesList.h"
#include "log/ActivityLog.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class FilesListDocumentTest : public testing::Test {
protected:
    TTempDir dir_;
    TFilesList list_;
    TActivityLog log_;
    std::vector<std::string> recorded_;

    std::string MakeFile(const std::string& relative, std::size_t size = 10) const
    {
        fs::create_directories((dir_.Path() / relative).parent_path());
        return dir_.WriteFile(relative, std::string(size, 'x')).string();
    }
    std::string PathOf(const std::string& relative) const { return (dir_.Path() / relative).string(); }
    void Save(const std::string& relative)
    {
        SaveFilesList(PathOf(relative), list_, log_, [this](const std::string& path) { recorded_.push_back(path); });
    }
    void Load(const std::string& relative) { LoadFilesList(PathOf(relative), list_, log_); }
    TActivityEntry Outcome() const { return log_.Entries().back(); }
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        for (const FileEntry& entry : list_.Entries())
            lines.push_back(FormatFilesListLine(entry));
        return lines;
    }
};

// Line format

TEST(FilesListLineTest, SplitsNameFolderAndCountKeepingBlanksAndZeroesHugeCounts)
{
    const auto line = ParseFilesListLine(" my file .bin| /srv/with blank |3");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->Name, " my file .bin");
    EXPECT_EQ(line->Folder, " /srv/with blank ");
    EXPECT_EQ(line->AccessCount, 3);
    EXPECT_EQ(ParseFilesListLine("boot.bin||12")->Folder, "");
    EXPECT_EQ(ParseFilesListLine("a|/b|2147483647")->AccessCount, 2147483647);
    EXPECT_EQ(ParseFilesListLine("a|/b|2147483648")->AccessCount, 0);
}

// Names and folders may hold "|": the count follows the last one and the folder starts
// at the first "|/", so every entry reads back as it was written.
TEST(FilesListLineTest, NamesAndFoldersHoldingBarsRoundTrip)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a|b.bin", "/srv/tftp"}, {"a|b.bin", ""}, {"boot.bin", "/srv/x|y"}, {"a|", "/x|/y|"},
        {"|x", "/srv"}, {"a||b", ""}, {"plain.bin", "/srv"}};
    for (const auto& [name, folder] : cases) {
        FileEntry entry;
        entry.Name = name;
        entry.Folder = folder;
        entry.AccessCount = 7;
        const auto line = ParseFilesListLine(FormatFilesListLine(entry));
        ASSERT_TRUE(line) << FormatFilesListLine(entry);
        EXPECT_EQ(line->Name, name);
        EXPECT_EQ(line->Folder, folder);
        EXPECT_EQ(line->AccessCount, 7);
    }
}

class FilesListBadLineTest : public testing::TestWithParam<std::string> {};

TEST_P(FilesListBadLineTest, IsRefused)
{
    EXPECT_FALSE(ParseFilesListLine(GetParam()));
}

// A bar in the count makes it a count text that is not a number.
INSTANTIATE_TEST_SUITE_P(Lines, FilesListBadLineTest,
                         testing::Values("", "boot.bin", "boot.bin|/srv", "boot.bin|/srv|", "boot.bin|/srv|3|x",
                                         "boot.bin|/srv|x3", "boot.bin|/srv|-3", "|/srv|3",
                                         std::string("bo\0ot|/srv|3", 12)));

TEST(FilesListDocumentPathTest, AppendsVltUnlessTheExtensionIsExactlyVlt)
{
    EXPECT_EQ(FilesListDocumentPath("/d/list"), "/d/list.vlt");
    EXPECT_EQ(FilesListDocumentPath("/d/list.vlt"), "/d/list.vlt");
    EXPECT_EQ(FilesListDocumentPath("/d/list.txt"), "/d/list.txt.vlt");
    EXPECT_EQ(FilesListDocumentPath("/d/files.VLT"), "/d/files.VLT.vlt");
    EXPECT_EQ(FilesListDocumentPath("/d.vlt/list"), "/d.vlt/list.vlt");
}

// Saving

TEST_F(FilesListDocumentTest, SaveWritesCrLfLinesInListOrderAndRecordsThePath)
{
    list_.AddFiles({MakeFile("b/second.bin"), MakeFile("a/first.bin")});
    list_.IncrementAccessCount("second.bin");
    dir_.WriteFile("list.vlt", "old.bin|/old|9\r\nolder.bin|/old|9\r\n");
    Save("list");
    EXPECT_EQ(TTempDir::ReadFile(PathOf("list.vlt")),
              "first.bin|" + PathOf("a") + "|0\r\nsecond.bin|" + PathOf("b") + "|1\r\n");
    EXPECT_EQ(recorded_, (std::vector<std::string>{PathOf("list.vlt")}));
    EXPECT_EQ(Outcome().Icon, aiSuccess);
    EXPECT_EQ(Outcome().Status, "Application: Saved file list.");
    EXPECT_FALSE(fs::exists(PathOf("list.vlt.new")));
}

TEST_F(FilesListDocumentTest, SavingUnderAnUpperCaseExtensionAddsVlt)
{
    list_.AddFiles({MakeFile("a.bin")});
    Save("files.VLT");
    EXPECT_TRUE(fs::exists(PathOf("files.VLT.vlt")));
    EXPECT_FALSE(fs::exists(PathOf("files.VLT")));
}

TEST_F(FilesListDocumentTest, SavingAnEmptyListWritesAndRecordsNothing)
{
    Save("list.vlt");
    EXPECT_FALSE(fs::exists(PathOf("list.vlt")));
    EXPECT_TRUE(recorded_.empty());
    EXPECT_EQ(log_.Count(), 0u);
}

TEST_F(FilesListDocumentTest, FailedSaveReportsKeepsWhatWasThereAndRecordsNothing)
{
    list_.AddFiles({MakeFile("a.bin")});
    Save("missing/list.vlt");
    EXPECT_EQ(Outcome().Icon, aiError);
    EXPECT_EQ(Outcome().Status, "Application: Error saving file list!");
    fs::create_directory(PathOf("blocked.vlt"));
    dir_.WriteFile("blocked.vlt/keep", "x");
    Save("blocked.vlt");
    EXPECT_EQ(Outcome().Status, "Application: Error saving file list!");
    EXPECT_TRUE(fs::exists(PathOf("blocked.vlt/keep")));
    EXPECT_FALSE(fs::exists(PathOf("blocked.vlt.new")));
    EXPECT_TRUE(recorded_.empty());
}

TEST_F(FilesListDocumentTest, SavingThroughALinkKeepsTheLinkAndThePermissions)
{
    list_.AddFiles({MakeFile("a.bin")});
    fs::create_directory(PathOf("lists"));
    dir_.WriteFile("lists/real.vlt", "old.bin|/old|1\r\n");
    const auto ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(PathOf("lists/real.vlt"), ownerOnly);
    fs::create_symlink(PathOf("lists/real.vlt"), PathOf("list.vlt"));
    Save("list.vlt");
    EXPECT_EQ(Outcome().Status, "Application: Saved file list.");
    EXPECT_TRUE(fs::is_symlink(PathOf("list.vlt")));
    EXPECT_EQ(TTempDir::ReadFile(PathOf("lists/real.vlt")), "a.bin|" + dir_.Str() + "|0\r\n");
    EXPECT_EQ(fs::status(PathOf("lists/real.vlt")).permissions() & fs::perms::mask, ownerOnly);
}

// Loading

TEST_F(FilesListDocumentTest, RoundTripKeepsNamesFoldersCountsAndOrderAndMakesAllAvailable)
{
    list_.AddFiles({MakeFile("x/c file.bin", 1536), MakeFile("y z/a.bin"), MakeFile("b.bin")});
    list_.IncrementAccessCount("a.bin");
    list_.IncrementAccessCount("a.bin");
    list_.ToggleSuspend({list_.Entries().at(1).Id});
    const auto saved = Lines();
    Save("round.vlt");
    list_.Clear();
    list_.AddFiles({MakeFile("stale.bin")});
    Load("round.vlt");
    EXPECT_EQ(Lines(), saved);
    for (const FileEntry& entry : list_.Entries())
        EXPECT_EQ(entry.State, FileState::Available) << entry.Name;
    EXPECT_EQ(list_.Entries().at(2).SizeText, "1.50KB");
    EXPECT_EQ(Outcome().Icon, aiSuccess);
    EXPECT_EQ(Outcome().Status, "Application: Loaded files list.");
    EXPECT_EQ(recorded_.size(), 1u) << "loading records no path";
}

TEST_F(FilesListDocumentTest, LoadKeepsDuplicatesSizesMissingFilesAsUnknownAndSkipsBadLines)
{
    dir_.WriteFile("mixed.vlt",
                   "deleted.bin|/veltrane-nowhere|4\r\n"
                   "\r\n"
                   "no separators\r\n"
                   "barred.bin|/srv|2|extra\r\n"
                   "words.bin|/srv|two\r\n"
                   "deleted.bin|/veltrane-nowhere|5\n"
                   "last.bin|/srv|6");
    Load("mixed.vlt");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"deleted.bin|/veltrane-nowhere|4", "deleted.bin|/veltrane-nowhere|5",
                                                 "last.bin|/srv|6"}));
    EXPECT_EQ(list_.Entries().at(0).SizeText, "Unknown");
    EXPECT_EQ(Outcome().Status, "Application: Loaded files list.");
}

TEST_F(FilesListDocumentTest, MissingOrUnopenableDocumentFailsAndLeavesTheListAlone)
{
    list_.AddFiles({MakeFile("kept.bin")});
    Load("absent.vlt");
    EXPECT_EQ(Outcome().Icon, aiError);
    EXPECT_EQ(Outcome().Status, "Application: Error loading files list!");
    fs::create_directory(PathOf("folder.vlt"));
    Load("folder.vlt");
    EXPECT_EQ(Outcome().Status, "Application: Error loading files list!");
    EXPECT_EQ(list_.Count(), 1u);
}

TEST_F(FilesListDocumentTest, LongDocumentLoadsEveryLineInOrder)
{
    constexpr int kLines = 100000;
    std::string text;
    for (int i = kLines - 1; i >= 0; --i)
        text += "f" + std::to_string(1000000 + i) + "|/veltrane-nowhere|" + std::to_string(i) + "\r\n";
    dir_.WriteFile("long.vlt", text);
    Load("long.vlt");
    const auto entries = list_.Entries();
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(kLines));
    EXPECT_EQ(entries.front().Name, "f1000000");
    EXPECT_EQ(entries.back().AccessCount, kLines - 1);
}

TEST_F(FilesListDocumentTest, BinaryFileLoadsWithoutHarm)
{
    std::mt19937 random(7);
    std::string bytes(300000, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    bytes += std::string(100000, '|');  // one very long line
    dir_.WriteFile("binary.vlt", bytes);
    Load("binary.vlt");
    for (const FileEntry& entry : list_.Entries()) {
        EXPECT_FALSE(entry.Name.empty());
        EXPECT_EQ(entry.Name.find('\0'), std::string::npos);
    }
    EXPECT_EQ(Outcome().Status, "Application: Loaded files list.");
}

}  // namespace
