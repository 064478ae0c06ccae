#pragma once

#include <optional>
#include <string>
#include <vector>

/// The program's own options, taken out of the argument list; what is left is for the
/// window's "-cm" rule, or the paths a headless server offers.
struct TCommandLine {
    bool Headless = false;
    bool Help = false;
    bool Version = false;
    std::optional<std::string> ConfigDir;
    std::optional<int> Port;
    std::vector<std::string> Remaining;
    std::string Error;  // an unknown option or a bad value; empty when all is well
};

/// Reads the arguments after the program name.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

/// One line per option.
std::string UsageText();

/// The version text shown in titles and by --version.
inline constexpr const char* VersionText = "3.2";
