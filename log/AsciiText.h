#pragma once

#include <string>
#include <string_view>

/// Comparisons that ignore the case of the ASCII letters A to Z only; every other byte
/// must match exactly. Names are compared so where a lookup asks for ASCII case.

char AsciiLower(char c);
std::string AsciiLowerText(std::string_view text);
bool AsciiEqualNoCase(std::string_view a, std::string_view b);
bool AsciiLessNoCase(std::string_view a, std::string_view b);
