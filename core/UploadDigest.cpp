#include "core/UploadDigest.h"

#include "core/FileDigest.h"
#include "log/ActivityLog.h"
#include "log/LogFile.h"

void LogUploadDigest(TActivityLog& activityLog, const std::string& path, const std::string& remoteIP,
                     const TConfig& config)
{
    if (!config.LogUploadHash)
        return;
    const auto sha256 = FileSha256(path);
    if (!sha256)
        return;
    const TActivityEntry entry = activityLog.AddActivityEntry(aiInformation, path, remoteIP, "Transfer: SHA-256 " + *sha256);
    if (config.Log)
        LogActivityEntry(entry, LogSettingsOf(config), activityLog);
}
