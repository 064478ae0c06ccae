#include "app/SettingsStore.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
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

/// A number range a key's value must lie within for the server to work.
struct TRange {
    std::int32_t Low;
    std::int32_t High;
};

/// The dialog's save writes a key always, only when its value differs from the file's
/// (so the file of an operator who never sets it stays as the dialog has always written
/// it), or never.
enum class TDialogWrite { Never, Always, WhenChanged };

struct TSettingKey {
    const char* Section;
    const char* Key;
    TField Field;
    /// The key's place in the dialog's save, counted from 1; 0 when it never writes it.
    int DialogRank;
    TDialogWrite DialogWrite;
    std::optional<TRange> Range;
};

constexpr std::int32_t kNoLimit = std::numeric_limits<std::int32_t>::max();
constexpr auto kNever = TDialogWrite::Never;
constexpr auto kAlways = TDialogWrite::Always;
constexpr auto kChanged = TDialogWrite::WhenChanged;

/// Every settings key, in the order they are read and compared; StartOnStartup is written
/// by the dialog but not held in TConfig. The dialog writes the connection limits after
/// "ClientTimeout", and the boot tree's and upload hash's keys after all others. A key's
/// default is the initial value of its TConfig field.
/// BufferSize 0 leaves a server that answers nothing and a huge one takes gigabytes at
/// start; a Timeout or a connection limit of 0 refuses or drops every transfer.
const std::array<TSettingKey, 35> kKeys{{
    {kGeneral, "TipsOnStartUp", &TConfig::TipsOnStartUp, 0, kNever, {}},
    {kTftp, "Port", &TConfig::Port, 1, kAlways, TRange{1, 65535}},
    {kTftp, "BufferSize", &TConfig::BufferSize, 2, kAlways, TRange{512, 65536}},
    {kTftp, "Timeout", &TConfig::Timeout, 3, kAlways, TRange{1, kNoLimit}},
    {kTftp, "AutoStartTFTP", &TConfig::AutoStartTFTP, 4, kAlways, {}},
    {kTftp, "SecurityOn", &TConfig::SecurityOn, 5, kAlways, {}},
    {kTftp, "LoadOnStartup", &TConfig::LoadOnStartup, 6, kAlways, {}},
    {kTftp, "RefreshAfterLoad", &TConfig::RefreshAfterLoad, 7, kAlways, {}},
    {kTftp, "RemoveDead", &TConfig::RemoveDead, 8, kAlways, {}},
    {kTftp, "AutoRefresh", &TConfig::AutoRefresh, 9, kAlways, {}},
    {kTftp, "AutoRefreshInterval", &TConfig::AutoRefreshInterval, 10, kAlways, {}},
    {kTftp, "StartOnStartup", TStartOnStartup{}, 11, kAlways, {}},
    {kTftp, "MinOnStartup", &TConfig::MinOnStartup, 12, kAlways, {}},
    {kTftp, "MaxDLConn", &TConfig::MaxDLConn, 16, kAlways, TRange{1, kNoLimit}},
    {kTftp, "MaxULConn", &TConfig::MaxULConn, 17, kAlways, TRange{1, kNoLimit}},
    {kTftp, "RMTransfer", &TConfig::RMTransfer, 13, kAlways, {}},
    {kTftp, "TSize", &TConfig::TSize, 14, kAlways, {}},
    {kTftp, "ClientTimeout", &TConfig::ClientTimeout, 15, kAlways, {}},
    {kTftp, "MaxWindowSize", &TConfig::MaxWindowSize, 18, kAlways, TRange{1, MaxWindowSizeSetting}},
    {kTftp, "PortRangeLow", &TConfig::PortRangeLow, 19, kAlways, {}},
    {kTftp, "PortRangeHigh", &TConfig::PortRangeHigh, 20, kAlways, {}},
    {kIp, "Bind", &TConfig::Bind, 21, kAlways, {}},
    {kAccepting, "Accept", &TConfig::Accept, 22, kAlways, {}},
    {kAccepting, "AddNew", &TConfig::AddNew, 23, kAlways, {}},
    {kAccepting, "Overwrite", &TConfig::Overwrite, 24, kAlways, {}},
    {kAccepting, "DestDir", &TConfig::DestDir, 25, kAlways, {}},
    {kAccepting, "LogUploadHash", &TConfig::LogUploadHash, 33, kChanged, {}},
    {kLogging, "Log", &TConfig::Log, 26, kAlways, {}},
    {kLogging, "LogFormat", &TConfig::LogFormat, 27, kAlways, {}},
    {kLogging, "LogLimitOptions", &TConfig::LogLimitOptions, 28, kAlways, {}},
    {kLogging, "LogLimit", &TConfig::LogLimit, 29, kAlways, {}},
    {kLogging, "LogSize", &TConfig::LogSize, 30, kAlways, {}},
    {kLogging, "LogFolder", &TConfig::LogFolder, 31, kAlways, {}},
    {kLastSaved, "File", &TConfig::LastSavedFile, 0, kNever, {}},
    {kFileServing, "TreeRoot", &TConfig::TreeRoot, 32, kChanged, {}},
}};

/// The keys the dialog's save writes, in its order.
const std::vector<const TSettingKey*> kDialogOrder = [] {
    std::vector<const TSettingKey*> order;
    for (const TSettingKey& key : kKeys) {
        if (key.DialogWrite != kNever)
            order.push_back(&key);
    }
    std::ranges::sort(order, {}, &TSettingKey::DialogRank);
    return order;
}();

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

/// Puts each key whose number is out of its range back to its default, naming it in
/// `problems`; a value that is no number at all ("69xyz") is named too, though it reads as
/// the default.
void CheckRanges(const TIniFile& ini, const TConfig& defaults, TConfig& config, std::vector<std::string>& problems)
{
    for (const TSettingKey& key : kKeys) {
        if (!key.Range)
            continue;
        const auto field = std::get<std::int32_t TConfig::*>(key.Field);
        std::int32_t& value = config.*field;
        const std::string text = ini.ReadString(key.Section, key.Key, {});
        const bool readable = text.empty() || ParseIniInteger(text).has_value();
        if (readable && value >= key.Range->Low && value <= key.Range->High)
            continue;
        value = defaults.*field;
        problems.push_back("Application: Invalid value for " + std::string(key.Key) + ", using " +
                           std::to_string(value));
    }
}

bool Differs(const TSettingKey& key, const TConfig& before, const TConfig& after)
{
    return std::visit(TOverloaded{
                          [](TStartOnStartup) { return false; },
                          [&](auto TConfig::*field) { return before.*field != after.*field; },
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
    for (const auto& key : kKeys) {
        if (Differs(key, before, after))
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
    for (const auto& key : kKeys)
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
    const TConfig defaults = Defaults();
    TIniFile file(paths_.SettingsFile());
    TConfig onFile = defaults;
    std::vector<TIniValue> writes;
    writes.reserve(kDialogOrder.size());
    for (const TSettingKey* key : kDialogOrder) {
        if (key->DialogWrite == kChanged) {
            ReadKey(file, *key, defaults, onFile);
            if (!Differs(*key, values, onFile))
                continue;
        }
        writes.push_back({key->Section, key->Key, ValueText(*key, values, startOnStartup)});
    }
    // An installed program's folder comes into being with its first settings.
    paths_.EnsureProgramFolder();
    file.WriteValues(writes);
}

void TSettingsStore::WriteDefaults()
{
    WriteConfigurationKeys(Defaults(), false);
}
