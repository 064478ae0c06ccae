#include "tests/support/TFTPTestClient.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

/// Whether DATA block `block` is one of the 64 before `expected`, counting past the wrap:
/// a block the client already has, sent again after a late acknowledgement.
bool IsRepeat(std::uint16_t block, std::uint16_t expected)
{
    const auto behind = static_cast<std::uint16_t>(expected - block);
    return behind >= 1 && behind <= 64;
}

/// The option names and values of an OACK.
std::map<std::string, std::string> OackOptions(std::string_view oack)
{
    std::map<std::string, std::string> options;
    std::vector<std::string> fields;
    for (std::string_view rest = oack.substr(2); !rest.empty();) {
        const std::size_t end = std::min(rest.find('\0'), rest.size());
        fields.emplace_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2)
        options[fields[i]] = fields[i + 1];
    return options;
}

}  // namespace

void TTFTPTestClient::SendRequest(std::uint16_t opcode, std::string_view name, const TOptions& options)
{
    std::string request = Request(opcode, name, "octet");
    for (const auto& [option, value] : options)
        request += option + '\0' + value + '\0';
    raw_.SendTo(serverPort_, request);
}

std::optional<std::string> TTFTPTestClient::Next(std::string_view expected)
{
    auto packet = raw_.Receive();
    if (!packet)
        ADD_FAILURE() << "no answer where " << expected << " was expected";
    return packet;
}

bool TTFTPTestClient::TakeOack(const TOptions& options, std::optional<std::string>& first)
{
    granted_.clear();
    blockSize_ = 512;
    window_ = 1;
    if (options.empty())
        return true;
    first = Next("an OACK");
    if (!first || Opcode(*first) != 6) {
        ADD_FAILURE() << "no OACK";
        return false;
    }
    granted_ = OackOptions(*first);
    if (granted_.contains("blksize"))
        blockSize_ = std::stoul(granted_["blksize"]);
    if (granted_.contains("windowsize"))
        window_ = std::stoul(granted_["windowsize"]);
    first.reset();
    return true;
}

std::optional<std::string> TTFTPTestClient::Download(std::string_view name, const TOptions& options,
                                                     const TBetweenWindows& betweenWindows)
{
    SendRequest(1, name, options);
    std::optional<std::string> packet;
    if (!TakeOack(options, packet))
        return std::nullopt;
    if (!options.empty())
        raw_.Reply(Ack(0));
    std::string received;
    std::uint16_t expected = 1;
    std::size_t inWindow = 0;
    int windows = 0;
    for (;;) {
        packet = Next("DATA");
        if (!packet)
            return std::nullopt;
        if (Opcode(*packet) == 3 && IsRepeat(Block(*packet), expected)) {
            // Lock-step, a repeat asks for our acknowledgement again.
            if (window_ == 1)
                raw_.Reply(Ack(Block(*packet)));
            continue;
        }
        if (Opcode(*packet) != 3 || Block(*packet) != expected) {
            ADD_FAILURE() << "expected DATA block " << expected << ", got opcode " << Opcode(*packet) << " block "
                          << Block(*packet);
            return std::nullopt;
        }
        received += packet->substr(4);
        const bool last = packet->size() - 4 < blockSize_;
        if (last || ++inWindow == window_) {
            if (betweenWindows && !last)
                betweenWindows(++windows);
            raw_.Reply(Ack(expected));
            inWindow = 0;
        }
        if (last)
            return received;
        ++expected;
    }
}

bool TTFTPTestClient::Upload(std::string_view name, std::string_view content, const TOptions& options)
{
    SendRequest(2, name, options);
    std::optional<std::string> packet;
    if (!TakeOack(options, packet))
        return false;
    if (options.empty() && (!(packet = Next("ACK 0")) || *packet != Ack(0))) {
        ADD_FAILURE() << "no ACK 0";
        return false;
    }
    // Blocks counted from 0 past the wrap; the final one is short, perhaps empty.
    const std::size_t blocks = content.size() / blockSize_ + 1;
    std::size_t acknowledged = 0;
    while (acknowledged < blocks) {
        const std::size_t end = std::min(blocks, acknowledged + window_);
        for (std::size_t block = acknowledged; block < end; ++block)
            raw_.Reply(Data(static_cast<std::uint16_t>(block + 1),
                            content.substr(std::min(block * blockSize_, content.size()), blockSize_)));
        packet = Next("an ACK");
        if (!packet || Opcode(*packet) != 4) {
            ADD_FAILURE() << "expected an ACK";
            return false;
        }
        // The block acknowledged, counted on from the last one acknowledged before.
        const auto ahead = static_cast<std::uint16_t>(Block(*packet) - static_cast<std::uint16_t>(acknowledged));
        if (ahead <= end - acknowledged)
            acknowledged += ahead;
    }
    return true;
}
