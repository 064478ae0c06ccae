#pragma once

#include <string>
#include <string_view>

/// Path texts as the program splits them, "/" being the only separator.

/// The part after the last "/" (the whole text when it has none).
std::string NamePart(std::string_view path);

/// The part before the last "/"; "/" itself for a file in the root, "" when there is no
/// separator at all.
std::string DirPart(std::string_view path);

/// The extension of the name part, from its last "." and including it; "" when the
/// name part has no ".".
std::string FileExtension(std::string_view path);
