#pragma once

#include <chrono>

/// Source of the time that only goes forward, for the waits of a transfer session; tests
/// substitute a clock they move on themselves.
class ISteadyClock {
public:
    using TTimePoint = std::chrono::steady_clock::time_point;

    virtual ~ISteadyClock() = default;
    virtual TTimePoint Now() const = 0;
};

/// The system's steady clock. Safe to call from any thread.
class TSystemSteadyClock final : public ISteadyClock {
public:
    TTimePoint Now() const override { return std::chrono::steady_clock::now(); }
    /// The one instance every session shares.
    static const TSystemSteadyClock& Instance();
};
