#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/RawClient.h"

/// A TFTP client for tests against a server on loopback, on a TRawClient of its own:
/// downloads and uploads with options, lock-step or in the window the server grants,
/// taking blocks the server sends again (our acknowledgement came late) once. A transfer
/// that goes wrong adds a test failure saying how and returns nothing.
class TTFTPTestClient {
public:
    using TOptions = std::vector<std::pair<std::string, std::string>>;
    /// Runs before each acknowledgement of a download's window but the last, with the
    /// number of windows received so far.
    using TBetweenWindows = std::function<void(int windows)>;

    explicit TTFTPTestClient(int serverPort) : serverPort_(serverPort) {}

    /// Downloads `name` and returns its bytes.
    std::optional<std::string> Download(std::string_view name, const TOptions& options = {},
                                        const TBetweenWindows& betweenWindows = {});
    /// Uploads `content` as `name`; whether the server acknowledged its final block.
    bool Upload(std::string_view name, std::string_view content, const TOptions& options = {});
    /// The options the server's OACK granted in the latest transfer, in its order.
    const TOptions& Granted() const { return granted_; }
    int LocalPort() const { return raw_.LocalPort(); }

private:
    /// Sends the request and takes the OACK (or an upload's ACK 0) and what it grants.
    bool Start(std::uint16_t opcode, std::string_view name, const TOptions& options);

    TRawClient raw_;
    int serverPort_;
    TOptions granted_;
    std::size_t blockSize_ = 512;
    std::size_t window_ = 1;
};

/// The option names and values an OACK carries, in its order.
TTFTPTestClient::TOptions OackOptions(std::string_view oack);
