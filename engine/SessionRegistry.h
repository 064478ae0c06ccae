#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

class TTFTPServerThread;
struct TPeerInfo;

/// Keeps the server's running sessions so none is abandoned. Sessions end on their own
/// and hand themselves back here as their last act; a finished session is joined by the
/// next one that finishes or starts, or at closing. Used only for the session's life and
/// at destruction: the dispatcher still holds no reference to a session. Thread-safe.
class TSessionRegistry {
public:
    /// Starts a session's thread; raises when it cannot.
    using TStarter = std::function<void(TTFTPServerThread& session)>;

    TSessionRegistry() = default;
    TSessionRegistry(const TSessionRegistry&) = delete;
    TSessionRegistry& operator=(const TSessionRegistry&) = delete;
    ~TSessionRegistry();

    /// Replaces how session threads are started (tests make a start fail). Set while
    /// no session starts.
    void SetStarter(TStarter starter) { starter_ = std::move(starter); }
    /// Takes the session and starts its thread. When it cannot (closing, out of threads)
    /// it raises and leaves the session with the caller, whose transfer must still be
    /// reported.
    void Start(std::unique_ptr<TTFTPServerThread>& session);
    /// Called by a session's own thread as the very last thing it does.
    void Finished(TTFTPServerThread* session);
    /// Tells every running session to stop, drops their undelivered reports and joins them.
    void StopAll();
    std::size_t LiveCount() const;
    /// Whether a running session was started by this very request from this peer.
    bool Serving(const TPeerInfo& peerInfo, std::string_view datagram) const;

private:
    using TSessionList = std::vector<std::unique_ptr<TTFTPServerThread>>;

    TSessionList TakeFinished();

    TStarter starter_;

    mutable std::mutex sessionsLock_;
    std::condition_variable allFinished_;
    bool closing_ = false;
    std::unordered_map<TTFTPServerThread*, std::unique_ptr<TTFTPServerThread>> live_;
    TSessionList finished_;
};
