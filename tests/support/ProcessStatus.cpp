#include "tests/support/ProcessStatus.h"

#include <fstream>
#include <string>
#include <string_view>

#include <dirent.h>

namespace {

/// The number after `field` (such as "Threads:") in /proc/self/status.
std::size_t StatusNumber(std::string_view field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(field))
            return std::stoul(line.substr(field.size()));
    return 0;
}

}  // namespace

std::size_t ResidentKiB()
{
    return StatusNumber("VmRSS:");
}

std::size_t LiveThreads()
{
    return StatusNumber("Threads:");
}

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    if (DIR* folder = ::opendir("/proc/self/fd")) {
        while (::readdir(folder) != nullptr)
            ++count;
        ::closedir(folder);
    }
    return count;
}
