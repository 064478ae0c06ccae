#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/ApplicationCore.h"
#include "tests/support/AnyFreePort.h"
#include "tests/support/RawClient.h"
#include "tests/support/TempDir.h"
#include "tests/support/TftpTestClient.h"
#include "tests/support/WaitFor.h"

/// An application core serving on 127.0.0.1 with an ephemeral port, its settings and
/// rules files in a temporary folder, and a raw client to talk to it. Completion reports
/// run on the session threads (no main-thread bridge).
class CoreTest : public ::testing::Test {
protected:
    /// Writes the settings file: `tftpKeys` and `acceptingKeys` are lines of their sections.
    void WriteSettings(const std::string& tftpKeys, const std::string& acceptingKeys = {},
                       const std::string& loggingKeys = {}, std::filesystem::path destDir = {})
    {
        if (destDir.empty())
            destDir = dir_.Path() / "uploads";
        std::ofstream(dir_.Path() / "veltrane.INI")
            << "[TFTP Settings]\nTimeout=3\n" << tftpKeys << "\n[IP Settings]\nBind=127.0.0.1\n"
            << "[FileAccepting]\nDestDir=" << destDir.string() << "\n" << acceptingKeys
            << "\n[Logging]\nLogFolder=" << dir_.Str() << "\n" << loggingKeys << "\n";
    }

    /// Creates the core from the settings written so far and runs its start-up. The server
    /// binds any free port (the override the headless --port uses), never "Port".
    void Create()
    {
        core_ = std::make_unique<TApplicationCore>(TProgramPaths(dir_.Path()));
        core_->Settings().SetOverrides(AnyFreePort());
        core_->Startup();
    }

    /// Starts the server (creating the core first if need be).
    void Start()
    {
        if (!core_)
            Create();
        const TStartResult started = core_->StartServer();
        ASSERT_TRUE(started.Ok()) << started.Message;
        port_ = core_->Engine().Bindings()[0].Port();
    }

    /// A file in the served folder, listed in the files list.
    std::string Offer(const std::string& name, const std::string& content, const std::string& folder = "served")
    {
        std::filesystem::create_directories(dir_.Path() / folder);
        const auto path = dir_.WriteFile(folder + "/" + name, content);
        if (!core_)
            Create();
        core_->FilesList().AddFiles({path.string()});
        return path.string();
    }

    std::vector<std::string> Statuses() const
    {
        std::vector<std::string> statuses;
        for (const TActivityEntry& entry : core_->ActivityLog().Entries())
            statuses.push_back(entry.Status);
        return statuses;
    }

    std::string LastStatus() const
    {
        const auto entries = core_->ActivityLog().Entries();
        return entries.empty() ? std::string() : entries.back().Status;
    }

    bool WaitIdle()
    {
        return WaitFor([this] { return core_->Engine().SessionCount() == 0; }, std::chrono::seconds(30));
    }

    /// Downloads `name` whole; the bytes, or nullopt on an ERROR.
    std::optional<std::string> Download(TRawClient& client, const std::string& name)
    {
        return TTftpTestClient(client, port_).Download(name);
    }

    /// Uploads `content` as `name`: 4 when every block was acknowledged, 5 when refused,
    /// 0 when the server fell silent.
    std::uint16_t Upload(TRawClient& client, const std::string& name, const std::string& content)
    {
        TTftpTestClient uploader(client, port_);
        if (uploader.Upload(name, content))
            return 4;
        return uploader.Refusal() ? 5 : 0;
    }

    TTempDir dir_;
    std::unique_ptr<TApplicationCore> core_;
    TRawClient client_;
    int port_ = 0;
};
