#pragma once

#include <string>
#include <vector>

/// The dotted IPv4 addresses of every network interface that is up, in the order the
/// system lists them; empty when the system will not list them. Any thread.
std::vector<std::string> LocalIPv4Addresses();
