#pragma once

#include <atomic>
#include <ctime>

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
