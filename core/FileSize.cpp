#include "core/FileSize.h"

#include <array>
#include <charconv>
#include <stdexcept>

namespace {

constexpr std::array<const char*, 6> kUnits = {"KB", "MB", "GB", "TB", "PB", "EB"};
constexpr double kUnitFactor = 1024.0;
constexpr int kSizeDigits = 3;

// Fixed notation with a point whatever the user's locale says.
std::string FixedText(double value, int decimals)
{
    // Room for the 309 integer digits of the largest double and 16 decimals.
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    return std::string(buffer.data(), result.ptr);
}

// A value that shows as 1000 or more with three decimals cannot be written in three
// significant characters (999.9996 would become "100"), so it belongs to the next unit.
bool NeedsNextUnit(double value)
{
    const std::string text = FixedText(value, kSizeDigits);
    return text.find('.') >= 4;
}

}  // namespace

std::string GetSignificantDigits(double value, int digits)
{
    if (digits < 1 || digits > 16)
        throw std::out_of_range("GetSignificantDigits: A number of significant digits out of range");
    const auto count = static_cast<std::size_t>(digits);
    std::string text = FixedText(value, digits);
    if (text.size() > count + 1)
        text.resize(count + 1);
    const std::size_t point = text.find('.');
    if ((point == std::string::npos || point + 1 == text.size()) && text.size() > count)
        text.resize(count);
    return text;
}

std::string FormatFileSizeValue(std::int64_t size)
{
    if (size < 0)
        return "Unknown";
    if (size < 1000)
        return std::to_string(size) + " bytes";
    // "KB" starts at 1000 bytes; each later unit at its power of 1024.
    const auto bytes = static_cast<double>(size);
    std::size_t unit = 0;
    double divisor = kUnitFactor;
    while (unit + 1 < kUnits.size() && bytes >= divisor * kUnitFactor) {
        divisor *= kUnitFactor;
        ++unit;
    }
    const double value = bytes / divisor;
    if (NeedsNextUnit(value) && unit + 1 < kUnits.size())
        return FixedText(value / kUnitFactor, 2) + kUnits[unit + 1];
    return GetSignificantDigits(value, kSizeDigits) + kUnits[unit];
}
