#include "app/SettingsStore.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>
#include <variant>

#include "app/IniDocument.h"
#include "app/IniFile.h"
#include "engine/SocketHandle.h"
#include "engine/TransferPorts.h"

namespace {

constexpr char kGeneral[] = "General";
constexpr char kTftp[] = "TFTP Settings";
constexpr char kIp[] = "IP Settings";
constexpr char kAccepting[] = "FileAccepting";
constexpr char kLogging[] = "Logging";
constexpr char kLastSaved[] = "Lasted Saved";
constexpr char kFileServing[] = "FileServing";

/// The one key of the dialog's save that TConfig does not hold.
struct TStartOnStartup {};

using TField = std::variant<TStartOnStartup, bool TConfig::*, std::int32_t TConfig::*,
                            std::string TConfig::*>;

struct TSettingKey {
    const char* Section;
    const char* Key;
    TField Field;
};

/// Every TConfig field, in the order they are read.
const std::array<TSettingKey, 34> kLoadOrder{{
    {kGeneral, "TipsOnStartUp", &TConfig::TipsOnStartUp},
    {kTftp, "Port", &TConfig::Port},
    {kTftp, "BufferSize", &TConfig::BufferSize},
    {kTftp, "Timeout", &TConfig::Timeout},
    {kTftp, "AutoStartTFTP", &TConfig::AutoStartTFTP},
    {kTftp, "SecurityOn", &TConfig::SecurityOn},
    {kTftp, "LoadOnStartup", &TConfig::LoadOnStartup},
    {kTftp, "RefreshAfterLoad", &TConfig::RefreshAfterLoad},
    {kTftp, "RemoveDead", &TConfig::RemoveDead},
    {kTftp, "AutoRefresh", &TConfig::AutoRefresh},
    {kTftp, "AutoRefreshInterval", &TConfig::AutoRefreshInterval},
    {kTftp, "MinOnStartup", &TConfig::MinOnStartup},
    {kTftp, "MaxDLConn", &TConfig::MaxDLConn},
    {kTftp, "MaxULConn", &TConfig::MaxULConn},
    {kTftp, "RMTransfer", &TConfig::RMTransfer},
    {kTftp, "TSize", &TConfig::TSize},
    {kTftp, "ClientTimeout", &TConfig::ClientTimeout},
    {kTftp, "MaxWindowSize", &TConfig::MaxWindowSize},
    {kTftp, "PortRangeLow", &TConfig::PortRangeLow},
    {kTftp, "PortRangeHigh", &TConfig::PortRangeHigh},
    {kIp, "Bind", &TConfig::Bind},
    {kAccepting, "Accept", &TConfig::Accept},
    {kAccepting, "AddNew", &TConfig::AddNew},
    {kAccepting, "Overwrite", &TConfig::Overwrite},
    {kAccepting, "DestDir", &TConfig::DestDir},
    {kAccepting, "LogUploadHash", &TConfig::LogUploadHash},
    {kLogging, "Log", &TConfig::Log},
    {kLogging, "LogFormat", &TConfig::LogFormat},
    {kLogging, "LogLimitOptions", &TConfig::LogLimitOptions},
    {kLogging, "LogLimit", &TConfig::LogLimit},
    {kLogging, "LogSize", &TConfig::LogSize},
    {kLogging, "LogFolder", &TConfig::LogFolder},
    {kLastSaved, "File", &TConfig::LastSavedFile},
    {kFileServing, "TreeRoot", &TConfig::TreeRoot},
}};

/// The keys the configuration dialog writes, in the order it writes them; the connection
/// limits follow "ClientTimeout", and the window and transfer ports follow them.
const std::array<TSettingKey, 31> kDialogOrder{{
    {kTftp, "Port", &TConfig::Port},
    {kTftp, "BufferSize", &TConfig::BufferSize},
    {kTftp, "Timeout", &TConfig::Timeout},
    {kTftp, "AutoStartTFTP", &TConfig::AutoStartTFTP},
    {kTftp, "SecurityOn", &TConfig::SecurityOn},
    {kTftp, "LoadOnStartup", &TConfig::LoadOnStartup},
    {kTftp, "RefreshAfterLoad", &TConfig::RefreshAfterLoad},
    {kTftp, "RemoveDead", &TConfig::RemoveDead},
    {kTftp, "AutoRefresh", &TConfig::AutoRefresh},
    {kTftp, "AutoRefreshInterval", &TConfig::AutoRefreshInterval},
    {kTftp, "StartOnStartup", TStartOnStartup{}},
    {kTftp, "MinOnStartup", &TConfig::MinOnStartup},
    {kTftp, "RMTransfer", &TConfig::RMTransfer},
    {kTftp, "TSize", &TConfig::TSize},
    {kTftp, "ClientTimeout", &TConfig::ClientTimeout},
    {kTftp, "MaxDLConn", &TConfig::MaxDLConn},
    {kTftp, "MaxULConn", &TConfig::MaxULConn},
    {kTftp, "MaxWindowSize", &TConfig::MaxWindowSize},
    {kTftp, "PortRangeLow", &TConfig::PortRangeLow},
    {kTftp, "PortRangeHigh", &TConfig::PortRangeHigh},
    {kIp, "Bind", &TConfig::Bind},
    {kAccepting, "Accept", &TConfig::Accept},
    {kAccepting, "AddNew", &TConfig::AddNew},
    {kAccepting, "Overwrite", &TConfig::Overwrite},
    {kAccepting, "DestDir", &TConfig::DestDir},
    {kLogging, "Log", &TConfig::Log},
    {kLogging, "LogFormat", &TConfig::LogFormat},
    {kLogging, "LogLimitOptions", &TConfig::LogLimitOptions},
    {kLogging, "LogLimit", &TConfig::LogLimit},
    {kLogging, "LogSize", &TConfig::LogSize},
    {kLogging, "LogFolder", &TConfig::LogFolder},
}};

/// A number key whose value must lie within [Low, High] for the server to work.
struct TCheckedKey {
    const char* Key;
    std::int32_t TConfig::*Field;
    std::int32_t Low;
    std::int32_t High;
};

constexpr std::int32_t kNoLimit = std::numeric_limits<std::int32_t>::max();

// BufferSize 0 leaves a server that answers nothing and a huge one takes gigabytes at
// start; a Timeout or a connection limit of 0 refuses or drops every transfer.
const std::array<TCheckedKey, 6> kCheckedKeys{{
    {"Port", &TConfig::Port, 1, 65535},
    {"BufferSize", &TConfig::BufferSize, 512, 65536},
    {"Timeout", &TConfig::Timeout, 1, kNoLimit},
    {"MaxDLConn", &TConfig::MaxDLConn, 1, kNoLimit},
    {"MaxULConn", &TConfig::MaxULConn, 1, kNoLimit},
    {"MaxWindowSize", &TConfig::MaxWindowSize, 1, MaxWindowSizeSetting},
}};

/// Puts each checked key that is out of range back to its default, naming it in `problems`;
/// a value that is no number at all ("69xyz") is named too, though it reads as the default.
void CheckRanges(const TIniFile& ini, const TConfig& defaults, TConfig& config, std::vector<std::string>& problems)
{
    for (const TCheckedKey& checked : kCheckedKeys) {
        std::int32_t& value = config.*checked.Field;
        const std::string text = ini.ReadString(kTftp, checked.Key, {});
        const bool readable = text.empty() || ParseIniInteger(text).has_value();
        if (readable && value >= checked.Low && value <= checked.High)
            continue;
        value = defaults.*checked.Field;
        problems.push_back("Application: Invalid value for " + std::string(checked.Key) + ", using " +
                           std::to_string(value));
    }
}

template <typename... Handlers>
struct TOverloaded : Handlers... {
    using Handlers::operator()...;
};
template <typename... Handlers>
TOverloaded(Handlers...) -> TOverloaded<Handlers...>;

void ReadKey(const TIniFile& ini, const TSettingKey& key, const TConfig& defaults, TConfig& config)
{
    std::visit(TOverloaded{
                   [](TStartOnStartup) {},
                   [&](bool TConfig::*field) {
                       config.*field = ini.ReadBool(key.Section, key.Key, defaults.*field);
                   },
                   [&](std::int32_t TConfig::*field) {
                       config.*field = ini.ReadInteger(key.Section, key.Key, defaults.*field);
                   },
                   [&](std::string TConfig::*field) {
                       config.*field = ini.ReadString(key.Section, key.Key, defaults.*field);
                   },
               },
               key.Field);
}

/// A transfer port range the sessions cannot bind from means "any port", as by default;
/// 0..0 is that default itself and no problem.
void DropUnusablePortRange(TConfig& config, std::vector<std::string>& problems)
{
    const bool noRange = config.PortRangeLow == 0 && config.PortRangeHigh == 0;
    if (noRange || TransferPortRangeValid(config.PortRangeLow, config.PortRangeHigh))
        return;
    config.PortRangeLow = 0;
    config.PortRangeHigh = 0;
    problems.push_back("Application: Invalid value for PortRangeLow, using 0");
}

std::string BoolText(bool value)
{
    return value ? "1" : "0";
}

std::string ValueText(const TSettingKey& key, const TConfig& values, bool startOnStartup)
{
    const auto text = TOverloaded{
        [&](TStartOnStartup) { return BoolText(startOnStartup); },
        [&](bool TConfig::*field) { return BoolText(values.*field); },
        [&](std::int32_t TConfig::*field) { return std::to_string(values.*field); },
        [&](std::string TConfig::*field) { return values.*field; },
    };
    return std::visit(text, key.Field);
}

}  // namespace

