#pragma once

#include <functional>
#include <string>

class TApplicationCore;

// What a headless server tells its operator on standard error, and its reload on SIGHUP.
// Main thread only.

/// "127.0.0.1:69, 10.0.0.1:69": every address and port the engine listens on now.
std::string ListeningText(TApplicationCore& core);

/// The line written once the server listens: addresses and port, the number of listed
/// files, the boot tree if any, and the upload folder if uploads are accepted.
std::string StartLine(TApplicationCore& core);

/// Re-reads the settings file and both rules files (IPv4 and IPv6) and applies them as
/// the configuration dialog's close does, re-binding the server when "Port" or "Bind"
/// changed (transfers under way go on), then refreshes the files list as Refresh does. A
/// file that cannot be read, or a new binding that fails, refuses the whole reload and
/// the running settings stay. A value that cannot be used takes its default and is told
/// to `reportProblem` as at start ("Application: Invalid value for Port, using 69").
/// Returns the line that says what changed or why not.
std::string ReloadSettingsAndRules(TApplicationCore& core,
                                   const std::function<void(const std::string&)>& reportProblem = {});
