#pragma once

#include <atomic>
#include <chrono>
#include <ctime>

#include "engine/SteadyClock.h"
#include "log/Clock.h"

/// A clock that tells the time the test set.
class TFakeClock final : public TClock {
public:
    explicit TFakeClock(std::time_t now) : now_(now) {}
    std::time_t Now() const override { return now_.load(); }
    void Set(std::time_t now) { now_.store(now); }

private:
    std::atomic<std::time_t> now_;
};

/// A steady clock that stands still until the test, or a fake peer, moves it on; for a
/// session served on the test's thread.
class TFakeSteadyClock final : public ISteadyClock {
public:
    TTimePoint Now() const override { return TTimePoint(elapsed_); }
    void Advance(std::chrono::milliseconds by) { elapsed_ += by; }
    /// The time moved on since the clock was made.
    std::chrono::milliseconds Elapsed() const { return elapsed_; }

private:
    std::chrono::milliseconds elapsed_{0};
};

/// The moment of local time `year`-`month`-`day` `hour`:00:00.
inline std::time_t LocalMoment(int year, int month, int day, int hour = 12)
{
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_isdst = -1;
    return std::mktime(&local);
}
