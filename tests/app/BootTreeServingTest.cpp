// Read requests that the files list does not grant, served from the boot tree.

#include <filesystem>
#include <string>

#include "security/SecurityRulesFile.h"
#include "tests/app/CoreFixture.h"

namespace fs = std::filesystem;

class BootTreeServingTest : public CoreTest {
protected:
    /// A tree with a pxelinux-like layout, named by "TreeRoot" in the settings file.
    void MakeTree(const std::string& tftpKeys = {})
    {
        tree_ = dir_.Path() / "tree";
        fs::create_directories(tree_ / "pxelinux.cfg");
        fs::create_directories(tree_ / "boot" / "x64");
        dir_.WriteFile("tree/pxelinux.0", std::string(1300, 'p'));
        dir_.WriteFile("tree/pxelinux.cfg/default", "default linux\n");
        dir_.WriteFile("tree/boot/x64/a.efi", std::string(700, 'e'));
        WriteSettings(tftpKeys);
        std::ofstream(dir_.Path() / "veltrane.INI", std::ios::app) << "[FileServing]\nTreeRoot=" << tree_.string()
                                                                    << "\n";
    }

    fs::path tree_;
};

TEST_F(BootTreeServingTest, ServesTreeFilesWithTheirFullPathAndNoListEntry)
{
    MakeTree();
    Start();  // an empty files list: the tree is enough to start
    EXPECT_EQ(Download(client_, "\\pxelinux.cfg\\default"), "default linux\n");
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(WaitFor([&] { return LastStatus() == "Transfer: Send file complete."; }));
    const auto entries = core_->ActivityLog().Entries();
    EXPECT_EQ(entries.back().FileName, (tree_ / "pxelinux.cfg" / "default").string());
    EXPECT_EQ(core_->FilesList().Count(), 0u);

    EXPECT_EQ(Download(client_, "pxelinux.cfg/01-aa-bb-cc-dd-ee-ff"), std::nullopt);
    EXPECT_EQ(LastStatus(), "Send error: File does not exist!");
    EXPECT_EQ(Download(client_, "pxelinux.cfg/../../veltrane.INI"), std::nullopt);
    EXPECT_EQ(LastStatus(), "Send error: File does not exist!");
}

TEST_F(BootTreeServingTest, AListedFileWinsAndTreeDownloadsAreNotCounted)
{
    MakeTree();
    Offer("pxelinux.0", "listed");
    Offer("default", "listed default");
    Start();
    EXPECT_EQ(Download(client_, "pxelinux.0"), "listed");
    ASSERT_TRUE(WaitFor([&] { return LastStatus() == "Transfer: Send file complete."; }));
    EXPECT_EQ(Download(client_, "/pxelinux.cfg/default"), "default linux\n");
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(WaitFor([&] { return LastStatus() == "Transfer: Send file complete."; }));
    for (const FileEntry& entry : core_->FilesList().Entries())
        EXPECT_EQ(entry.AccessCount, entry.Name == "pxelinux.0" ? 1 : 0) << entry.Name;
}

TEST_F(BootTreeServingTest, TreeFilesAnswerTsizeAndFollowTheRules)
{
    MakeTree("SecurityOn=1");
    SaveSecurityRules(dir_.Path() / "veltrane.SEC",
                      {TSecurityRule{"10.9.9.9", "255.255.255.255", rkAddress, arReadWrite}});
    Start();
    client_.SendTo(port_, Request(1, "boot/x64/a.efi", "octet"));
    EXPECT_EQ(*client_.Receive(), Error(2, "Access to boot/x64/a.efi denied"));
    EXPECT_EQ(LastStatus(), "Send error: Unauthorised!");

    SaveSecurityRules(dir_.Path() / "veltrane.SEC", {TSecurityRule{"127.0.0.0", "255.0.0.0", rkSubnet, arRead}});
    core_->ReapplyAfterConfiguration();
    client_.SendTo(port_, Request(1, "boot/x64/a.efi", "octet", {{"tsize", "0"}}));
    const auto oack = client_.Receive();
    ASSERT_TRUE(oack.has_value());
    EXPECT_EQ(Opcode(*oack), 6);
    EXPECT_NE(oack->find(std::string("tsize\0" "700\0", 10)), std::string::npos);
    client_.Reply(Error(0, "enough"));
}

TEST_F(BootTreeServingTest, DownloadLimitCountsTreeTransfers)
{
    MakeTree("MaxDLConn=1");
    Start();
    client_.SendTo(port_, Request(1, "pxelinux.0", "octet"));
    ASSERT_TRUE(client_.Receive().has_value());  // DATA 1, left unanswered
    TRawClient second;
    second.SendTo(port_, Request(1, "pxelinux.cfg/default", "octet"));
    EXPECT_EQ(*second.Receive(), Error(2, "Access to pxelinux.cfg/default denied"));
    EXPECT_EQ(LastStatus(), "Send error: Max connections reached!");
    client_.Reply(Error(0, "enough"));
}

TEST_F(BootTreeServingTest, AbsoluteLinkInsideIsServedAndOneLeadingOutIsRefusedAsSuch)
{
    MakeTree();
    fs::create_symlink(tree_ / "pxelinux.0", tree_ / "boot" / "loader");
    fs::create_symlink(dir_.Path() / "veltrane.INI", tree_ / "boot" / "settings");
    Start();
    EXPECT_EQ(Download(client_, "boot/loader"), std::string(1300, 'p'));
    ASSERT_TRUE(WaitFor([&] { return LastStatus() == "Transfer: Send file complete."; }));
    client_.SendTo(port_, Request(1, "boot/settings", "octet"));
    EXPECT_EQ(*client_.Receive(), Error(2, "Access to boot/settings denied"));
    EXPECT_EQ(LastStatus(), "Send error: Link leaves the boot tree!");
}
