// A client's next transfer right after its last one: the place of a finished transfer is
// free at once, even while its session waits out a repeat of the final block and its
// report waits for a busy main thread; a transfer that could not start frees it too.

#include <cstring>
#include <system_error>
#include <thread>

#include <gtest/gtest.h>

#include "engine/TFTPServerThread.h"
#include "tests/app/CoreFixture.h"
#include "tests/support/FakeMainThread.h"


using namespace std::string_literals;

class BackToBackTest : public CoreTest {
protected:
    void StartBusy()
    {
        if (!core_)
            Create();
        core_->SetMainThreadBridge(&mainThread_);
        Start();
    }
    // The core goes first: its sessions post to the main thread until they are joined.
    void TearDown() override { core_.reset(); }

    // A busy main thread: every report is handled a while after it was posted.
    TFakeMainThread mainThread_{std::chrono::milliseconds(300)};
};

TEST_F(BackToBackTest, NextDownloadRightAfterTheLastIsServedWithOnePlace)
{
    WriteSettings("MaxDLConn=1");
    Offer("fw.bin", std::string(700, 'f'));
    StartBusy();
    for (int i = 0; i < 5; ++i) {
        TRawClient client;  // a new port each time, as clients do
        EXPECT_EQ(Download(client, "fw.bin"), std::string(700, 'f')) << i;
    }
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(WaitFor([&] { return LastStatus() == "Transfer: Send file complete."; }));
    EXPECT_EQ(core_->ServerState().DownloadCount(), 0);
}

TEST_F(BackToBackTest, NextUploadRightAfterTheLastIsServedWithOnePlace)
{
    WriteSettings("MaxULConn=1", "Accept=1");
    StartBusy();
    for (const std::string name : {"a.cfg", "b.cfg", "c.cfg"}) {
        TRawClient client;
        EXPECT_EQ(Upload(client, name, "config " + name), 4) << name;
    }
    ASSERT_TRUE(WaitIdle());
    for (const std::string name : {"a.cfg", "b.cfg", "c.cfg"})
        EXPECT_EQ(TTempDir::ReadFile(dir_.Path() / "uploads" / name), "config " + name);
    EXPECT_EQ(core_->ServerState().UploadCount(), 0);
    for (const std::string& status : Statuses())
        EXPECT_EQ(status, "Transfer: Receive file complete.");
}

TEST_F(BackToBackTest, SessionThatCannotStartGivesItsPlaceBackAndFinishesItsEntry)
{
    WriteSettings("MaxDLConn=1");
    Offer("fw.bin", "firmware");
    std::atomic<int> failures{1};
    core_->Engine().SetSessionStarter([&](TTFTPServerThread& session) {
        if (failures-- > 0)
            throw std::system_error(EAGAIN, std::generic_category(), "cannot start a thread");
        session.Start();
    });
    StartBusy();
    client_.SendTo(port_, Request(1, "fw.bin", "octet"));
    EXPECT_EQ(client_.Receive(), Error(0, "cannot start a thread: "s + std::strerror(EAGAIN)));
    ASSERT_TRUE(WaitFor([&] { return LastStatus() == "Error transfering!"; }));
    EXPECT_EQ(core_->ServerState().DownloadCount(), 0);
    TRawClient next;
    EXPECT_EQ(Download(next, "fw.bin"), "firmware");
}
