// One transfer from its grant to its outcome: what the client is told when a read is
// refused, what becomes of a listed file that is gone for a moment, a client that only
// wanted the size, and the connection places across Stop and Start.

#include <filesystem>
#include <stdexcept>
#include <string>

#include "engine/UnexpectedFailure.h"
#include "security/SecurityRulesFile.h"
#include "tests/app/CoreFixture.h"

using namespace std::string_literals;

namespace {

struct TRefusalCase {
    const char* Name;
    const char* Settings;
    const char* Requested;
    std::string Answer;
    const char* Status;
};

/// The folder "served" holds a.bin (listed) and sus.bin (listed, suspended); "tree" is
/// the boot tree.
const TRefusalCase kRefusals[] = {
    {"UnlistedName", "", "nothing.bin", Error(1, "File not found"), "Send error: File does not exist!"},
    {"NotInTreeEither", "TREE", "boot/none.efi", Error(1, "File not found"), "Send error: File does not exist!"},
    {"Suspended", "", "sus.bin", Error(2, "Access to sus.bin denied"), "Send error: File Suspended!"},
    {"Unauthorised", "SecurityOn=1", "a.bin", Error(2, "Access to a.bin denied"), "Send error: Unauthorised!"},
    {"UnauthorisedUnlisted", "SecurityOn=1", "nothing.bin", Error(2, "Access to nothing.bin denied"),
     "Send error: Unauthorised!"},
};

}  // namespace

class ReadRefusalTest : public CoreTest, public ::testing::WithParamInterface<TRefusalCase> {};

TEST_P(ReadRefusalTest, AnswersWithItsCodeAndLogsItsReason)
{
    const TRefusalCase& refusal = GetParam();
    const std::string settings = refusal.Settings;
    WriteSettings(settings == "TREE" ? "" : settings);
    if (settings == "TREE") {
        std::filesystem::create_directories(dir_.Path() / "tree");
        std::ofstream(dir_.Path() / "veltrane.INI", std::ios::app) << "[FileServing]\nTreeRoot="
                                                                    << (dir_.Path() / "tree").string() << "\n";
    }
    Offer("a.bin", "a");
    Offer("sus.bin", "s");
    core_->FilesList().ToggleSuspend({core_->FilesList().FindForRead("sus.bin")->Id});
    Start();
    client_.SendTo(port_, Request(1, refusal.Requested, "octet"));
    EXPECT_EQ(client_.Receive().value_or(""), refusal.Answer);
    EXPECT_EQ(LastStatus(), refusal.Status);
    EXPECT_EQ(core_->TransferLog().TransferInfoCount(), 0u);
    EXPECT_EQ(core_->ServerState().DownloadCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& test) { return std::string(test.param.Name); });

class GoneFileTest : public CoreTest, public ::testing::WithParamInterface<bool> {};

TEST_P(GoneFileTest, ListedFileGoneForAMomentFollowsRemoveDead)
{
    const bool removeDead = GetParam();
    WriteSettings(removeDead ? "RemoveDead=1" : "RemoveDead=0");
    const std::string path = Offer("gone.bin", "back again");
    Start();
    std::filesystem::rename(path, path + ".away");
    client_.SendTo(port_, Request(1, "gone.bin", "octet"));
    EXPECT_EQ(client_.Receive().value_or(""), Error(1, "File not found"));
    EXPECT_EQ(LastStatus(), "Send error: File does not exist!");
    ASSERT_EQ(core_->FilesList().Count(), removeDead ? 0u : 1u);
    if (removeDead)
        return;
    EXPECT_EQ(core_->FilesList().FindForRead("gone.bin")->State, FileState::Missing);

    std::filesystem::rename(path + ".away", path);
    core_->RefreshFilesList();
    TRawClient later;
    EXPECT_EQ(Download(later, "gone.bin"), "back again");
}

INSTANTIATE_TEST_SUITE_P(RemoveDead, GoneFileTest, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "On" : "Off"; });

TEST_F(CoreTest, SizeQueryEndedByTheClientIsAnswerNotFailure)
{
    WriteSettings("TSize=1");
    Offer("kernel", std::string(3000, 'k'));
    Start();
    for (const auto& [code, status] : {std::pair{8, "Transfer: Size query answered."},
                                       std::pair{0, "Error transfering!"}}) {
        TRawClient uefi;
        uefi.SendTo(port_, Request(1, "kernel", "octet", {{"tsize", "0"}}));
        EXPECT_EQ(uefi.Receive().value_or(""), "\x00\x06" "tsize\0" "3000\0"s);
        uefi.Reply(Error(static_cast<std::uint16_t>(code), "done"));
        ASSERT_TRUE(WaitFor([&] { return LastStatus() == status; })) << code;
        EXPECT_EQ(core_->ActivityLog().Entries().back().Icon, code == 8 ? aiInformation : aiError);
    }
    EXPECT_EQ(core_->FilesList().FindForRead("kernel")->AccessCount, 0);
    EXPECT_EQ(core_->ServerState().DownloadCount(), 0);
}

TEST_F(CoreTest, PlacesOfTheLastRunCountUntilTheyEndAcrossStopAndStart)
{
    WriteSettings("MaxDLConn=1");
    Offer("fw.bin", std::string(2000, 'f'));
    Start();
    client_.SendTo(port_, Request(1, "fw.bin", "octet"));
    ASSERT_TRUE(client_.Receive().has_value());  // DATA 1; the transfer runs on

    core_->StopServer();
    Start();
    EXPECT_EQ(core_->ServerState().DownloadCount(), 1);
    TRawClient second;
    second.SendTo(port_, Request(1, "fw.bin", "octet"));
    EXPECT_EQ(second.Receive().value_or(""), Error(2, "Access to fw.bin denied"));
    EXPECT_EQ(LastStatus(), "Send error: Max connections reached!");

    client_.Reply(Error(0, "enough"));  // the first run's transfer ends
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(WaitFor([&] { return Statuses().front() == "Error transfering!"; }));
    EXPECT_EQ(core_->ServerState().DownloadCount(), 0);
    TRawClient third;
    EXPECT_EQ(Download(third, "fw.bin"), std::string(2000, 'f'));
}

TEST_F(CoreTest, FailureNobodyExpectedBecomesAnErrorEntry)
{
    WriteSettings("");
    Create();
    try {
        throw std::runtime_error("boom");
    } catch (...) {
        ReportUnexpectedFailure("a test");
    }
    EXPECT_EQ(LastStatus(), "Application: Unexpected failure in a test: boom");
    EXPECT_EQ(core_->ActivityLog().Entries().back().Icon, aiError);
}
