#pragma once

#include <filesystem>
#include <string>

/// What writing the autostart entry came to.
enum class TAutostartOutcome {
    Done,               // written, removed, or there was nothing to remove
    FolderUnavailable,  // the autostart folder cannot be found or made: nothing is reported
    Refused,            // the entry could not be written or removed: the caller shows the error
};

/// The error shown when the entry is refused.
inline constexpr char kAutostartRefusedText[] = "Failed to set data for 'Veltrane'";

/// The desktop's autostart folder: $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when
/// XDG_CONFIG_HOME is unset or not absolute. Empty when there is no home folder either.
std::filesystem::path DefaultAutostartFolder();

/// The desktop entry that starts `executable` with "-cm" at log-in. Empty when the path
/// holds a control character, which the entry's one-line value cannot carry.
std::string AutostartEntryText(const std::filesystem::path& executable);

/// Writes "<autostartFolder>/veltrane.desktop" starting `executable` with "-cm" when
/// `enabled`, and removes it otherwise (a missing file is fine). The file is replaced
/// whole, never left half written. Main thread only.
TAutostartOutcome WriteAutostartEntry(bool enabled, const std::filesystem::path& executable,
                                      const std::filesystem::path& autostartFolder);

/// The same for the running executable and the desktop's autostart folder.
TAutostartOutcome WriteAutostartEntry(bool enabled);
