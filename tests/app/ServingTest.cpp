#include <algorithm>

#include <gtest/gtest.h>

#include "core/RequestHandlers.h"
#include "security/SecurityRulesFile.h"
#include "tests/app/CoreFixture.h"
#include "tests/support/AnyFreePort.h"

using namespace std::string_literals;

class ReadRequestTest : public CoreTest {};

TEST_F(ReadRequestTest, RefusalsAreLoggedWithTheirReason)
{
    WriteSettings("MaxDLConn=1");
    const std::string path = Offer("boot.bin", "firmware");
    Start();
    client_.SendTo(port_, Request(1, "nothing.bin", "octet"));
    ASSERT_TRUE(client_.Receive().has_value());
    EXPECT_EQ(LastStatus(), "Send error: File does not exist!");
    EXPECT_EQ(core_->TransferLog().TransferInfoCount(), 0u);  // refused records are dropped

    const auto entry = core_->FilesList().FindForRead("boot.bin");
    core_->FilesList().ToggleSuspend({entry->Id});
    client_.SendTo(port_, Request(1, "boot.bin", "octet"));
    EXPECT_EQ(*client_.Receive(), Error(2, "Access to boot.bin denied"));
    EXPECT_EQ(LastStatus(), "Send error: File Suspended!");

    core_->FilesList().ToggleSuspend({entry->Id});
    EXPECT_EQ(Download(client_, "boot.bin"), "firmware");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(LastStatus(), "Transfer: Send file complete.");
    EXPECT_EQ(core_->ActivityLog().Entries().back().FileName, path);
    EXPECT_EQ(core_->FilesList().FindForRead("boot.bin")->AccessCount, 1);
}

TEST_F(ReadRequestTest, SecondDownloadBeyondTheLimitIsRefusedThenServed)
{
    WriteSettings("MaxDLConn=1");
    Offer("a.bin", std::string(2000, 'a'));
    Start();
    client_.SendTo(port_, Request(1, "a.bin", "octet"));
    const auto first = client_.Receive();
    ASSERT_TRUE(first.has_value());

    TRawClient second;
    second.SendTo(port_, Request(1, "a.bin", "octet"));
    EXPECT_EQ(*second.Receive(), Error(2, "Access to a.bin denied"));
    EXPECT_EQ(LastStatus(), "Send error: Max connections reached!");
    EXPECT_EQ(core_->ServerState().CountText(), "Connection count: 1");

    EXPECT_EQ(TTftpTestClient(client_).DownloadFrom(first), std::string(2000, 'a'));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Download(second, "a.bin"), std::string(2000, 'a'));
}

TEST_F(ReadRequestTest, ClientSpellingFindsTheEntrysOwnFile)
{
    WriteSettings("");
    const std::string path = Offer("boot.bin", "lower");
    Start();
    EXPECT_EQ(Download(client_, "BOOT.BIN"), "lower");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(core_->FilesList().Count(), 1u);
    const auto entries = core_->ActivityLog().Entries();
    EXPECT_EQ(entries.back().FileName, path);
    EXPECT_EQ(entries.back().Status, "Transfer: Send file complete.");
}

TEST_F(ReadRequestTest, SizeIsOfferedOnlyWithTSizeOn)
{
    WriteSettings("TSize=1");
    Offer("s.bin", std::string(1234, 's'));
    Start();
    client_.SendTo(port_, Request(1, "s.bin", "octet", {{"tsize", "0"}}));
    EXPECT_EQ(*client_.Receive(), "\x00\x06" "tsize\0" "1234\0"s);
    client_.Reply(Error(0, "enough"));
    ASSERT_TRUE(WaitIdle());

    WriteSettings("TSize=0");
    core_->ReapplyAfterConfiguration();
    client_.SendTo(port_, Request(1, "s.bin", "octet", {{"tsize", "0"}}));
    const auto first = client_.Receive();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(Opcode(*first), 3);  // straight to DATA 1: no size to acknowledge
    const auto record = core_->TransferLog().TransferInfo({"127.0.0.1", client_.LocalPort()});
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->TotalSize, 1234);  // the record still knows the size
    client_.Reply(Error(0, "enough"));
}

