#pragma once

#include <cstdint>
#include <string>

/// The peer of a request or session: its dotted IPv4 text and UDP port.
struct TPeerInfo {
    std::string IP;
    std::int32_t Port = 0;
};
