#include "log/Clock.h"

#include <array>

std::time_t TSystemClock::Now() const
{
    return std::time(nullptr);
}

std::tm LocalTime(std::time_t time)
{
    std::tm local{};
    ::localtime_r(&time, &local);
    return local;
}

std::string FormatLocalDateTime(std::time_t time)
{
    const std::tm local = LocalTime(time);
    std::array<char, 128> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), "%x %X", &local);
    return std::string(text.data(), length);
}