TEST_F(ReadRequestTest, SecurityRulesRefuseReadsAndWrites)
{
    WriteSettings("SecurityOn=1", "Accept=1");
    SaveSecurityRules(dir_.Path() / "veltrane.SEC",
                      {TSecurityRule{"10.9.9.9", "255.255.255.255", rkAddress, arReadWrite}});
    Offer("f.bin", "x");
    Start();
    client_.SendTo(port_, Request(1, "f.bin", "octet"));
    EXPECT_EQ(*client_.Receive(), Error(2, "Access to f.bin denied"));
    EXPECT_EQ(LastStatus(), "Send error: Unauthorised!");
    client_.SendTo(port_, Request(2, "up.bin", "octet"));
    EXPECT_EQ(*client_.Receive(), Error(2, "Access to up.bin denied"));
    EXPECT_EQ(LastStatus(), "Receive error: Unauthorised!");

    SaveSecurityRules(dir_.Path() / "veltrane.SEC",
                      {TSecurityRule{"127.0.0.0", "255.0.0.0", rkSubnet, arRead}});
    core_->ReapplyAfterConfiguration();
    EXPECT_EQ(Download(client_, "f.bin"), "x");
}

TEST_F(ReadRequestTest, EachRuleCountsTheRequestsItDecidedSinceTheServerStarted)
{
    WriteSettings("SecurityOn=1", "Accept=1");
    SaveSecurityRules(dir_.Path() / "veltrane.SEC",
                      {TSecurityRule{"10.9.9.9", "255.255.255.255", rkAddress, arReadWrite},
                       TSecurityRule{"127.0.0.0", "255.0.0.0", rkSubnet, arRead}});
    Offer("f.bin", "x");
    Start();
    EXPECT_EQ(Download(client_, "f.bin"), "x");
    client_.SendTo(port_, Request(2, "up.bin", "octet"));
    EXPECT_EQ(*client_.Receive(), Error(2, "Access to up.bin denied"));
    EXPECT_EQ(core_->SecurityRules().HitCounts().Hits, (std::vector<std::uint64_t>{0, 2}));

    core_->StopServer();
    Start();
    EXPECT_EQ(core_->SecurityRules().HitCounts().Hits, (std::vector<std::uint64_t>{0, 0}));
}

TEST_F(ReadRequestTest, IPv6RulesNeverAdmitAnIPv4Client)
{
    WriteSettings("SecurityOn=1");
    dir_.WriteFile("veltrane.SE6", "prefix ::/0 readwrite\nprefix ::ffff:0:0/96 readwrite\n");
    Offer("f.bin", "x");
    Start();
    client_.SendTo(port_, Request(1, "f.bin", "octet"));
    EXPECT_EQ(*client_.Receive(), Error(2, "Access to f.bin denied"));
}

TEST_F(ReadRequestTest, DamagedIPv6RuleLinesAreReportedOncePerLoad)
{
    WriteSettings("SecurityOn=1");
    dir_.WriteFile("veltrane.SE6", "address ::1 read\nrubbish\n# fine\nprefix ::/200 read\n");
    Create();
    const auto statuses = Statuses();
    const std::string report = "Application: Damaged IPv6 security rules skipped (lines 2, 4)!";
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), report), 1);
    const TIPv6Rule kept{*ParseIPv6Address("::1"), 128, rkAddress, arRead};
    EXPECT_EQ(*core_->SecurityRules().SnapshotIPv6(), TIPv6RuleList{kept});
}