std::vector<std::string> BindAddresses(const std::string& bind)
{
    if (bind == "All")
        return {"0.0.0.0", kEveryIPv6Address};
    std::vector<std::string> addresses;
    std::string::size_type start = 0;
    for (;;) {
        const auto separator = bind.find(';', start);
        addresses.push_back(bind.substr(start, separator - start));
        if (separator == std::string::npos)
            return addresses;
        start = separator + 1;
    }
}

std::vector<std::string> ChangedSettings(const TConfig& before, const TConfig& after)
{
    std::vector<std::string> changed;
    for (const auto& key : kLoadOrder) {
        const bool differs = std::visit(TOverloaded{
                                            [](TStartOnStartup) { return false; },
                                            [&](auto TConfig::*field) { return before.*field != after.*field; },
                                        },
                                        key.Field);
        if (differs)
            changed.emplace_back(key.Key);
    }
    return changed;
}

TSettingsStore::TSettingsStore(TProgramPaths paths)
    : paths_(std::move(paths)), config_(std::make_shared<const TConfig>(Defaults()))
{
}

TConfig TSettingsStore::Defaults() const
{
    TConfig defaults;
    defaults.LogFolder = paths_.DefaultLogFolder();
    return defaults;
}

TSettingsRead TSettingsStore::ReadCheckedSettingsFile() const
{
    const TIniFile ini(paths_.SettingsFile());
    const TConfig defaults = Defaults();
    TSettingsRead read{defaults, {}};
    if (ini.Unreadable())
        read.Problems.push_back("Application: Cannot read " + paths_.SettingsFile().string() + ", using defaults");
    for (const auto& key : kLoadOrder)
        ReadKey(ini, key, defaults, read.Config);
    CheckRanges(ini, defaults, read.Config, read.Problems);
    DropUnusablePortRange(read.Config, read.Problems);
    return read;
}

