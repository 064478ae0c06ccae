#pragma once

#include <string>
#include <string_view>

/// Locale-aware text for names: the bytes are read as characters of the user's locale
/// (LC_CTYPE, UTF-8 on Linux); a byte that does not form a character there stands for
/// itself as U+DC80 + byte, so no two different names ever read alike. Safe from any
/// thread once the program set its locale.

std::wstring WidenLocale(std::string_view text);

/// `text` upper-cased character by character by the locale, for case-insensitive
/// equality the way the user's language sees it.
std::wstring LocaleUpper(std::string_view text);

/// A key whose plain comparison orders names as the locale's collation (LC_COLLATE)
/// does.
std::wstring CollationKey(std::string_view text);
