#pragma once

#include <string>
#include <vector>

#include "fileio/UniqueFd.h"

/// The service manager (systemd) as the headless server meets it: the datagram sockets
/// it handed over at start (socket activation), and the state it is told (ready,
/// reloading, stopping). Without a service manager there are no sockets and nothing is
/// sent. Owns the handed sockets; made and used on the main thread.
class TServiceManager {
public:
    /// Takes over the sockets handed to this process, if any; others handed are closed.
    TServiceManager();
    TServiceManager(const TServiceManager&) = delete;
    TServiceManager& operator=(const TServiceManager&) = delete;
    ~TServiceManager();

    /// The handed sockets' descriptors; they stay open for as long as this object lives.
    std::vector<int> HandedSockets() const;

    /// The server listens; `status` is the line `systemctl status` shows.
    void NotifyReady(const std::string& status) const;
    /// A reload begins; NotifyReady ends it.
    void NotifyReloading() const;
    void NotifyStopping() const;

private:
    std::vector<TUniqueFd> handedSockets_;
};
