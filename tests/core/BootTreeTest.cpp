#include "core/BootTree.h"

#include <atomic>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

/// The content read through a tree file's descriptor.
std::string Content(TTreeFile file)
{
    const TUniqueFd fd = file.TakeFd();
    std::string content;
    char buffer[256];
    for (ssize_t got; (got = ::read(fd.Get(), buffer, sizeof buffer)) > 0;)
        content.append(buffer, static_cast<std::size_t>(got));
    return content;
}

}  // namespace

TEST(BootTreePathTest, NormalisesWhatBootLoadersSend)
{
    EXPECT_EQ(TBootTree::RelativePath("pxelinux.cfg/default"), "pxelinux.cfg/default");
    EXPECT_EQ(TBootTree::RelativePath("/grub/grub.cfg"), "grub/grub.cfg");
    EXPECT_EQ(TBootTree::RelativePath("\\boot\\x64\\a.efi"), "boot/x64/a.efi");
    EXPECT_EQ(TBootTree::RelativePath("//a/./b//c/."), "a/b/c");
    EXPECT_EQ(TBootTree::RelativePath("..a/b..c"), "..a/b..c");
}

TEST(BootTreePathTest, RefusesUpwardsControlBytesAndNothing)
{
    for (const std::string& refused : std::vector<std::string>{"../etc/passwd", "pxelinux.cfg/../../x", "a/..", "..\\x", "a\\..\\b",
                                      std::string("a\0b", 3), "a\nb", "a\x7F", "", "/", "./.", "\\"})
        EXPECT_EQ(TBootTree::RelativePath(refused), std::nullopt) << refused;
}

class BootTreeTest : public ::testing::TestWithParam<TBootTree::TResolver> {
protected:
    void SetUp() override
    {
        fs::create_directories(dir_.Path() / "tree" / "pxelinux.cfg");
        fs::create_directories(dir_.Path() / "outside");
        dir_.WriteFile("tree/pxelinux.cfg/default", "menu");
        dir_.WriteFile("tree/pxelinux.0", "loader");
        dir_.WriteFile("outside/secret", "secret");
    }

    std::optional<TTreeFile> Open(const std::string& name) const
    {
        return TBootTree((dir_.Path() / "tree").string() + "/", GetParam()).Open(name);
    }

    TTreeLookup Lookup(const std::string& name) const
    {
        return TBootTree((dir_.Path() / "tree").string(), GetParam()).Lookup(name);
    }

    TTreeFile Served(const std::string& name) const
    {
        TTreeLookup lookup = Lookup(name);
        EXPECT_EQ(lookup.Outcome, TTreeOutcome::Served) << name;
        if (!lookup.File)
            throw std::runtime_error(name + " was not served");
        return std::move(*lookup.File);
    }

    TTempDir dir_;
};

TEST_P(BootTreeTest, OpensRegularFilesBeneathTheRootWithTheirFullPath)
{
    auto file = Open("\\pxelinux.cfg\\default");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Path(), (dir_.Path() / "tree" / "pxelinux.cfg" / "default").string());
    EXPECT_EQ(file->Size(), 4);
    EXPECT_EQ(Content(std::move(*file)), "menu");
    EXPECT_FALSE(Open("pxelinux.cfg/01-aa-bb-cc-dd-ee-ff"));
    EXPECT_FALSE(Open("pxelinux.cfg"));
}

