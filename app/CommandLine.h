#pragma once

#include <optional>
#include <string>
#include <vector>

// kVersionText, generated from the project version.
#include "Version.h"

/// The program's own options, taken out of the argument list; what is left is for the
/// window's "-cm" rule, or the paths a headless server offers.
struct TCommandLine {
    bool Headless = false;
    bool Help = false;
    bool Version = false;
    std::optional<std::string> ConfigDir;
    // Headless only, each for this run alone: nothing is written to the settings file.
    std::optional<int> Port;
    std::optional<std::string> Root;          // --root: the boot tree
    std::vector<std::string> Bind;            // --bind, in the order given
    std::optional<std::string> Accept;        // --accept: uploads on, into this folder
    std::optional<int> MaxDownloads;
    std::optional<int> MaxUploads;
    std::vector<std::string> Remaining;
    std::string Error;  // an unknown option or a bad value; empty when all is well
};

/// Reads the arguments after the program name.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

/// The address text a "Bind" value takes for `text`, or none when it is not an address.
std::optional<std::string> BindAddressText(const std::string& text);

/// One line per option.
std::string UsageText();
