#include "app/ServiceManager.h"

#include <ctime>

#include <sys/socket.h>

#include <systemd/sd-daemon.h>

TServiceManager::TServiceManager()
{
    // Unsets the variables, so a program this one starts never takes the sockets too.
    const int count = sd_listen_fds(1);
    for (int fd = SD_LISTEN_FDS_START; fd < SD_LISTEN_FDS_START + count; ++fd) {
        TUniqueFd handed(fd);
        if (sd_is_socket(fd, AF_UNSPEC, SOCK_DGRAM, -1) > 0)
            handedSockets_.push_back(std::move(handed));
    }
}

TServiceManager::~TServiceManager() = default;

std::vector<int> TServiceManager::HandedSockets() const
{
    std::vector<int> fds;
    for (const TUniqueFd& handed : handedSockets_)
        fds.push_back(handed.Get());
    return fds;
}

void TServiceManager::NotifyReady(const std::string& status) const
{
    sd_notify(0, ("READY=1\nSTATUS=" + status).c_str());
}

void TServiceManager::NotifyReloading() const
{
    // The monotonic time tells the manager which reload this is (systemd.service(5)).
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto microseconds = static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
    sd_notify(0, ("RELOADING=1\nMONOTONIC_USEC=" + std::to_string(microseconds)).c_str());
}

void TServiceManager::NotifyStopping() const
{
    sd_notify(0, "STOPPING=1");
}