bool TSettingsStore::ReadStartOnStartup() const
{
    return TIniFile(paths_.SettingsFile()).ReadBool(kTftp, "StartOnStartup", false);
}

bool TSettingsStore::SettingsFileExists() const
{
    std::error_code error;
    return std::filesystem::exists(paths_.SettingsFile(), error);
}

void TSettingsStore::SetOverrides(TConfigOverrides overrides)
{
    overrides_ = std::move(overrides);
}

TSettingsRead TSettingsStore::ReadCheckedServingSettings() const
{
    TSettingsRead read = ReadCheckedSettingsFile();
    overrides_.ApplyTo(read.Config);
    return read;
}

std::vector<std::string> TSettingsStore::LoadSettings()
{
    TSettingsRead read = ReadCheckedServingSettings();
    Publish(std::move(read.Config));
    return std::move(read.Problems);
}

std::shared_ptr<const TConfig> TSettingsStore::Config() const
{
    const std::lock_guard lock(configLock_);
    return config_;
}

void TSettingsStore::Publish(TConfig config)
{
    auto published = std::make_shared<const TConfig>(std::move(config));
    const std::lock_guard lock(configLock_);
    config_.swap(published);
}

template <typename Change>
void TSettingsStore::Amend(Change change)
{
    TConfig config = *Config();
    change(config);
    Publish(std::move(config));
}

void TSettingsStore::RecordLastSavedFile(const std::string& path)
{
    Amend([&](TConfig& config) { config.LastSavedFile = path; });
    if (SettingsFileExists())
        TIniFile(paths_.SettingsFile()).WriteString(kLastSaved, "File", path);
}

void TSettingsStore::WriteTipsOnStartUp(bool show)
{
    Amend([&](TConfig& config) { config.TipsOnStartUp = show; });
    paths_.EnsureProgramFolder();
    TIniFile(paths_.SettingsFile()).WriteBool(kGeneral, "TipsOnStartUp", show);
}

void TSettingsStore::WriteConfigurationKeys(const TConfig& values, bool startOnStartup)
{
    std::vector<TIniValue> writes;
    writes.reserve(kDialogOrder.size());
    for (const auto& key : kDialogOrder)
        writes.push_back({key.Section, key.Key, ValueText(key, values, startOnStartup)});
    // The boot tree's and the upload hash's keys are written only when they change, so the
    // file of an operator who never sets them stays as the dialog has always written it.
    TIniFile file(paths_.SettingsFile());
    if (values.TreeRoot != file.ReadString(kFileServing, "TreeRoot", ""))
        writes.push_back({kFileServing, "TreeRoot", values.TreeRoot});
    if (values.LogUploadHash != file.ReadBool(kAccepting, "LogUploadHash", false))
        writes.push_back({kAccepting, "LogUploadHash", values.LogUploadHash ? "1" : "0"});
    // An installed program's folder comes into being with its first settings.
    paths_.EnsureProgramFolder();
    file.WriteValues(writes);
}

void TSettingsStore::WriteDefaults()
{
    WriteConfigurationKeys(Defaults(), false);
}
