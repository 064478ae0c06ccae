#include "core/BootTree.h"

#include <filesystem>
#include <optional>
#include <string>
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
    const int fd = file.Release();
    std::string content;
    char buffer[256];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        content.append(buffer, static_cast<std::size_t>(got));
    ::close(fd);
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
    ASSERT_EQ(::mkfifo((tree / "fifo").c_str(), 0644), 0);
    for (const char* refused : {"abs-link", "rel-link", "dir-link/secret", "rel-dir-link/secret", "magic-link",
                                "fifo", "../outside/secret", "pxelinux.cfg/../../outside/secret"})
        EXPECT_FALSE(Open(refused)) << refused;
}

TEST_P(BootTreeTest, OffWhenTheRootIsEmptyOrMissing)
{
    EXPECT_FALSE(TBootTree("", GetParam()).Open("pxelinux.0"));
    EXPECT_FALSE(TBootTree((dir_.Path() / "none").string(), GetParam()).Open("pxelinux.0"));
    EXPECT_TRUE(Open("pxelinux.0"));
}

INSTANTIATE_TEST_SUITE_P(Resolvers, BootTreeTest,
                         ::testing::Values(TBootTree::TResolver::Beneath, TBootTree::TResolver::ComponentWalk));
