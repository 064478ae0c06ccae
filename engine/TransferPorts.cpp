#include "engine/TransferPorts.h"

#include "engine/NetException.h"

namespace {
constexpr int kLowestTransferPort = 1024;
constexpr int kHighestPort = 65535;
}  // namespace

bool TransferPortRangeValid(int low, int high)
{
    return low >= kLowestTransferPort && low <= high && high <= kHighestPort;
}

void TTransferPorts::SetRange(int low, int high)
{
    if (!TransferPortRangeValid(low, high)) {
        range_ = 0;
        return;
    }
    range_ = static_cast<std::uint32_t>(low) << 16 | static_cast<std::uint32_t>(high);
}

TSocketHandle TTransferPorts::Reserve(int family)
{
    TSocketHandle socket;
    const std::uint32_t range = range_;
    if (range == 0)
        return socket;
    const auto low = static_cast<int>(range >> 16);
    const auto count = static_cast<std::uint32_t>(static_cast<int>(range & 0xFFFF) - low + 1);
    const std::uint32_t first = next_ % count;
    socket.AllocateSocket(family);  // a failure here is not a matter of ports and is raised as it is
    for (std::uint32_t tried = 0; tried < count; ++tried) {
        const std::uint32_t offset = (first + tried) % count;
        socket.SetPort(low + static_cast<int>(offset));
        try {
            socket.Bind();
        } catch (const ENetException&) {
            continue;  // taken by a running transfer or by another program
        }
        next_ = offset + 1;
        return socket;
    }
    throw ENoFreeTransferPort();
}
