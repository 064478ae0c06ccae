#include "core/LocaleText.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace {

constexpr wchar_t kStrayByteBase = 0xDC80;

}  // namespace

std::wstring WidenLocale(std::string_view text)
{
    std::wstring wide;
    wide.reserve(text.size());
    std::mbstate_t state{};
    std::size_t at = 0;
    while (at < text.size()) {
        wchar_t c = 0;
        const std::size_t used = std::mbrtowc(&c, text.data() + at, text.size() - at, &state);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
            wide += static_cast<wchar_t>(kStrayByteBase + static_cast<unsigned char>(text[at]));
            state = std::mbstate_t{};
            ++at;
            continue;
        }
        wide += c;
        at += used == 0 ? 1 : used;  // 0 is a NUL byte, which is one byte long
    }
    return wide;
}

std::wstring LocaleUpper(std::string_view text)
{
    std::wstring upper = WidenLocale(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); });
    return upper;
}

std::wstring CollationKey(std::string_view text)
{
    std::wstring wide = WidenLocale(text);
    // wcsxfrm stops at a NUL; listed names never hold one (file names cannot, and
    // document lines holding one are refused).
    const std::size_t length = std::wcsxfrm(nullptr, wide.c_str(), 0);
    if (length == static_cast<std::size_t>(-1))
        return wide;
    std::wstring key(length + 1, L'\0');
    std::wcsxfrm(key.data(), wide.c_str(), key.size());
    key.resize(length);
    return key;
}
