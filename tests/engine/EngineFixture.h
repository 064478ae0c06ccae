#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/TrivialFTPServer.h"
#include "tests/support/RawClient.h"
#include "tests/support/SameBytes.h"
#include "tests/support/WaitFor.h"

/// A stream over a string; writes append. Optionally fails once `failAfter` bytes
/// have been written, as a full disk does.
class TStringStream : public TStream {
public:
    explicit TStringStream(std::string content = {}, std::int64_t failAfter = -1,
                           std::shared_ptr<std::string> sink = nullptr)
        : content_(std::move(content)), failAfter_(failAfter), sink_(std::move(sink)) {}
    ~TStringStream() override
    {
        if (sink_)
            *sink_ = content_;
    }
    std::size_t Read(void* buffer, std::size_t count) override
    {
        const std::size_t n = std::min(count, content_.size() - readAt_);
        std::memcpy(buffer, content_.data() + readAt_, n);
        readAt_ += n;
        return n;
    }
    void Write(const void* buffer, std::size_t count) override
    {
        if (failAfter_ >= 0 && static_cast<std::int64_t>(content_.size() + count) > failAfter_)
            throw EStreamWriteError("No space left on device");
        content_.append(static_cast<const char*>(buffer), count);
    }
    std::int64_t Position() const override
    {
        return static_cast<std::int64_t>(failAfter_ >= 0 || sink_ ? content_.size() : readAt_);
    }
    std::int64_t Size() const override { return static_cast<std::int64_t>(content_.size()); }

private:
    std::string content_;
    std::size_t readAt_ = 0;
    std::int64_t failAfter_;
    std::shared_ptr<std::string> sink_;
};

/// `blocks` whole blocks of 512 bytes and 7 bytes more, each block's bytes differing from
/// its neighbours', so a block out of place shows: for transfers past block 65535.
inline std::string WrappingContent(std::size_t blocks)
{
    std::string content(blocks * 512 + 7, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 / 512);
    return content;
}

struct TCompletion {
    bool Success = false;
    TPeerInfo Peer;
    bool WriteOperation = false;
    bool HadStream = false;
};

/// A server on 127.0.0.1 with an ephemeral port, serving files from a map, and a raw
/// client to talk to it.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server_ = std::make_unique<TTrivialFTPServer>();
        server_->SetThreadedEvent(true);
        server_->SetAcceptTimeOut(true);
        server_->OnReadFile = [this](TTrivialFTPServer&, std::string& name, const TPeerInfo&,
                                     bool& grant, std::unique_ptr<TStream>& stream, bool&) {
            const auto found = files_.find(name);
            grant = found != files_.end();
            if (grant)
                stream = std::make_unique<TStringStream>(found->second);
        };
        server_->OnWriteFile = [this](TTrivialFTPServer&, std::string&, const TPeerInfo&, bool&,
                                      std::unique_ptr<TStream>& stream, bool&) {
            stream = std::make_unique<TStringStream>(std::string(), failAfter_, uploaded_);
        };
        server_->OnTransferComplete = [this](TTrivialFTPServer&, bool success, const TPeerInfo& peer,
                                             std::unique_ptr<TStream> stream, bool write) {
            std::lock_guard guard(completionsLock_);
            completions_.push_back({success, peer, write, stream != nullptr});
        };
    }

    void TearDown() override { server_.reset(); }

    void Activate()
    {
        TSocketHandle& binding = server_->Bindings().Add();
        binding.SetIP("127.0.0.1");
        binding.SetPort(0);
        server_->SetActive(true);
        port_ = server_->Bindings()[0].Port();
    }

    std::vector<TCompletion> Completions()
    {
        std::lock_guard guard(completionsLock_);
        return completions_;
    }

    bool WaitForCompletions(std::size_t count)
    {
        return WaitFor([&] { return Completions().size() >= count; }, std::chrono::seconds(30));
    }

    /// Receives one packet and expects it to be exactly `expected`.
    void ExpectPacket(const std::string& expected, std::chrono::milliseconds wait = std::chrono::seconds(30))
    {
        const auto got = client_.Receive(wait);
        ASSERT_TRUE(got.has_value()) << "nothing arrived";
        EXPECT_EQ(*got, expected);
    }

    std::unique_ptr<TTrivialFTPServer> server_;
    std::map<std::string, std::string> files_;
    std::int64_t failAfter_ = -1;
    std::shared_ptr<std::string> uploaded_ = std::make_shared<std::string>();
    TRawClient client_;
    int port_ = 0;
    std::mutex completionsLock_;
    std::vector<TCompletion> completions_;
};
