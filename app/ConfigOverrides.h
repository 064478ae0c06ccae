#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/Config.h"

/// Values the headless command line gives for one run. Each replaces its key in every
/// record the settings store publishes, at start and at each reload; none is written to
/// the settings file. A plain value.
struct TConfigOverrides {
    std::optional<std::int32_t> Port;
    std::optional<std::string> Bind;
    std::optional<std::string> TreeRoot;
    std::optional<std::string> DestDir;  // uploads are accepted into this folder
    std::optional<std::int32_t> MaxDLConn;
    std::optional<std::int32_t> MaxULConn;

    void ApplyTo(TConfig& config) const
    {
        if (Port)
            config.Port = *Port;
        if (Bind)
            config.Bind = *Bind;
        if (TreeRoot)
            config.TreeRoot = *TreeRoot;
        if (DestDir) {
            config.Accept = true;
            config.DestDir = *DestDir;
        }
        if (MaxDLConn)
            config.MaxDLConn = *MaxDLConn;
        if (MaxULConn)
            config.MaxULConn = *MaxULConn;
    }
};
