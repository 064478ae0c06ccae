#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

/// The DATA packets of a download that have been made but not yet acknowledged (RFC 7440):
/// a ring of packet buffers whose oldest entry carries block FirstBlock(). Block numbers
/// wrap from 65535 to 0 inside the window.
class TTransferWindow {
public:
    /// The rooms a download needs: the window granted, but never more than the blocks of
    /// a stream of `streamSize` bytes (its final block may be empty); the whole window
    /// when the size is unknown (below 0).
    static std::size_t SlotsFor(std::int32_t windowSize, std::int32_t blockSize, std::int64_t streamSize);
    /// Whether Allocate has been called.
    bool Allocated() const { return !lengths_.empty(); }
    /// Bytes of packet room held.
    std::size_t Capacity() const { return buffer_.size(); }
    /// Room for `slots` packets of up to `packetSize` bytes each; the window is then empty
    /// and its first block is number 1.
    void Allocate(std::size_t slots, std::size_t packetSize);
    std::size_t Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    bool Full() const { return count_ == lengths_.size(); }
    std::uint16_t FirstBlock() const { return first_; }
    /// The number of the block the next Append adds.
    std::uint16_t NextBlock() const { return static_cast<std::uint16_t>(first_ + count_); }
    /// The packets, from the oldest, that have gone out at least once.
    std::size_t Sent() const { return sent_; }
    /// Records every packet of the window as gone out.
    void MarkSent() { sent_ = count_; }
    /// Packets the window can take before it is full.
    std::size_t Free() const { return lengths_.size() - count_; }
    /// Where the packet `ahead` places after the next one is built (0: the next one);
    /// `ahead` must be below Free(). Rooms are filled in turn: each Append moves them on.
    std::span<char> NextRoom(std::size_t ahead = 0);
    /// Adds the packet of `length` bytes built in NextRoom().
    void Append(std::size_t length);
    /// The `index`-th packet from the oldest.
    std::string_view Packet(std::size_t index) const;
    /// Drops every packet up to and including `block` when `block` is in the window and
    /// returns true. An acknowledgement of an older block or of one not yet made changes
    /// nothing and returns false.
    bool Acknowledge(std::uint16_t block);

private:
    std::size_t SlotOf(std::size_t index) const { return (head_ + index) % lengths_.size(); }

    std::vector<char> buffer_;
    std::vector<std::size_t> lengths_;
    std::size_t packetSize_ = 0;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::size_t sent_ = 0;
    std::uint16_t first_ = 1;
};
