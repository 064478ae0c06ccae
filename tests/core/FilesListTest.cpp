#include "core/FilesList.h"

#include <atomic>
#include <clocale>
#include <filesystem>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class FilesListTest : public testing::Test {
protected:
    TTempDir dir_;
    TFilesList list_;

    std::string MakeFile(const std::string& relative, std::size_t size = 10) const
    {
        fs::create_directories((dir_.Path() / relative).parent_path());
        return dir_.WriteFile(relative, std::string(size, 'x')).string();
    }
    std::string Folder(const std::string& relative) const { return (dir_.Path() / relative).string(); }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const FileEntry& entry : list_.Entries())
            names.push_back(entry.Name);
        return names;
    }
    FileEntry Named(const std::string& name) const
    {
        for (const FileEntry& entry : list_.Entries()) {
            if (entry.Name == name)
                return entry;
        }
        ADD_FAILURE() << name << " is not listed";
        return {};
    }
    std::vector<TFileEntryId> Ids() const
    {
        std::vector<TFileEntryId> ids;
        for (const FileEntry& entry : list_.Entries())
            ids.push_back(entry.Id);
        return ids;
    }
};

// Adding: what an entry holds

TEST_F(FilesListTest, AddedFileIsAvailableWithItsFolderAndSizeText)
{
    const std::string path = MakeFile("a/boot.bin", 1536);
    EXPECT_EQ(list_.AddFiles({path, Folder("gone.bin")}), 2u);
    const FileEntry entry = Named("boot.bin");
    EXPECT_EQ(entry.Folder, Folder("a"));
    EXPECT_EQ(entry.AccessCount, 0);
    EXPECT_EQ(entry.SizeText, "1.50KB");
    EXPECT_EQ(entry.State, FileState::Available);
    EXPECT_EQ(FullPath(entry), path);
    EXPECT_EQ(Named("gone.bin").SizeText, "Unknown") << "a file that cannot be read is still added";
}

TEST_F(FilesListTest, FileInTheRootGetsAnEmptyFolder)
{
    list_.AddFiles({"/veltrane-no-such-file.bin"});
    EXPECT_EQ(Named("veltrane-no-such-file.bin").Folder, "");
    EXPECT_EQ(FullPath(Named("veltrane-no-such-file.bin")), "/veltrane-no-such-file.bin");
}

TEST(NormaliseFolderTest, DropsASeparatorThatIsBothFirstAndLast)
{
    EXPECT_EQ(NormaliseFolder("/"), "");
    EXPECT_EQ(NormaliseFolder("srv/"), "srv");
    EXPECT_EQ(NormaliseFolder("/srv/tftp"), "/srv/tftp");
    EXPECT_EQ(NormaliseFolder("/srv/"), "/srv/");
}

// Adding: duplicate rules (boot.bin against a listed BOOT.BIN of another folder)

TEST_F(FilesListTest, ChosenFileWhoseNameIsListedInAnyCaseIsSkipped)
{
    list_.AddFiles({MakeFile("b/BOOT.BIN")});
    EXPECT_EQ(list_.AddFiles({MakeFile("a/boot.bin")}), 0u);
    EXPECT_EQ(list_.AddFiles({MakeFile("a/x.bin"), MakeFile("b/X.bin")}), 1u) << "earlier in the run counts";
    EXPECT_EQ(Names(), (std::vector<std::string>{"BOOT.BIN", "x.bin"}));
    EXPECT_EQ(Named("x.bin").Folder, Folder("a"));
}

TEST_F(FilesListTest, FolderFileWhoseNameIsListedInAnyCaseIsSkipped)
{
    list_.AddFiles({MakeFile("b/BOOT.BIN")});
    MakeFile("a/boot.bin");
    MakeFile("a/other.bin");
    EXPECT_EQ(list_.AddFolderContents(Folder("a")), 1u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"BOOT.BIN", "other.bin"}));
}

TEST_F(FilesListTest, DroppedFileIsSkippedOnlyForTheSameFullPath)
{
    const std::string listed = MakeFile("b/BOOT.BIN");
    list_.AddFiles({listed});
    EXPECT_EQ(list_.AddDroppedFiles({listed, listed}), 0u);
    EXPECT_EQ(list_.AddDroppedFiles({MakeFile("a/boot.bin")}), 1u);
    EXPECT_EQ(list_.AddDroppedFiles({MakeFile("b/Boot.bin")}), 1u) << "paths compare with case";
    EXPECT_EQ(list_.Count(), 3u);
}

