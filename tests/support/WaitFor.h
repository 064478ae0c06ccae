#pragma once

#include <chrono>
#include <thread>

/// Polls `condition` until it holds or `limit` passes; returns whether it held.
/// Tests wait on conditions this way instead of sleeping for a fixed time.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(30))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
