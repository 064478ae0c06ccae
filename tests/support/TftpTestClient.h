#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/RawClient.h"

/// A TFTP client for tests (RFC 1350 with the options of RFC 2347, 2348, 2349 and 7440):
/// downloads and uploads whole files over a socket the test owns, one transfer at a time.
/// Packets out of turn (a server's repeats, a gap in a window) earn one acknowledgement of
/// what arrived in order; it never retransmits on its own: a silent server ends the
/// transfer as failed.
class TTftpTestClient {
public:
    using TOptions = std::vector<std::pair<std::string, std::string>>;

    /// `serverPort` is where requests go; a test that sends its own may leave it 0.
    explicit TTftpTestClient(TRawClient& socket, int serverPort = 0) : socket_(socket), serverPort_(serverPort) {}

    /// Called before each ACK of a download with the block it acknowledges; false
    /// abandons the transfer there, unacknowledged.
    std::function<bool(std::uint16_t block)> BeforeAck;
    /// How long each wait for the server's next packet lasts.
    std::chrono::milliseconds Wait = std::chrono::seconds(30);

    /// The file's bytes, or nullopt when the server refused, fell silent or BeforeAck
    /// abandoned the transfer.
    std::optional<std::string> Download(const std::string& name, const TOptions& options = {});
    /// Carries on a download whose request the test sent itself, from `first`, the first
    /// answer it took, or else from the next packet to come. As Download.
    std::optional<std::string> DownloadFrom(std::optional<std::string> first = std::nullopt);
    /// Whether every block of `content` was acknowledged.
    bool Upload(const std::string& name, const std::string& content, const TOptions& options = {});

    /// The options the server's OACK granted in the last transfer, in its order (none
    /// without one).
    const TOptions& Granted() const { return granted_; }
    /// The ERROR that ended the last transfer: its code and text.
    const std::optional<std::pair<std::uint16_t, std::string>>& Refusal() const { return refusal_; }

private:
    /// Sends the request and reads the first answer, as Begin takes it.
    std::optional<std::string> Request(std::uint16_t opcode, const std::string& name, const TOptions& options);
    /// Starts a transfer with the server's first answer: an OACK's options are taken.
    std::optional<std::string> Begin(std::optional<std::string> first);
    /// Receives a download from its first packet on.
    std::optional<std::string> Receive(std::optional<std::string> packet);
    /// The next packet; nothing on silence or an ERROR, which is kept as the refusal.
    std::optional<std::string> Next();
    std::size_t GrantedNumber(const std::string& option, std::size_t otherwise) const;

    TRawClient& socket_;
    int serverPort_;
    TOptions granted_;
    std::optional<std::pair<std::uint16_t, std::string>> refusal_;
};

/// The option names and values an OACK carries, in its order.
TTftpTestClient::TOptions OackOptions(std::string_view oack);
