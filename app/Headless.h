#pragma once

#include <cstddef>
#include <iosfwd>

#include "app/CommandLine.h"

/// The activity entries headless mode keeps in memory besides transfers under way: each
/// entry is printed as it comes and nothing shows them again, so a short tail is enough
/// and memory stays flat under any flood of requests.
inline constexpr std::size_t kHeadlessActivityEntries = 256;

/// Runs the server without windows until SIGINT or SIGTERM: the window's start-up
/// sequence, then the command line's paths are offered and the server started. Activity
/// lines go to `out` as they are appended and updated; a refused start goes to `err`.
/// Returns the process exit status: 0 after a signal, 2 when the server cannot start.
int RunHeadless(const TCommandLine& commandLine, std::ostream& out, std::ostream& err);
