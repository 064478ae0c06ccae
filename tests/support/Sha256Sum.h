#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

/// The SHA-256 of `file` in hex as sha256sum prints it; empty when the file cannot be read.
std::string Sha256Sum(const std::filesystem::path& file);

/// Whether `got` and `want` hash alike. Fails when either cannot be hashed: two missing
/// files are not the same content.
testing::AssertionResult SameSha256(const std::filesystem::path& got, const std::filesystem::path& want);
