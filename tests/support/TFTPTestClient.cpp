#include "tests/support/TFTPTestClient.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

/// Whether DATA block `block` is one of the 64 before `expected`, counting past the wrap:
/// a block the client has, sent again after a late acknowledgement.
bool IsRepeat(std::uint16_t block, std::uint16_t expected)
{
    const auto behind = static_cast<std::uint16_t>(expected - block);
    return behind >= 1 && behind <= 64;
}

/// The text up to the next zero byte, taken off the front of `rest`.
std::string TakeField(std::string_view& rest)
{
    const std::size_t end = std::min(rest.find('\0'), rest.size());
    std::string field(rest.substr(0, end));
    rest.remove_prefix(std::min(end + 1, rest.size()));
    return field;
}

}  // namespace

TTFTPTestClient::TOptions OackOptions(std::string_view oack)
{
    TTFTPTestClient::TOptions options;
    for (std::string_view rest = oack.substr(std::min<std::size_t>(2, oack.size())); !rest.empty();) {
        std::string name = TakeField(rest);
        options.emplace_back(std::move(name), TakeField(rest));
    }
    return options;
}

bool TTFTPTestClient::Start(std::uint16_t opcode, std::string_view name, const TOptions& options)
{
    std::string request = Request(opcode, name, "octet");
    for (const auto& [option, value] : options)
        request += option + '\0' + value + '\0';
    raw_.SendTo(serverPort_, request);
    granted_.clear();
    blockSize_ = 512;
    window_ = 1;
    if (options.empty() && opcode == 1)
        return true;
    const auto answer = raw_.Receive();
    if (!answer || (Opcode(*answer) != 6 && *answer != Ack(0))) {
        ADD_FAILURE() << "neither an OACK nor ACK 0 answered the request";
        return false;
    }
    if (Opcode(*answer) == 6)
        granted_ = OackOptions(*answer);
    for (const auto& [option, value] : granted_) {
        if (option == "blksize")
            blockSize_ = std::stoul(value);
        if (option == "windowsize")
            window_ = std::stoul(value);
    }
    return true;
}

std::optional<std::string> TTFTPTestClient::Download(std::string_view name, const TOptions& options,
                                                     const TBetweenWindows& betweenWindows)
{
    if (!Start(1, name, options))
        return std::nullopt;
    if (!options.empty())
        raw_.Reply(Ack(0));
    std::string received;
    std::size_t blocks = 0;
    int windows = 0;
    for (std::uint16_t expected = 1;; ++expected) {
        auto packet = raw_.Receive();
        while (packet && Opcode(*packet) == 3 && IsRepeat(Block(*packet), expected)) {
            if (window_ == 1)
                raw_.Reply(Ack(Block(*packet)));  // lock-step, a repeat asks for its ACK again
            packet = raw_.Receive();
        }
        if (!packet || Opcode(*packet) != 3 || Block(*packet) != expected) {
            ADD_FAILURE() << "expected DATA block " << expected;
            return std::nullopt;
        }
        received += packet->substr(4);
        const bool last = packet->size() - 4 < blockSize_;
        if (!last && ++blocks % window_ != 0)
            continue;
        if (!last && betweenWindows)
            betweenWindows(++windows);
        raw_.Reply(Ack(expected));
        if (last)
            return received;
    }
}

bool TTFTPTestClient::Upload(std::string_view name, std::string_view content, const TOptions& options)
{
    if (!Start(2, name, options))
        return false;
    // Blocks counted from 0, past the wrap; the final one is short, perhaps empty.
    const std::size_t blocks = content.size() / blockSize_ + 1;
    for (std::size_t acknowledged = 0; acknowledged < blocks;) {
        const std::size_t end = std::min(blocks, acknowledged + window_);
        for (std::size_t block = acknowledged; block < end; ++block)
            raw_.Reply(Data(static_cast<std::uint16_t>(block + 1),
                            content.substr(std::min(block * blockSize_, content.size()), blockSize_)));
        const auto answer = raw_.Receive();
        if (!answer || Opcode(*answer) != 4) {
            ADD_FAILURE() << "expected an ACK";
            return false;
        }
        // The block acknowledged, counted on from the last one before; a stale ACK sends
        // the window again.
        const auto ahead = static_cast<std::uint16_t>(Block(*answer) - acknowledged);
        if (ahead <= end - acknowledged)
            acknowledged += ahead;
    }
    return true;
}
