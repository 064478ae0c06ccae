// The headless server's start line and its reload of the settings and rules files.

#include "app/ServiceControl.h"

#include <filesystem>
#include <string>
#include <utility>

#include "security/SecurityRulesFile.h"
#include "tests/app/CoreFixture.h"

namespace fs = std::filesystem;

namespace {

/// A UDP port on 127.0.0.1 that was free a moment ago.
int FreePort()
{
    const TRawClient probe;
    return probe.LocalPort();
}

}  // namespace

class ServiceControlTest : public CoreTest {
protected:
    /// Rewrites the settings file as a reload finds it: this port, the keys given.
    void WriteSettingsOnPort(int port, const std::string& tftpKeys)
    {
        std::ofstream(dir_.Path() / "veltrane.INI") << "[TFTP Settings]\nPort=" << port << "\n" << tftpKeys
                                                    << "\n[IP Settings]\nBind=127.0.0.1\n";
    }

    /// Starts on the settings file's own "Port" (the fixture's any-port override replaced by
    /// `overrides`), so that a reload follows the port the file names.
    void StartOnTheFilesPort(TConfigOverrides overrides = {})
    {
        core_->Settings().SetOverrides(std::move(overrides));
        core_->ReapplyAfterConfiguration();
        Start();
    }
};

TEST_F(ServiceControlTest, StartLineNamesAddressesFilesTreeAndUploads)
{
    WriteSettings({}, "Accept=1");
    Offer("a.bin", "a");
    TConfigOverrides overrides = AnyFreePort();
    overrides.TreeRoot = "/srv/tftp";
    core_->Settings().SetOverrides(std::move(overrides));
    core_->ReapplyAfterConfiguration();
    Start();
    EXPECT_EQ(StartLine(*core_), "veltrane: listening on 127.0.0.1:" + std::to_string(port_) +
                                     "; 1 listed file; boot tree /srv/tftp; uploads into " +
                                     (dir_.Path() / "uploads").string());
}

TEST_F(ServiceControlTest, ReloadRebindsOnANewPortAndKeepsOverrides)
{
    WriteSettingsOnPort(FreePort(), "MaxDLConn=1");
    Offer("a.bin", "a");
    TConfigOverrides overrides;
    overrides.MaxULConn = 7;
    StartOnTheFilesPort(std::move(overrides));
    const int oldPort = port_;
    const int newPort = FreePort();
    WriteSettingsOnPort(newPort, "MaxDLConn=5");
    SaveSecurityRules(dir_.Path() / "veltrane.SEC", {TSecurityRule{"127.0.0.0", "255.0.0.0", rkSubnet, arRead}});

    EXPECT_EQ(ReloadSettingsAndRules(*core_), "veltrane: reloaded: Port, MaxDLConn changed; security rules "
                                              "changed; listening on 127.0.0.1:" + std::to_string(newPort));
    EXPECT_EQ(core_->Config()->MaxULConn, 7);
    port_ = newPort;
    EXPECT_EQ(Download(client_, "a.bin"), "a");
    EXPECT_TRUE(PortIsFree(oldPort));  // nothing listens there any more
    EXPECT_EQ(ReloadSettingsAndRules(*core_), "veltrane: reloaded: nothing changed");
}

TEST_F(ServiceControlTest, RefusedReloadKeepsTheRunningSettings)
{
    WriteSettingsOnPort(FreePort(), "MaxDLConn=1");
    Offer("a.bin", "a");
    StartOnTheFilesPort();
    const TConfig running = *core_->Config();
    const TRawClient squatter;  // holds the port the new settings ask for
    WriteSettingsOnPort(squatter.LocalPort(), "MaxDLConn=5");
    const std::string refused = ReloadSettingsAndRules(*core_);
    EXPECT_EQ(refused.rfind("veltrane: reload refused: ", 0), 0u) << refused;
    EXPECT_NE(refused.find("; running settings kept"), std::string::npos) << refused;
    EXPECT_EQ(*core_->Config(), running);
    EXPECT_EQ(Download(client_, "a.bin"), "a");

    fs::remove(dir_.Path() / "veltrane.INI");
    fs::create_directory(dir_.Path() / "veltrane.INI");  // exists, cannot be read as a file
    EXPECT_EQ(ReloadSettingsAndRules(*core_), "veltrane: reload refused: cannot read " +
                                                  (dir_.Path() / "veltrane.INI").string() +
                                                  "; running settings kept");
    EXPECT_EQ(*core_->Config(), running);
}

TEST_F(ServiceControlTest, ReloadTakesIPv6RulesRefreshesTheListAndTellsOfInvalidValues)
{
    WriteSettings("RemoveDead=1");
    const std::string gone = Offer("gone.bin", "g");
    Offer("kept.bin", "k");
    Start();
    fs::remove(gone);
    std::ofstream(dir_.Path() / "veltrane.SE6") << "address ::1 deny\nnot a rule\n";
    WriteSettings("RemoveDead=1\nPort=69xyz");
    std::vector<std::string> problems;
    const std::string outcome =
        ReloadSettingsAndRules(*core_, [&](const std::string& problem) { problems.push_back(problem); });

    EXPECT_EQ(outcome, "veltrane: reloaded: security rules changed; listening on 127.0.0.1:" + std::to_string(port_));
    EXPECT_EQ(problems, (std::vector<std::string>{"Application: Invalid value for Port, using 69",
                                                  "Application: Damaged IPv6 security rules skipped (line 2)!"}));
    EXPECT_FALSE(core_->SecurityRules().CheckAccess("::1", akRead, true));
    ASSERT_EQ(core_->FilesList().Count(), 1u);
    EXPECT_EQ(core_->FilesList().Entries().front().Name, "kept.bin");
}
