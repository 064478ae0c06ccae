#pragma once

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
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

/// The whole of `file`, or nothing when it cannot be read.
inline std::optional<std::string> FileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Whether two files hold the same bytes. Fails when either cannot be read: two missing
/// files are not the same content.
inline ::testing::AssertionResult SameFileBytes(const std::filesystem::path& got, const std::filesystem::path& want)
{
    const auto gotBytes = FileBytes(got);
    const auto wantBytes = FileBytes(want);
    if (!gotBytes || !wantBytes)
        return ::testing::AssertionFailure() << "cannot read " << (gotBytes ? want : got);
    return SameBytes(*gotBytes, *wantBytes) << " (" << got << " against " << want << ")";
}
