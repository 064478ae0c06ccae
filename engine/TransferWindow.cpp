#include "engine/TransferWindow.h"

#include <algorithm>

std::size_t TTransferWindow::SlotsFor(std::int32_t windowSize, std::int32_t blockSize, std::int64_t streamSize)
{
    const auto window = static_cast<std::size_t>(std::max(windowSize, 1));
    if (streamSize < 0 || blockSize <= 0)
        return window;
    const auto blocks = static_cast<std::uint64_t>(streamSize / blockSize) + 1;
    return static_cast<std::size_t>(std::min<std::uint64_t>(window, blocks));
}

void TTransferWindow::Allocate(std::size_t slots, std::size_t packetSize)
{
    buffer_.assign(slots * packetSize, '\0');
    lengths_.assign(slots, 0);
    packetSize_ = packetSize;
    head_ = 0;
    count_ = 0;
    sent_ = 0;
    first_ = 1;
}

std::span<char> TTransferWindow::NextRoom(std::size_t ahead)
{
    return {buffer_.data() + SlotOf(count_ + ahead) * packetSize_, packetSize_};
}

void TTransferWindow::Append(std::size_t length)
{
    lengths_[SlotOf(count_)] = length;
    ++count_;
}

std::string_view TTransferWindow::Packet(std::size_t index) const
{
    const std::size_t slot = SlotOf(index);
    return {buffer_.data() + slot * packetSize_, lengths_[slot]};
}

bool TTransferWindow::Acknowledge(std::uint16_t block)
{
    // The distance wraps with the block numbers, so an older block lands far beyond the
    // window (65535 for the block just before it) and is told apart from one inside.
    const std::size_t acknowledged = static_cast<std::uint16_t>(block - first_) + std::size_t{1};
    if (acknowledged > count_)
        return false;
    head_ = SlotOf(acknowledged);
    count_ -= acknowledged;
    sent_ -= std::min(sent_, acknowledged);
    first_ = static_cast<std::uint16_t>(first_ + acknowledged);
    return true;
}
