#pragma once

#include <string>

#include "core/Config.h"

class TActivityLog;

/// After a finished upload, when "LogUploadHash" is on: an information entry for `path`
/// from `remoteIP` with the stored file's SHA-256 ("Transfer: SHA-256 <64 hex digits>"),
/// written to the log file too when logging is on. A file that can no longer be read gets
/// no entry. Main thread, after the upload's own entry is closed.
void LogUploadDigest(TActivityLog& activityLog, const std::string& path, const std::string& remoteIP,
                     const TConfig& config);
