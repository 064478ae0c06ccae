#include "tests/support/FakeChannel.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "tests/support/RawClient.h"
#include "tests/support/TftpTestClient.h"

void TFakeChannel::Send(std::string_view datagram)
{
    SendEach({&datagram, 1});
}

void TFakeChannel::SendEach(std::span<const std::string_view> datagrams)
{
    for (const std::string_view datagram : datagrams) {
        Record(Describe(datagram));
        unanswered_.emplace_back(datagram);
    }
}

std::optional<std::size_t> TFakeChannel::ReceiveFromPeer(std::span<char> buffer, std::chrono::milliseconds wait)
{
    if (inbox_.empty() && !unanswered_.empty()) {
        for (std::string& reply : peer_(unanswered_))
            inbox_.push_back(std::move(reply));
        unanswered_.clear();
    }
    if (interrupted_)
        return std::nullopt;
    if (inbox_.empty()) {
        clock_.Advance(wait);
        return std::nullopt;
    }
    const std::string reply = std::move(inbox_.front());
    inbox_.pop_front();
    Record("<" + Describe(reply));
    const std::size_t length = std::min(reply.size(), buffer.size());
    std::memcpy(buffer.data(), reply.data(), length);
    return length;
}

void TFakeChannel::Record(std::string word)
{
    if (clock_.Elapsed() != recorded_)
        transcript_.push_back("~" + std::to_string((clock_.Elapsed() - recorded_).count()));
    recorded_ = clock_.Elapsed();
    transcript_.push_back(std::move(word));
}

std::string TFakeChannel::Summary() const
{
    // A run of "D<n>", "D<n+1>"... (counting past the wrap) is written "D<n>-<last>".
    const auto follows = [this](std::size_t at) {
        const auto before = static_cast<std::uint16_t>(std::stoul(transcript_[at - 1].substr(1)) + 1);
        return transcript_[at] == "D" + std::to_string(before);
    };
    std::string summary;
    for (std::size_t at = 0; at < transcript_.size();) {
        std::size_t end = at + 1;
        while (transcript_[at].starts_with('D') && end < transcript_.size() && follows(end))
            ++end;
        summary += (at == 0 ? "" : ", ") + transcript_[at] + (end > at + 1 ? "-" + transcript_[end - 1].substr(1) : "");
        at = end;
    }
    return summary;
}

std::string Describe(std::string_view datagram)
{
    switch (Opcode(datagram)) {
    case 3:
        return "D" + std::to_string(Block(datagram));
    case 4:
        return "A" + std::to_string(Block(datagram));
    case 5: {
        const std::string text = std::string(datagram.substr(4)).c_str();  // to its zero byte
        return "E" + std::to_string(Block(datagram)) + (text.empty() ? "" : " " + text);
    }
    case 6: {
        std::string word = "O";
        for (const auto& [option, value] : OackOptions(datagram))
            word += " " + option + "=" + value;
        return word;
    }
    default:
        return "?" + std::to_string(datagram.size());
    }
}

TFakeChannel::TPeer ScriptedPeer(std::vector<std::vector<std::string>> turns)
{
    auto left = std::make_shared<std::deque<std::vector<std::string>>>(turns.begin(), turns.end());
    return [left](const std::vector<std::string>&) {
        if (left->empty())
            return std::vector<std::string>{};
        std::vector<std::string> turn = std::move(left->front());
        left->pop_front();
        return turn;
    };
}
