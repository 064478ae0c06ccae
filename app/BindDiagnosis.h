#pragma once

#include <optional>
#include <string>
#include <vector>

// What the headless server says when it cannot listen: which address and port failed and,
// for a port in use, which process holds it. Any thread; reads /proc.

/// "veltrane (pid 1234)": the process holding a UDP socket bound to `port` on `address`
/// (or on every address of its family); none when it cannot be found, for instance when
/// the process belongs to another user and /proc hides it.
std::optional<std::string> UdpPortHolder(const std::string& address, int port);

/// One line for each of `addresses` on which `port` cannot be bound now, the way the
/// server binds it: "veltrane: UDP port 6969 on 0.0.0.0 is in use by veltrane (pid 1234)"
/// or "veltrane: UDP port 69 on :: cannot be bound: Permission denied".
std::vector<std::string> UnbindableAddressLines(const std::vector<std::string>& addresses, int port);
