#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include <gtest/gtest.h>

/// Compares two byte strings of any size and names the first difference. EXPECT_EQ on
/// strings of megabytes would print both and work out a line diff of them, which costs
/// memory by the gigabyte when the bytes hold many line feeds.
inline ::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    const auto mismatch = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                         << " were expected, first difference at byte "
                                         << (mismatch.first - actual.begin());
}
