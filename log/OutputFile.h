#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fileio/UniqueFd.h"

/// Owns one regular file opened for writing (log files, quick saves). Anything else (a
/// FIFO, a device, a folder) is not opened, without blocking. Move-only; the descriptor
/// is closed when the owner goes. One thread at a time.
class TOutputFile {
public:
    enum class TMode {
        Append,   // create if missing, write at the end
        Replace,  // create if missing, empty it first
    };

    TOutputFile(const std::string& path, TMode mode);

    bool IsOpen() const { return fd_.Valid(); }
    /// Writes all of `data`; false when the file refused any of it.
    bool Write(std::string_view data);
    /// Current size in bytes, or -1 when it cannot be read.
    std::int64_t Size() const;
    /// Closes the file; false when the system reported a failure on closing.
    bool Close();

private:
    TUniqueFd fd_;
};