TEST_F(ReadRequestTest, UnreadableIPv6RulesAreReportedOnceAndIPv4RulesStillServe)
{
    WriteSettings("SecurityOn=1");
    SaveSecurityRules(dir_.Path() / "veltrane.SEC",
                      {TSecurityRule{"127.0.0.1", "255.255.255.255", rkAddress, arRead}});
    std::filesystem::create_directory(dir_.Path() / "veltrane.SE6");
    Offer("f.bin", "x");
    Start();
    const auto statuses = Statuses();
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Application: Error loading security rules!"), 1);
    EXPECT_EQ(Download(client_, "f.bin"), "x");
}

class WriteRequestTest : public CoreTest {};

TEST_F(WriteRequestTest, UploadsNeedAcceptAndAFolder)
{
    WriteSettings("MaxULConn=1", "Accept=0");
    Offer("any.bin", "x");
    Start();
    EXPECT_EQ(Upload(client_, "up.bin", "data"), 5);
    EXPECT_EQ(LastStatus(), "Receive error: Unauthorised!");

    WriteSettings("", "Accept=1");
    core_->ReapplyAfterConfiguration();
    EXPECT_EQ(Upload(client_, "up.bin", "data"), 4);  // the missing folder is made
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(LastStatus(), "Transfer: Receive file complete.");
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "uploads" / "up.bin"), "data");

    WriteSettings("", "Accept=1", "", dir_.Path() / "no" / "such");
    core_->ReapplyAfterConfiguration();
    EXPECT_EQ(Upload(client_, "other.bin", "data"), 5);
    EXPECT_EQ(LastStatus(), "Receive error: Upload folder not found!");
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "no"));
}

TEST_F(WriteRequestTest, ExistingNamesNeedOverwrite)
{
    WriteSettings("", "Accept=1\nOverwrite=0");
    Offer("CONFIG.TXT", "listed", "elsewhere");
    Start();
    EXPECT_EQ(Upload(client_, "Config.txt", "new"), 5);
    EXPECT_EQ(LastStatus(), "Receive error: File Already Exists!");
    Offer("same.txt", "old", "uploads");
    EXPECT_EQ(Upload(client_, "same.txt", "new"), 5);
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "uploads" / "same.txt"), "old");

    WriteSettings("", "Accept=1\nOverwrite=1");
    core_->ReapplyAfterConfiguration();
    EXPECT_EQ(Upload(client_, "same.txt", "new"), 4);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "uploads" / "same.txt"), "new");
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "elsewhere" / "CONFIG.TXT"), "listed");
}

TEST_F(WriteRequestTest, NamesThatLeaveTheFolderAreRefused)
{
    WriteSettings("", "Accept=1\nOverwrite=1");
    Start();
    for (const std::string& name : {"../x"s, "/etc/x"s, "a/b"s, ".."s, "."s, ""s, "a\\b"s, "line\nbreak"s, "bell\x07"s}) {
        EXPECT_EQ(Upload(client_, name, "evil"), 5) << name;
        EXPECT_EQ(LastStatus(), "Receive error: Invalid file name!") << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "x"));
    EXPECT_EQ(core_->ServerState().UploadCount(), 0);
}

TEST_F(WriteRequestTest, CompletedUploadReplacesTheListedEntryOnlyWithAddNewAndOverwrite)
{
    WriteSettings("", "Accept=1\nOverwrite=1\nAddNew=1");
    Offer("fw.bin", "old", "elsewhere");
    Start();
    EXPECT_EQ(Upload(client_, "FW.BIN", "new"), 4);
    ASSERT_TRUE(WaitIdle());
    const auto entries = core_->FilesList().Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Folder, (dir_.Path() / "uploads").string());
    EXPECT_EQ(entries[0].AccessCount, 0);
}

