#include "app/BindDiagnosis.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <arpa/inet.h>
#include <linux/in6.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "engine/SocketAddress.h"
#include "fileio/UniqueFd.h"

namespace fs = std::filesystem;

namespace {

/// As many processes as are looked at for the holder of a socket.
constexpr int kMaxProcesses = 100000;

/// An address as /proc/net/udp and udp6 print it: each 32-bit word of the address in
/// memory as eight hexadecimal digits. Empty for text that is no address.
std::string ProcAddressText(const std::string& address)
{
    unsigned char bytes[16] = {};
    const bool v6 = address.find(':') != std::string::npos;
    if (::inet_pton(v6 ? AF_INET6 : AF_INET, address.c_str(), bytes) != 1)
        return {};
    std::string text;
    for (std::size_t word = 0; word < (v6 ? 4u : 1u); ++word) {
        std::uint32_t value = 0;
        std::memcpy(&value, bytes + word * 4, sizeof value);
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08X", value);
        text += digits;
    }
    return text;
}

/// The inode of a socket in `table` bound to `port` on `address` or on every address.
std::optional<std::string> SocketInode(const char* table, const std::string& address, int port)
{
    const std::string wanted = ProcAddressText(address);
    if (wanted.empty())
        return std::nullopt;
    const std::string every(wanted.size(), '0');
    char portText[8];
    std::snprintf(portText, sizeof portText, "%04X", static_cast<unsigned>(port));
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // the column titles
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
        const auto colon = local.find(':');
        if (colon == std::string::npos || local.substr(colon + 1) != portText)
            continue;
        const std::string localAddress = local.substr(0, colon);
        if (localAddress == wanted || localAddress == every || wanted == every)
            return inode;
    }
    return std::nullopt;
}

/// "name (pid N)" of the first process with a descriptor open on socket `inode`.
std::optional<std::string> ProcessWithSocket(const std::string& inode)
{
    const std::string target = "socket:[" + inode + "]";
    std::error_code error;
    int looked = 0;
    for (fs::directory_iterator process("/proc", error), end; !error && process != end && looked < kMaxProcesses;
         process.increment(error), ++looked) {
        const std::string pid = process->path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code fdError;
        for (fs::directory_iterator fd(process->path() / "fd", fdError); !fdError && fd != end;
             fd.increment(fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd->path(), linkError).string() != target)
                continue;
            std::string name;
            std::getline(std::ifstream(process->path() / "comm"), name);
            return name + " (pid " + pid + ")";
        }
    }
    return std::nullopt;
}

/// The errno of binding `port` on `address` as the server does (an address not up yet is
/// taken); 0 when it can be bound.
int BindError(const std::string& address, int port)
{
    const int family = AddressFamily(address);
    const auto local = NumericAddress(address, port, family);
    if (!local)
        return EINVAL;
    const TUniqueFd fd(::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid())
        return errno;
    const int on = 1;
    if (family == AF_INET6)
        ::setsockopt(fd.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    ::setsockopt(fd.Get(), family == AF_INET6 ? IPPROTO_IPV6 : IPPROTO_IP,
                 family == AF_INET6 ? IPV6_FREEBIND : IP_FREEBIND, &on, sizeof on);
    return ::bind(fd.Get(), local->Raw(), local->Length()) == 0 ? 0 : errno;
}

}  // namespace

std::optional<std::string> UdpPortHolder(const std::string& address, int port)
{
    const bool v6 = address.find(':') != std::string::npos;
    const auto inode = SocketInode(v6 ? "/proc/net/udp6" : "/proc/net/udp", address, port);
    if (!inode)
        return std::nullopt;
    return ProcessWithSocket(*inode);
}

std::vector<std::string> UnbindableAddressLines(const std::vector<std::string>& addresses, int port)
{
    std::vector<std::string> lines;
    for (const std::string& address : addresses) {
        const int failure = BindError(address, port);
        if (failure == 0)
            continue;
        std::string line = "veltrane: UDP port " + std::to_string(port) + " on " + address;
        if (failure == EADDRINUSE) {
            const auto holder = UdpPortHolder(address, port);
            line += " is in use" + (holder ? " by " + *holder : std::string());
        } else {
            line += " cannot be bound: " + std::string(std::strerror(failure));
        }
        lines.push_back(line);
    }
    return lines;
}
