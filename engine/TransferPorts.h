#pragma once

#include <atomic>
#include <cstdint>

#include <sys/socket.h>

#include "engine/SocketHandle.h"

/// Whether `low`..`high` is a usable transfer port range: 1024 <= low <= high <= 65535.
/// Anything else (0 and 0 among it) leaves the choice of port to the system.
bool TransferPortRangeValid(int low, int high);

/// The local ports transfer sessions use: any port the system picks, or one port of an
/// operator's range, so a firewall needs to open only that range besides the server port.
/// Owned by the server. SetRange may be called from any thread; Reserve from the thread
/// that handles requests.
class TTransferPorts {
public:
    /// An invalid range (see TransferPortRangeValid) lets the system pick.
    void SetRange(int low, int high);

    /// A socket of `family` (the peer's) for a new session: bound on every local address
    /// of that family to a free port of the range, or not yet open (the system picks a port at its first use) without a range.
    /// Ports are tried in a rotating order starting after the last one handed out, so a
    /// port just freed is the last to be taken again. Raises ENoFreeTransferPort when
    /// every port of the range is in use.
    TSocketHandle Reserve(int family = AF_INET);

private:
    std::atomic<std::uint32_t> range_{0};  // low << 16 | high; 0 without a range
    std::atomic<std::uint32_t> next_{0};   // the offset into the range tried first
};