TEST_F(WriteRequestTest, UploadThatStopsHalfWayLeavesTheOldFileWhole)
{
    WriteSettings("", "Accept=1\nOverwrite=1");
    Offer("keep.bin", "precious", "uploads");
    Start();
    client_.SendTo(port_, Request(2, "keep.bin", "octet", {{"timeout", "1"}}));
    EXPECT_EQ(*client_.Receive(), "\x00\x06" "timeout\0" "1\0"s);
    client_.Reply(Data(1, std::string(512, 'p')));
    EXPECT_EQ(*client_.Receive(), Ack(1));
    // The client goes silent: three sends of ACK 1, then "Timeout".
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(LastStatus(), "Error transfering!");
    EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "uploads" / "keep.bin"), "precious");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(dir_.Path() / "uploads"))
        ++files;
    EXPECT_EQ(files, 1u);  // no temporary file left behind
}

TEST_F(WriteRequestTest, UploadShorterThanItsAnnouncedSizeIsNotKept)
{
    WriteSettings("", "Accept=1");
    Start();
    client_.SendTo(port_, Request(2, "short.bin", "octet", {{"tsize", "1000"}}));
    EXPECT_EQ(*client_.Receive(), "\x00\x06" "tsize\0" "1000\0"s);
    client_.Reply(Data(1, std::string(512, 'a')));
    EXPECT_EQ(*client_.Receive(), Ack(1));
    client_.Reply(Data(2, std::string(10, 'b')));  // 522 bytes, not the 1000 announced
    EXPECT_EQ(*client_.Receive(), Error(0, "Size mismatch: 522 bytes received, 1000 announced"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(LastStatus(), "Error transfering!");
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "uploads" / "short.bin"));
}

class ServerControlTest : public CoreTest {};

TEST_F(ServerControlTest, StartNeedsAFileOrAcceptedUploads)
{
    WriteSettings("");
    core_ = std::make_unique<TApplicationCore>(TProgramPaths(dir_.Path()));
    core_->Startup();
    const TStartResult refused = core_->StartServer();
    EXPECT_EQ(refused.Outcome, TStartResult::TOutcome::NoFileAvailable);
    EXPECT_EQ(refused.Message, "No file available.\rPlease add at least one file first or accept incoming files.");
    EXPECT_EQ(core_->ServerState().StateText(), "Stopped.");
    EXPECT_FALSE(core_->ServerActive());
}

TEST_F(ServerControlTest, StopWaitsForRunningTransfersBeforeStopped)
{
    WriteSettings("MaxDLConn=5");
    Offer("a.bin", std::string(1000, 'a'));
    Start();
    TRawClient other;
    client_.SendTo(port_, Request(1, "a.bin", "octet"));
    other.SendTo(port_, Request(1, "a.bin", "octet"));
    ASSERT_TRUE(client_.Receive().has_value());
    ASSERT_TRUE(other.Receive().has_value());
    EXPECT_EQ(core_->ServerState().StateText(), "Started.");
    core_->StopServer();
    EXPECT_EQ(core_->ServerState().StateText(), "Stopping...");

    for (TRawClient* peer : {&client_, &other}) {
        peer->Reply(Ack(1));
        ASSERT_TRUE(peer->Receive().has_value());
        peer->Reply(Ack(2));
        if (peer == &client_) {
            ASSERT_TRUE(WaitFor([&] { return core_->ServerState().CountText() == "Connection count: 1"; }));
            EXPECT_EQ(core_->ServerState().StateText(), "Stopping...");
        }
    }
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(core_->ServerState().StateText(), "Stopped.");
    EXPECT_EQ(core_->ServerState().CountText(), "Connection count: 0");
}

TEST_F(ServerControlTest, ShutdownStopsListeningAndEndsRunningTransfers)
{
    WriteSettings("MaxDLConn=5");
    Offer("a.bin", std::string(1000, 'a'));
    Start();
    client_.SendTo(port_, Request(1, "a.bin", "octet"));
    ASSERT_TRUE(client_.Receive().has_value());
    core_->Shutdown();
    core_->Shutdown();
    EXPECT_FALSE(core_->ServerActive());
    EXPECT_EQ(core_->Engine().SessionCount(), 0u);
    const auto told = client_.Receive();  // the running transfer is told it ends
    ASSERT_TRUE(told.has_value());
    EXPECT_EQ(Opcode(*told), 5);

    EXPECT_TRUE(PortIsFree(port_));  // nothing listens there any more
}

