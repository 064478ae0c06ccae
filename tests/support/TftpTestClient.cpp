#include "tests/support/TftpTestClient.h"

#include <algorithm>
#include <utility>

#include "engine/TFTPPacket.h"


TTftpTestClient::TOptions OackOptions(std::string_view oack)
{
    TTftpTestClient::TOptions options;
    std::string_view rest = oack.substr(2);
    while (!rest.empty()) {
        const auto nameEnd = std::min(rest.find('\0'), rest.size());
        std::string name(rest.substr(0, nameEnd));
        rest.remove_prefix(std::min(nameEnd + 1, rest.size()));
        const auto valueEnd = std::min(rest.find('\0'), rest.size());
        options.emplace_back(std::move(name), std::string(rest.substr(0, valueEnd)));
        rest.remove_prefix(std::min(valueEnd + 1, rest.size()));
    }
    return options;
}

std::optional<std::string> TTftpTestClient::Next()
{
    auto packet = socket_.Receive(Wait);
    if (packet && packet->size() >= kHeaderSize && Opcode(*packet) == TFTPOpcode::ERROR) {
        refusal_.emplace(Block(*packet), packet->substr(kHeaderSize, packet->find('\0', kHeaderSize) - kHeaderSize));
        return std::nullopt;
    }
    return packet && packet->size() >= kHeaderSize ? packet : std::nullopt;
}

std::optional<std::string> TTftpTestClient::Request(std::uint16_t opcode, const std::string& name,
                                                    const TOptions& options)
{
    std::string request = ::Request(opcode, name, "octet");
    for (const auto& [option, value] : options)
        request += option + '\0' + value + '\0';
    socket_.SendTo(serverPort_, request);
    return Begin(Next());
}

std::optional<std::string> TTftpTestClient::Begin(std::optional<std::string> first)
{
    granted_.clear();
    if (first && Opcode(*first) == TFTPOpcode::OACK)
        granted_ = OackOptions(*first);
    return first;
}

std::size_t TTftpTestClient::GrantedNumber(const std::string& option, std::size_t otherwise) const
{
    const auto found = std::find_if(granted_.begin(), granted_.end(),
                                    [&](const auto& granted) { return granted.first == option; });
    return found == granted_.end() ? otherwise : std::stoul(found->second);
}

std::optional<std::string> TTftpTestClient::Download(const std::string& name, const TOptions& options)
{
    refusal_.reset();
    return Receive(Request(TFTPOpcode::RRQ, name, options));
}

std::optional<std::string> TTftpTestClient::DownloadFrom(std::optional<std::string> first)
{
    refusal_.reset();
    return Receive(Begin(first ? std::move(first) : Next()));
}

std::optional<std::string> TTftpTestClient::Receive(std::optional<std::string> packet)
{
    if (packet && Opcode(*packet) == TFTPOpcode::OACK)
        socket_.Reply(Ack(0));
    const std::size_t blockSize = GrantedNumber("blksize", 512);
    const std::size_t window = GrantedNumber("windowsize", 1);
    std::string content;
    std::uint16_t expected = 1;
    std::size_t inWindow = 0;
    bool outOfTurnAnswered = false;
    for (; packet; packet = Next()) {
        if (Opcode(*packet) != TFTPOpcode::DATA)
            continue;
        const std::uint16_t block = Block(*packet);
        if (block != expected) {
            // A repeat (our ACK was lost) or a gap in a window: acknowledging what arrived
            // in order, once, lets the server go on from there (RFC 1350, RFC 7440).
            if (!std::exchange(outOfTurnAnswered, true))
                socket_.Reply(Ack(static_cast<std::uint16_t>(expected - 1)));
            inWindow = 0;
            continue;
        }
        outOfTurnAnswered = false;
        content.append(*packet, kHeaderSize);
        ++expected;
        const bool last = packet->size() < kHeaderSize + blockSize;
        if (!last && ++inWindow < window)
            continue;
        inWindow = 0;
        if (BeforeAck && !BeforeAck(block))
            return std::nullopt;
        socket_.Reply(Ack(block));
        if (last)
            return content;
    }
    return std::nullopt;
}

bool TTftpTestClient::Upload(const std::string& name, const std::string& content, const TOptions& options)
{
    refusal_.reset();
    auto answer = Request(TFTPOpcode::WRQ, name, options);
    if (!answer || (Opcode(*answer) != TFTPOpcode::OACK && !(Opcode(*answer) == TFTPOpcode::ACK && Block(*answer) == 0)))
        return false;
    const std::size_t blockSize = GrantedNumber("blksize", 512);
    const std::size_t window = GrantedNumber("windowsize", 1);
    const std::size_t blocks = content.size() / blockSize + 1;  // the last one is short
    std::size_t acknowledged = 0;
    while (acknowledged < blocks) {
        const std::size_t windowEnd = std::min(blocks, acknowledged + window);
        for (std::size_t at = acknowledged; at < windowEnd; ++at)
            socket_.Reply(Data(static_cast<std::uint16_t>(at + 1),
                               std::string_view(content).substr(std::min(at * blockSize, content.size()), blockSize)));
        // Waits for an ACK within this window; repeated older ones are passed over.
        for (;;) {
            answer = Next();
            if (!answer)
                return false;
            const auto advance = static_cast<std::uint16_t>(Block(*answer) - acknowledged);
            if (Opcode(*answer) == TFTPOpcode::ACK && advance >= 1 && advance <= windowEnd - acknowledged) {
                acknowledged += advance;
                break;
            }
        }
    }
    return true;
}
