#pragma once

#include "app/ConfigOverrides.h"

/// Run values that make the server bind any free port instead of the settings' "Port".
inline TConfigOverrides AnyFreePort()
{
    TConfigOverrides overrides;
    overrides.Port = 0;
    return overrides;
}