TEST_F(ServerControlTest, FinishedTransfersAreWrittenToTheLogFile)
{
    WriteSettings("", "", "Log=1\nLogFormat=0");
    Offer("a.bin", "abc");
    Start();
    client_.SendTo(port_, Request(1, "nothing", "octet"));
    ASSERT_TRUE(client_.Receive().has_value());
    EXPECT_EQ(Download(client_, "a.bin"), "abc");
    ASSERT_TRUE(WaitIdle());
    const std::string log = TTempDir::ReadFile(dir_.Path() / "vltrnlog.log");
    EXPECT_NE(log.find("Transfer: Send file complete."), std::string::npos) << log;
    EXPECT_EQ(log.find("Send error"), std::string::npos) << log;  // refusals are not logged
}

namespace {

/// Records the timer calls of the start-up sequence; ignores the rest.
class TTimerObserver : public TQuietApplicationObserver {
public:
    void AutoRefreshTimerChanged(bool enabled, int periodMs) override { timer = {enabled, periodMs}; }
    std::optional<std::pair<bool, int>> timer;
};

}  // namespace

TEST_F(ServerControlTest, StartupOpensTheLastListStartsAndArmsTheTimer)
{
    const std::string served = Offer("boot.bin", "x");
    const std::string document = (dir_.Path() / "last.vlt").string();
    core_->SaveFilesListCommand(document);
    core_.reset();
    WriteSettings("LoadOnStartup=1\nAutoStartTFTP=1\nAutoRefresh=1\nAutoRefreshInterval=5");
    std::ofstream(dir_.Path() / "veltrane.INI", std::ios::app) << "[Lasted Saved]\nFile=" << document << "\n";

    TTimerObserver observer;
    core_ = std::make_unique<TApplicationCore>(TProgramPaths(dir_.Path()));
    core_->Settings().SetOverrides(AnyFreePort());
    core_->SetObserver(&observer);
    EXPECT_FALSE(core_->Startup().has_value());
    EXPECT_TRUE(core_->ServerActive());
    EXPECT_EQ(core_->FilesList().Count(), 1u);
    EXPECT_EQ(observer.timer, std::make_pair(true, 300000));
    core_->SetObserver(nullptr);
}

TEST_F(ServerControlTest, AutomaticStartThatCannotBindEndsTheStartup)
{
    TRawClient holder;  // any UDP port that is taken
    Offer("boot.bin", "x");
    const std::string document = (dir_.Path() / "last.vlt").string();
    core_->SaveFilesListCommand(document);
    core_.reset();
    WriteSettings("LoadOnStartup=1\nAutoStartTFTP=1\nAutoRefresh=1\nPort=" + std::to_string(holder.LocalPort()));
    std::ofstream(dir_.Path() / "veltrane.INI", std::ios::app) << "[Lasted Saved]\nFile=" << document << "\n";

    TTimerObserver observer;
    core_ = std::make_unique<TApplicationCore>(TProgramPaths(dir_.Path()));
    core_->SetObserver(&observer);
    const auto refused = core_->Startup();
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->Outcome, TStartResult::TOutcome::BindFailed);
    EXPECT_EQ(refused->Message, "Could not bind socket. Address and port are already in use.");
    EXPECT_FALSE(observer.timer.has_value());
    core_->SetObserver(nullptr);
}

TEST(UploadNameTest, OnlyPlainNamesAreSafe)
{
    EXPECT_TRUE(IsSafeUploadName("config.txt"));
    EXPECT_TRUE(IsSafeUploadName("..hidden"));
    EXPECT_TRUE(IsSafeUploadName("name with blanks"));
    for (const std::string& bad : {""s, "."s, ".."s, "a/b"s, "a\\b"s, "tab\there"s, "del\x7F"s})
        EXPECT_FALSE(IsSafeUploadName(bad)) << bad;
}
