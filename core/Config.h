#pragma once

#include <cstdint>
#include <string>

#include "log/LogSettings.h"

/// The process-wide settings record, one field per settings key, each starting at the key's
/// default. Published by the settings store as an immutable snapshot; a plain value otherwise.
/// LogFolder's default is the program folder, which only the store knows, so it starts empty
/// here and the store fills it.
struct TConfig {
    bool Accept = false;
    bool AddNew = false;
    bool Log = false;
    bool LogLimit = true;
    bool LogLimitOptions = false;
    bool Overwrite = false;
    bool TipsOnStartUp = true;
    bool AutoStartTFTP = false;
    bool SecurityOn = false;
    bool LoadOnStartup = false;
    bool RefreshAfterLoad = true;
    bool RemoveDead = false;
    bool AutoRefresh = false;
    bool MinOnStartup = false;
    bool RMTransfer = true;
    bool TSize = true;
    bool ClientTimeout = true;
    bool LogUploadHash = false;  ///< an information entry with each received file's SHA-256
    std::int32_t AutoRefreshInterval = 1;
    std::int32_t LogSize = 100;
    std::int32_t Port = 69;
    std::int32_t LogFormat = 0;
    std::int32_t BufferSize = 8192;
    std::int32_t Timeout = 3;
    std::int32_t MaxDLConn = 1;
    std::int32_t MaxULConn = 1;
    std::int32_t MaxWindowSize = 16;  ///< RFC 7440 window, 1..64; 1 never grants one
    std::int32_t PortRangeLow = 0;    ///< transfer ports; 0 and 0: any port the system picks
    std::int32_t PortRangeHigh = 0;
    std::string Bind = "All";
    std::string DestDir;
    std::string LogFolder;
    std::string LastSavedFile;
    std::string TreeRoot;  // the boot tree's folder; empty: only listed files are served

    bool operator==(const TConfig&) const = default;
};

/// The "Logging" settings of a record, as a log-file write takes them.
inline TLogSettings LogSettingsOf(const TConfig& config)
{
    return {config.Log, config.LogFormat, config.LogLimitOptions, config.LogLimit, config.LogSize,
            config.LogFolder};
}
