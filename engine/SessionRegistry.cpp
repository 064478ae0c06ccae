#include "engine/SessionRegistry.h"

#include <vector>

#include "engine/NetException.h"
#include "engine/TFTPServerThread.h"

TSessionRegistry::~TSessionRegistry()
{
    StopAll();
}

void TSessionRegistry::Start(std::unique_ptr<TTFTPServerThread>& session)
{
    TSessionList done;
    TTFTPServerThread* started = session.get();
    {
        std::lock_guard guard(sessionsLock_);
        if (closing_)
            throw ENetException("Server is shutting down");
        done = TakeFinished();
        live_.emplace(started, std::move(session));
    }
    done.clear();  // joins threads that already ended, outside the lock
    try {
        if (starter_)
            starter_(*started);
        else
            started->Start();
    } catch (...) {
        std::lock_guard guard(sessionsLock_);
        const auto found = live_.find(started);
        session = std::move(found->second);
        live_.erase(found);
        throw;
    }
}

void TSessionRegistry::Finished(TTFTPServerThread* session)
{
    TSessionList done;
    std::lock_guard guard(sessionsLock_);
    const auto found = live_.find(session);
    if (found == live_.end())
        return;
    done = TakeFinished();
    finished_.push_back(std::move(found->second));
    live_.erase(found);
    if (live_.empty())
        allFinished_.notify_all();
    // `done` holds sessions whose threads have returned or are returning; joining them
    // here is brief. It is destroyed after the lock is released (declared before it).
}

void TSessionRegistry::StopAll()
{
    {
        // RequestStop never blocks, so it is safe under the lock, which keeps every
        // session alive while it is told.
        std::lock_guard guard(sessionsLock_);
        closing_ = true;
        for (const auto& entry : live_)
            entry.first->RequestStop();
    }
    TSessionList done;
    {
        std::unique_lock guard(sessionsLock_);
        allFinished_.wait(guard, [this] { return live_.empty(); });
        done = TakeFinished();
    }
}

bool TSessionRegistry::Serving(const TPeerInfo& peerInfo, std::string_view datagram) const
{
    std::lock_guard guard(sessionsLock_);
    for (const auto& entry : live_)
        if (entry.first->Serves(peerInfo, datagram))
            return true;
    return false;
}

std::size_t TSessionRegistry::LiveCount() const
{
    std::lock_guard guard(sessionsLock_);
    return live_.size();
}

TSessionRegistry::TSessionList TSessionRegistry::TakeFinished()
{
    TSessionList done;
    done.swap(finished_);
    return done;
}
