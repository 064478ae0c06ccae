#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/RawClient.h"

/// A TFTP client for tests against a server on loopback, on a TRawClient of its own:
/// downloads and uploads with options, lock-step or in the window the server grants.
/// Blocks the server sends again (our acknowledgement came late) are taken once. A
/// transfer that goes wrong adds a test failure saying how and returns nothing.
class TTFTPTestClient {
public:
    using TOptions = std::vector<std::pair<std::string, std::string>>;
    /// Runs between the windows of a download with the number of windows received so far.
    using TBetweenWindows = std::function<void(int windows)>;

    explicit TTFTPTestClient(int serverPort) : serverPort_(serverPort) {}

    /// Downloads `name` and returns its bytes.
    std::optional<std::string> Download(std::string_view name, const TOptions& options = {},
                                        const TBetweenWindows& betweenWindows = {});
    /// Uploads `content` as `name`; whether the server acknowledged its final block.
    bool Upload(std::string_view name, std::string_view content, const TOptions& options = {});
    /// The options the server's OACK granted in the latest transfer.
    const std::map<std::string, std::string>& Granted() const { return granted_; }
    TRawClient& Raw() { return raw_; }

private:
    void SendRequest(std::uint16_t opcode, std::string_view name, const TOptions& options);
    /// Reads the OACK when options were asked for, and the sizes it grants.
    bool TakeOack(const TOptions& options, std::optional<std::string>& first);
    std::optional<std::string> Next(std::string_view expected);

    TRawClient raw_;
    int serverPort_;
    std::map<std::string, std::string> granted_;
    std::size_t blockSize_ = 512;
    std::size_t window_ = 1;
};
