#include "engine/SteadyClock.h"

const TSystemSteadyClock& TSystemSteadyClock::Instance()
{
    static const TSystemSteadyClock clock;
    return clock;
}
