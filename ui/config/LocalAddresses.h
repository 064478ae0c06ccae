#pragma once

#include <string>
#include <vector>

/// The addresses of every network interface that is up, in the order the system lists
/// them: the dotted IPv4 ones first, then the IPv6 ones in RFC 5952 text (a link-local one
/// with its interface, "fe80::1%eth0"); empty when the system will not list them. Any thread.
std::vector<std::string> LocalIPAddresses();
