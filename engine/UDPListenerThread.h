#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/StoppableThread.h"

class TUDPServer;
class TSocketHandle;
class TSyncCall;

/// The one thread that reads the datagrams of all a server's bindings, one at a time.
/// It wakes at least once a second so a stop is seen promptly. Owned by the server.
class TUDPListenerThread : public TStoppableThread {
public:
    /// The select wait of one pass, in milliseconds.
    static constexpr int kSelectWaitMs = 1000;

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
    void HandOver(std::size_t length, TSocketHandle& binding);

    TUDPServer& server_;
    std::vector<char> buffer_;  // reused for every datagram
    std::mutex pendingLock_;
    std::shared_ptr<TSyncCall> pending_;
};