TEST_F(FilesListTest, DroppedFolderAddsItsPlainFiles)
{
    MakeFile("drop/one.bin");
    MakeFile("drop/sub/deep.bin");
    EXPECT_EQ(list_.AddDroppedFiles({MakeFile("two.bin"), Folder("drop")}), 2u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"one.bin", "two.bin"}));
}

TEST_F(FilesListTest, FolderContentsAreItsPlainVisibleFilesOnly)
{
    MakeFile("f/a.bin");
    MakeFile("f/.hidden");
    MakeFile("f/sub/inner.bin");
    EXPECT_EQ(list_.AddFolderContents(Folder("f") + "/"), 1u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.bin"}));
    EXPECT_EQ(Named("a.bin").Folder, Folder("f"));
    EXPECT_EQ(list_.AddFolderContents(Folder("nowhere")), 0u);
}

// Order

TEST_F(FilesListTest, EntriesAreInNameOrderAndEqualNamesKeepTheirArrivalOrder)
{
    list_.AddFiles({MakeFile("c.bin"), MakeFile("a.bin")});
    list_.AddDroppedFiles({MakeFile("z/b.bin")});
    list_.AddDroppedFiles({MakeFile("y/b.bin")});
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.bin", "b.bin", "b.bin", "c.bin"}));
    EXPECT_EQ(list_.Entries().at(1).Folder, Folder("z"));
}

TEST_F(FilesListTest, LargeFolderIsAddedCompleteAndInOrder)
{
    constexpr int kFiles = 2000;
    for (int i = kFiles - 1; i >= 0; --i)
        MakeFile("big/f" + std::to_string(100000 + i), 0);
    EXPECT_EQ(list_.AddFolderContents(Folder("big")), static_cast<std::size_t>(kFiles));
    const auto names = Names();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(list_.AddFolderContents(Folder("big")), 0u);
}

// Commands on the selection

TEST_F(FilesListTest, RemoveSelectedAndRemoveAllAfterYesOnly)
{
    list_.AddFiles({MakeFile("a.bin"), MakeFile("b.bin"), MakeFile("c.bin")});
    const auto ids = Ids();
    list_.RemoveSelected({ids[0], ids[2]});
    EXPECT_EQ(Names(), (std::vector<std::string>{"b.bin"}));
    list_.RemoveAll(false);
    EXPECT_EQ(list_.Count(), 1u);
    list_.RemoveAll(true);
    EXPECT_EQ(list_.Count(), 0u);
    EXPECT_FALSE(list_.NameIsListed("b.bin"));
}

TEST_F(FilesListTest, ClearAccessCountKeepsASingleSelectionAndDropsSeveral)
{
    list_.AddFiles({MakeFile("a.bin"), MakeFile("b.bin")});
    list_.IncrementAccessCount("a.bin");
    list_.IncrementAccessCount("b.bin");
    const auto ids = Ids();
    EXPECT_EQ(list_.ClearAccessCount({ids[0]}), (std::vector<TFileEntryId>{ids[0]}));
    EXPECT_EQ(Named("a.bin").AccessCount, 0);
    EXPECT_EQ(Named("b.bin").AccessCount, 1);
    EXPECT_TRUE(list_.ClearAccessCount(ids).empty());
    EXPECT_EQ(Named("b.bin").AccessCount, 0);
}

TEST(FilesPopupTest, EnablingFollowsTheSelectionAndTheListSize)
{
    const auto none = FilesPopupEnabling(0, 0);
    EXPECT_TRUE(none.AddFiles);
    EXPECT_FALSE(none.RemoveFiles || none.ToggleSuspend || none.ClearAccessCount || none.FileInformation ||
                 none.RefreshDeviceList);
    const auto one = FilesPopupEnabling(1, 3);
    EXPECT_TRUE(one.RemoveFiles && one.ToggleSuspend && one.ClearAccessCount && one.FileInformation &&
                one.RefreshDeviceList);
    const auto several = FilesPopupEnabling(2, 3);
    EXPECT_TRUE(several.RemoveFiles && several.ToggleSuspend && several.ClearAccessCount);
    EXPECT_FALSE(several.FileInformation);
    EXPECT_TRUE(OpensFileInformation(1));
    EXPECT_FALSE(OpensFileInformation(2));
}

// State transitions: toggle and refresh

TEST_F(FilesListTest, ToggledMissingEntryIsSuspendedAndRefreshMakesItMissingAgain)
{
    list_.AddFiles({MakeFile("a.bin"), Folder("gone.bin")});
    list_.Refresh(false);
    ASSERT_EQ(Named("gone.bin").State, FileState::Missing);
    list_.ToggleSuspend(Ids());
    EXPECT_EQ(Named("a.bin").State, FileState::Suspended);
    EXPECT_EQ(Named("gone.bin").State, FileState::Suspended);
    list_.ToggleSuspend({Named("a.bin").Id});
    EXPECT_EQ(Named("a.bin").State, FileState::Available);
    list_.Refresh(false);
    EXPECT_EQ(Named("gone.bin").State, FileState::Missing);
}

TEST_F(FilesListTest, RefreshMarksGoneFilesMissingAndOnlyMissingOnesAvailableAgain)
{
    const std::string a = MakeFile("a.bin", 10);
    list_.AddFiles({a, MakeFile("b.bin"), MakeFile("s.bin")});
    list_.ToggleSuspend({Named("b.bin").Id, Named("s.bin").Id});
    fs::remove(a);
    fs::remove(Folder("b.bin"));
    list_.Refresh(false);
    EXPECT_EQ(Named("a.bin").State, FileState::Missing);
    EXPECT_EQ(Named("b.bin").State, FileState::Missing);
    EXPECT_EQ(Named("s.bin").State, FileState::Suspended);
    MakeFile("a.bin", 5000);
    list_.Refresh(false);
    EXPECT_EQ(Named("a.bin").State, FileState::Available);
    EXPECT_EQ(Named("a.bin").SizeText, "10 bytes") << "refresh keeps the size text";
}

TEST_F(FilesListTest, RefreshRemovingDeadEntriesStillExaminesEveryRemainingEntry)
{
    list_.AddFiles({MakeFile("a.bin"), MakeFile("b.bin"), Folder("c.bin")});
    list_.Refresh(false);
    MakeFile("c.bin");
    fs::remove(Folder("a.bin"));
    fs::remove(Folder("b.bin"));
    list_.Refresh(true);
    ASSERT_EQ(Names(), (std::vector<std::string>{"c.bin"}));
    EXPECT_EQ(Named("c.bin").State, FileState::Available);
}

// Lookups, each with its own comparison and winner

class FilesListLookupTest : public FilesListTest {
protected:
    static constexpr const char* kLowerUmlaut = "\xc3\xa4rger.bin";  // "ärger.bin"
    static constexpr const char* kUpperUmlaut = "\xc3\x84RGER.BIN";  // "ÄRGER.BIN"

    void SetUp() override
    {
        previous_ = std::setlocale(LC_ALL, nullptr);
        ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    }
    void TearDown() override { std::setlocale(LC_ALL, previous_.c_str()); }

    // Two entries named boot.bin, first from folder "z" then from "a" (list order).
    void AddTwins(std::size_t firstSize, std::size_t secondSize)
    {
        list_.AddDroppedFiles({MakeFile("z/boot.bin", firstSize)});
        list_.AddDroppedFiles({MakeFile("a/boot.bin", secondSize)});
    }

private:
    std::string previous_;
};

TEST_F(FilesListLookupTest, FindForReadIgnoresCaseTheLocaleWayAndTakesTheFirst)
{
    AddTwins(10, 20);
    list_.AddFiles({MakeFile(kLowerUmlaut)});
    EXPECT_EQ(list_.FindForRead("Boot.Bin")->Folder, Folder("z"));
    EXPECT_TRUE(list_.FindForRead(kUpperUmlaut));
    EXPECT_FALSE(list_.FindForRead("boot"));
}

TEST_F(FilesListLookupTest, SizeForRequestTakesTheLastEqualEntryWhoseFileExists)
{
    AddTwins(10, 20);
    EXPECT_EQ(list_.SizeForRequest("BOOT.bin"), std::optional<std::int64_t>(20));
    fs::remove(Folder("a/boot.bin"));
    EXPECT_EQ(list_.SizeForRequest("boot.bin"), std::optional<std::int64_t>(10));
    fs::remove(Folder("z/boot.bin"));
    EXPECT_FALSE(list_.SizeForRequest("boot.bin"));
}

TEST_F(FilesListLookupTest, SizeForRequestAndNameIsListedIgnoreOnlyAsciiCase)
{
    list_.AddFiles({MakeFile(kLowerUmlaut, 30), MakeFile("CONFIG.TXT")});
    EXPECT_FALSE(list_.SizeForRequest(kUpperUmlaut));
    EXPECT_EQ(list_.SizeForRequest("\xc3\xa4RGER.BIN"), std::optional<std::int64_t>(30));
    EXPECT_TRUE(list_.NameIsListed("Config.txt"));
    EXPECT_FALSE(list_.NameIsListed(kUpperUmlaut));
}

TEST_F(FilesListLookupTest, SizesOfTwoGibibytesAndMoreAreKept)
{
    const std::string path = MakeFile("huge.img", 0);
    fs::resize_file(path, 5368709120);  // sparse, takes no room
    list_.AddFiles({path});
    EXPECT_EQ(list_.SizeForRequest("huge.img"), std::optional<std::int64_t>(5368709120));
    EXPECT_EQ(Named("huge.img").SizeText, "5.00GB");
}

TEST_F(FilesListLookupTest, IncrementAccessCountCountsOnTheFirstEqualEntryTheLocaleWay)
{
    AddTwins(10, 20);
    list_.AddFiles({MakeFile(kLowerUmlaut)});
    list_.IncrementAccessCount("bOOT.bin");
    list_.IncrementAccessCount(kUpperUmlaut);
    const auto entries = list_.Entries();
    EXPECT_EQ(entries[0].AccessCount, 1);
    EXPECT_EQ(entries[1].AccessCount, 0);
    EXPECT_EQ(Named(kLowerUmlaut).AccessCount, 1);
}

TEST_F(FilesListLookupTest, AccessCountStopsAtItsLargestValue)
{
    FileEntry entry{"a.bin", "/srv", std::numeric_limits<std::int32_t>::max(), "Unknown", FileState::Available, 0};
    list_.InsertEntries({entry});
    list_.IncrementAccessCount("a.bin");
    EXPECT_EQ(Named("a.bin").AccessCount, std::numeric_limits<std::int32_t>::max());
}

TEST_F(FilesListLookupTest, EnterUploadRepointsTheFirstEntryOfThatNameInAsciiCase)
{
    list_.AddFiles({MakeFile("other/CONFIG.TXT", 10), MakeFile("a.bin")});
    const FileEntry before = Named("CONFIG.TXT");
    list_.IncrementAccessCount("CONFIG.TXT");
    list_.ToggleSuspend({before.Id});
    list_.EnterUpload(MakeFile("up/config.txt", 2048));
    list_.EnterUpload(MakeFile("up/b.bin"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.bin", "b.bin", "config.txt"}));
    const FileEntry after = Named("config.txt");
    EXPECT_EQ(after.Id, before.Id);
    EXPECT_EQ(after.Folder, Folder("up"));
    EXPECT_EQ(after.AccessCount, 0);
    EXPECT_EQ(after.SizeText, "2.00KB");
    EXPECT_EQ(after.State, FileState::Available);
}

// Notifications and threads

class TListReadingObserver final : public TFilesListObserver {
public:
    explicit TListReadingObserver(const TFilesList& list) : list_(list) {}
    void FilesListChanged() override { counts_.push_back(list_.Count()); }
    std::vector<std::size_t> counts_;

private:
    const TFilesList& list_;
};

TEST_F(FilesListTest, ObserverIsToldOfChangesAfterTheLockIsReleased)
{
    TListReadingObserver observer(list_);
    list_.SetObserver(&observer);
    list_.AddFiles({MakeFile("a.bin"), MakeFile("b.bin")});
    list_.IncrementAccessCount("a.bin");
    EXPECT_TRUE(list_.RemoveEntry(Ids().at(0)));
    EXPECT_EQ(observer.counts_, (std::vector<std::size_t>{2, 2, 1}));
    list_.AddFiles({MakeFile("b.bin")});
    EXPECT_EQ(observer.counts_.size(), 3u) << "nothing added, nothing to tell";
}

TEST_F(FilesListTest, LookupsFromAnotherThreadWhileTheListChanges)
{
    for (int i = 0; i < 200; ++i)
        MakeFile("many/f" + std::to_string(i));
    std::atomic<bool> done = false;
    std::thread reader([&] {
        while (!done) {
            if (const auto entry = list_.FindForRead("f7")) {
                EXPECT_EQ(entry->Name, "f7");
            }
            list_.SizeForRequest("F7");
            list_.NameIsListed("f8");
        }
    });
    for (int round = 0; round < 20; ++round) {
        list_.AddFolderContents(Folder("many"));
        list_.Refresh(false);
        list_.IncrementAccessCount("f7");
        list_.Clear();
    }
    done = true;
    reader.join();
    EXPECT_EQ(list_.Count(), 0u);
}

}  // namespace
