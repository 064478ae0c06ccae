#pragma once

#include <ctime>
#include <string>

/// Source of the current time. The activity log stamps entries and names daily log files
/// with it; tests substitute a clock they set.
class TClock {
public:
    virtual ~TClock() = default;
    virtual std::time_t Now() const = 0;
};

/// The system's wall clock. Safe to call from any thread.
class TSystemClock final : public TClock {
public:
    std::time_t Now() const override;
};

/// Broken-down local time of `time`.
std::tm LocalTime(std::time_t time);

/// The user's short date, one blank and long time, in the locale the program set up
/// with setlocale (LC_TIME).
std::string FormatLocalDateTime(std::time_t time);
