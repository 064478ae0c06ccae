#include "core/ServerState.h"

std::optional<TConnectionPlace> TServerState::TakePlace(bool upload, std::int32_t limit)
{
    std::atomic<std::int32_t>& count = upload ? uploadCount_ : downloadCount_;
    std::int32_t running = count.load();
    do {
        if (running >= limit)
            return std::nullopt;
    } while (!count.compare_exchange_weak(running, running + 1));
    return TConnectionPlace(count);
}

void TServerState::ShowServerState(const std::string& text)
{
    const std::int32_t connections = downloadCount_ + uploadCount_;
    {
        std::lock_guard guard(textsLock_);
        countText_ = "Connection count: " + std::to_string(connections);
        if (!stopRequested_)
            stateText_ = text;
    }
    Notify();
}

void TServerState::SetStateText(const std::string& text)
{
    {
        std::lock_guard guard(textsLock_);
        stateText_ = text;
    }
    Notify();
}

void TServerState::RefreshAfterCompletion()
{
    ShowServerState(kStarted);
    if (stopRequested_ && downloadCount_ <= 0 && uploadCount_ <= 0)
        SetStateText(kStopped);
}

std::string TServerState::StateText() const
{
    std::lock_guard guard(textsLock_);
    return stateText_;
}

std::string TServerState::CountText() const
{
    std::lock_guard guard(textsLock_);
    return countText_;
}

void TServerState::Notify() const
{
    if (observer_ != nullptr)
        observer_->StatusTextsChanged();
}
