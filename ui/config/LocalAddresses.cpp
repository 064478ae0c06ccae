#include "ui/config/LocalAddresses.h"

#include <cstring>
#include <memory>

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include "engine/SocketAddress.h"

namespace {

struct TInterfaceListFree {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

void AddAddressesOf(int family, const ifaddrs* list, std::vector<std::string>& addresses)
{
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != family)
            continue;
        if ((entry->ifa_flags & IFF_UP) == 0)
            continue;
        TSocketAddress address;
        const socklen_t length = family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        std::memcpy(&address.Storage, entry->ifa_addr, length);
        addresses.push_back(AddressText(address));
    }
}

}  // namespace

std::vector<std::string> LocalIPAddresses()
{
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0)
        return {};
    const std::unique_ptr<ifaddrs, TInterfaceListFree> list(raw);

    std::vector<std::string> addresses;
    AddAddressesOf(AF_INET, list.get(), addresses);
    AddAddressesOf(AF_INET6, list.get(), addresses);
    return addresses;
}
