#include "core/ServerState.h"

void TServerState::ShowServerState(const std::string& text)
{
    const std::int32_t connections = DownloadCount + UploadCount;
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
    if (stopRequested_ && DownloadCount <= 0 && UploadCount <= 0)
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
