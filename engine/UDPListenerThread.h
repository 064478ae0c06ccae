#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <poll.h>

#include "engine/StoppableThread.h"

class TUDPServer;
class TSocketHandle;
class TSyncCall;
struct TReceived;

/// The one thread that reads the datagrams of all a server's bindings, one at a time.
/// It waits on the bindings and on its wake-up together, so a stop ends the wait at once.
/// Owned by the server; made after the bindings are bound, which stay as they are while
/// it runs.
class TUDPListenerThread : public TStoppableThread {
public:
    TUDPListenerThread(TUDPServer& server, int bufferSize);
    ~TUDPListenerThread() override;

    /// Stops the thread, cancels a hand-over to the main thread that is waiting, wakes
    /// the wait and joins. Called by the server's deactivation, never by this thread.
    void Terminate();
    /// Runs `work` on the main thread while this thread waits; Terminate() cancels the
    /// wait and the work is dropped. Called on this thread only.
    void RunOnMainThread(const std::function<void()>& work);

protected:
    void Run() override;

private:
    void ReadDatagram(TSocketHandle& binding);
    void HandOver(const TReceived& received, TSocketHandle& binding);

    TUDPServer& server_;
    std::vector<char> buffer_;      // reused for every datagram
    std::vector<pollfd> waits_;     // the wake-up, then each open binding
    std::vector<TSocketHandle*> owners_;  // the binding of each wait after the first
    std::mutex pendingLock_;
    std::shared_ptr<TSyncCall> pending_;
};
