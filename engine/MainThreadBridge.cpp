#include "engine/MainThreadBridge.h"

#include "engine/UnexpectedFailure.h"

bool TSyncCall::Run(IMainThreadBridge* bridge, std::function<void()> work,
                    const std::shared_ptr<TSyncCall>& call)
{
    if (bridge == nullptr) {
        call->RunIfPending(work);
        return call->Wait();
    }
    bridge->Post([call, task = std::move(work)] { call->RunIfPending(task); });
    return call->Wait();
}

void TSyncCall::Cancel()
{
    std::lock_guard guard(stateLock_);
    if (state_ == TState::Pending)
        state_ = TState::Cancelled;
    stateChanged_.notify_all();
}

void TSyncCall::RunIfPending(const std::function<void()>& work)
{
    {
        std::lock_guard guard(stateLock_);
        if (state_ != TState::Pending)
            return;
        state_ = TState::Running;
    }
    try {
        work();
    } catch (...) {
        // The caller waits for the work to end, not for it to succeed.
        ReportUnexpectedFailure("a main-thread call");
    }
    std::lock_guard guard(stateLock_);
    state_ = TState::Done;
    stateChanged_.notify_all();
}

bool TSyncCall::Wait()
{
    std::unique_lock guard(stateLock_);
    stateChanged_.wait(guard, [this] { return state_ == TState::Done || state_ == TState::Cancelled; });
    return state_ == TState::Done;
}
