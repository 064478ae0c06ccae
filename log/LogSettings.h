#pragma once

#include <string>

/// The "Logging" settings a log-file write uses, handed over as values at the moment of
/// the write so a change takes effect with the next finished transfer.
struct TLogSettings {
    bool Log = false;
    int LogFormat = 0;  // 1 writes comma-delimited ".csv" files, anything else text ".log"
    bool LogLimitOptions = false;
    bool LogLimit = true;  // true: numbered files of at most LogSize KB; false: daily files
    int LogSize = 100;     // KB of 1024 bytes
    std::string LogFolder;
};