TEST_P(BootTreeTest, NoLinkLeadsOutAndOnlyRegularFilesOpen)
{
    const fs::path tree = dir_.Path() / "tree";
    fs::create_symlink(dir_.Path() / "outside" / "secret", tree / "abs-link");
    fs::create_symlink("../outside/secret", tree / "rel-link");
    fs::create_directory_symlink(dir_.Path() / "outside", tree / "dir-link");
    fs::create_directory_symlink("../outside", tree / "rel-dir-link");
    fs::create_symlink("/proc/self/root/etc/hostname", tree / "magic-link");
    fs::create_symlink("/etc/hostname", tree / "etc-link");
    fs::create_symlink("pxelinux.cfg/../../outside/secret", tree / "chain-out");
    fs::create_symlink("chain-out", tree / "chain-to-chain");
    fs::create_symlink(tree.string() + "/../outside/secret", tree / "abs-via-root");
    fs::create_symlink("loop-b", tree / "loop-a");
    fs::create_symlink("loop-a", tree / "loop-b");
    fs::create_symlink("pxelinux.cfg", tree / "link-to-dir");
    ASSERT_EQ(::mkfifo((tree / "fifo").c_str(), 0644), 0);
    using enum TTreeOutcome;
    const std::vector<std::pair<std::string, TTreeOutcome>> refused{
        {"abs-link", LinkLeavesTree},       {"rel-link", LinkLeavesTree},
        {"dir-link/secret", LinkLeavesTree}, {"rel-dir-link/secret", LinkLeavesTree},
        {"magic-link", LinkLeavesTree},     {"etc-link", LinkLeavesTree},
        {"chain-to-chain", LinkLeavesTree}, {"abs-via-root", LinkLeavesTree},
        {"loop-a", DoesNotExist},           {"link-to-dir", DoesNotExist},
        {"fifo", DoesNotExist},             {"../outside/secret", DoesNotExist},
        {"pxelinux.cfg/../../outside/secret", DoesNotExist}};
    for (const auto& [name, outcome] : refused) {
        const TTreeLookup lookup = Lookup(name);
        EXPECT_EQ(lookup.Outcome, outcome) << name;
        EXPECT_FALSE(lookup.File) << name;
    }
}

TEST_P(BootTreeTest, FollowsLinksThatStayInTheTree)
{
    const fs::path tree = dir_.Path() / "tree";
    fs::create_directories(tree / "bios");
    fs::create_symlink(tree / "pxelinux.0", tree / "bios" / "abs-link");
    fs::create_symlink("../pxelinux.0", tree / "bios" / "rel-link");
    fs::create_symlink("rel-link", tree / "bios" / "chain");
    fs::create_directory_symlink(tree / "pxelinux.cfg", tree / "bios" / "cfg");
    fs::create_directory_symlink("..", tree / "bios" / "up");
    fs::create_directory_symlink(tree, dir_.Path() / "tree-link");
    fs::create_symlink(dir_.Path() / "tree-link" / "pxelinux.0", tree / "via-root-link");
    for (const char* served : {"bios/abs-link", "bios/rel-link", "bios/chain", "bios/up/pxelinux.0"})
        EXPECT_EQ(Content(Served(served)), "loader") << served;
    EXPECT_EQ(Content(Served("bios/cfg/default")), "menu");
    // A root named through a link takes absolute links written with either name.
    const TBootTree linkedRoot((dir_.Path() / "tree-link").string(), GetParam());
    EXPECT_EQ(linkedRoot.Lookup("bios/abs-link").Outcome, TTreeOutcome::Served);
    EXPECT_EQ(linkedRoot.Lookup("via-root-link").Outcome, TTreeOutcome::Served);
    EXPECT_EQ(Lookup("bios/up/up").Outcome, TTreeOutcome::DoesNotExist);
}

/// A link that is swapped for one leading out while requests keep coming is never followed
/// out: every lookup either serves the file of the tree or is refused.
TEST_P(BootTreeTest, ALinkSwappedMidLookupNeverLeadsOut)
{
    const fs::path tree = dir_.Path() / "tree";
    fs::create_symlink(tree / "pxelinux.0", tree / "inside");
    fs::create_symlink(dir_.Path() / "outside" / "secret", tree / "outside");
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        for (int i = 0; i < 2000 && !stop; ++i) {
            fs::create_symlink(i % 2 ? tree / "pxelinux.0" : dir_.Path() / "outside" / "secret", tree / "next");
            fs::rename(tree / "next", tree / "racing");
        }
    });
    for (int i = 0; i < 2000; ++i) {
        if (auto file = Lookup("racing").File) {
            EXPECT_EQ(Content(std::move(*file)), "loader");
        }
    }
    stop = true;
    swapper.join();
}

TEST_P(BootTreeTest, OffWhenTheRootIsEmptyOrMissing)
{
    EXPECT_FALSE(TBootTree("", GetParam()).Open("pxelinux.0"));
    EXPECT_FALSE(TBootTree((dir_.Path() / "none").string(), GetParam()).Open("pxelinux.0"));
    EXPECT_TRUE(Open("pxelinux.0"));
}

INSTANTIATE_TEST_SUITE_P(Resolvers, BootTreeTest,
                         ::testing::Values(TBootTree::TResolver::Beneath, TBootTree::TResolver::ComponentWalk));
