#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/ConfigOverrides.h"
#include "app/ProgramPaths.h"
#include "core/Config.h"

/// The largest "MaxWindowSize" the settings take, in blocks.
constexpr std::int32_t MaxWindowSizeSetting = 64;

/// The addresses the engine binds for a "Bind" value: "All" (exactly so) is every local
/// address, "0.0.0.0" and "::" (left out where the machine has no IPv6); anything else is split at every ";", so a value without ";" is one
/// address and an empty value is one empty address. Texts are not checked here.
std::vector<std::string> BindAddresses(const std::string& bind);

/// The settings keys whose values differ between `before` and `after`, in file order.
std::vector<std::string> ChangedSettings(const TConfig& before, const TConfig& after);

/// The settings file read into a record, and what in it could not be used, each as the
/// status text that reports it ("Application: Invalid value for Port, using 69").
struct TSettingsRead {
    TConfig Config;
    std::vector<std::string> Problems;
};

/// The settings file and the process-wide TConfig record, owned by the application core.
/// Loading and writing happen on the main thread; Config() may be called from any thread
/// and always returns one whole record, old or new. Writes that the platform refuses throw
/// ESettingsWriteError ("Unable to write to <settings file>").
class TSettingsStore {
public:
    explicit TSettingsStore(TProgramPaths paths);

    const TProgramPaths& Paths() const { return paths_; }

    /// The record every key takes when the file holds nothing for it.
    TConfig Defaults() const;

    /// The settings file read into a record, missing keys and invalid values giving their
    /// defaults; a missing file gives all defaults and is not created. Publishes nothing.
    /// Numbers the server cannot work with (a Port outside 1..65535, a BufferSize outside
    /// 512..65536, a Timeout, MaxDLConn or MaxULConn below 1, a MaxWindowSize
    /// outside 1..64, a transfer port range the sessions cannot use) are invalid values too; they
    /// and a file that exists but cannot be read are listed as problems.
    TSettingsRead ReadCheckedSettingsFile() const;
    TConfig ReadSettingsFile() const { return ReadCheckedSettingsFile().Config; }

    /// "TFTP Settings" / "StartOnStartup", which the configuration dialog shows but TConfig
    /// does not hold.
    bool ReadStartOnStartup() const;

    bool SettingsFileExists() const;

    /// Values of this run that replace the file's in every record published from now on.
    void SetOverrides(TConfigOverrides overrides);

    /// The settings file read into a record with this run's overrides applied, with the
    /// values that could not be used listed as LoadSettings lists them.
    TSettingsRead ReadCheckedServingSettings() const;

    /// Reads the settings file and publishes it as the new record, replacing every field.
    /// Returns the problems found, for the caller to report once.
    std::vector<std::string> LoadSettings();

    /// Publishes `config` as the new record, whole.
    void Publish(TConfig config);

    /// The current record. Safe to call from any thread; the record never changes under
    /// the holder. Before the first LoadSettings it holds the defaults.
    std::shared_ptr<const TConfig> Config() const;

    /// After a files list was saved: sets LastSavedFile and, only when the settings file
    /// exists, writes "Lasted Saved" / "File".
    void RecordLastSavedFile(const std::string& path);

    /// After the tip of the day closes: sets TipsOnStartUp and writes "General" /
    /// "TipsOnStartUp". The record keeps the new value even when the write is refused.
    void WriteTipsOnStartUp(bool show);

    /// The configuration dialog's save: every key it edits, in its order, from `values` and
    /// the autostart box. TConfig is not changed; LoadSettings follows the dialog.
    void WriteConfigurationKeys(const TConfig& values, bool startOnStartup);

    /// The keys of the configuration dialog with their defaults, for its first opening.
    void WriteDefaults();

private:
    template <typename Change>
    void Amend(Change change);

    TProgramPaths paths_;
    TConfigOverrides overrides_;
    mutable std::mutex configLock_;  // guards config_ (the pointer, not the record)
    std::shared_ptr<const TConfig> config_;
};
