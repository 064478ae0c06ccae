#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/Config.h"
#include "core/ProgressFileStream.h"
#include "core/TransferEntries.h"
#include "engine/PeerInfo.h"
#include "engine/Stream.h"

class TActivityLog;
class TFilesList;
class TSecurityRules;
class TServerState;
class TTransferLog;

/// The application's answers to the engine's events: which downloads and uploads go
/// ahead, the streams that serve them, and what a finished transfer changes. The size,
/// read and write handlers run on the engine's listener thread, completion on the main
/// thread; the parts they share are each guarded by their own owner.
class TRequestHandlers {
public:
    using TConfigSource = std::function<std::shared_ptr<const TConfig>()>;

    TRequestHandlers(TFilesList& filesList, TActivityLog& activityLog, TTransferLog& transferLog,
                     TServerState& serverState, const TSecurityRules& securityRules,
                     TConfigSource config);

    void TFTPSizeRequest(const std::string& fileName, bool writeOperation, std::int64_t& size,
                         const TPeerInfo& peerInfo);
    void TFTPReadFile(const std::string& fileName, bool& freeStreamOnComplete,
                      std::unique_ptr<TStream>& aStream, bool& grantAccess, const TPeerInfo& peerInfo);
    void TFTPWriteFile(const std::string& fileName, bool& freeStreamOnComplete,
                       std::unique_ptr<TStream>& aStream, bool& grantAccess, const TPeerInfo& peerInfo);
    /// A request refused because every transfer port is in use: an error entry.
    void TFTPNoTransferPort(const std::string& fileName, bool writeOperation, const TPeerInfo& peerInfo);
    void TFTPTransferComplete(bool success, const TPeerInfo& peerInfo, std::unique_ptr<TStream> aStream,
                              bool writeOperation);

    /// The progress callback every transfer stream is given.
    TProgressCallback ProgressCallback();

private:
    void GrantRead(const std::string& path, std::unique_ptr<TStream>& aStream, const TPeerInfo& peerInfo);
    void ServeFromTree(const std::string& fileName, const std::string& treeRoot, bool& freeStreamOnComplete,
                       std::unique_ptr<TStream>& aStream, bool& grantAccess, const TPeerInfo& peerInfo);
    /// Why an upload is refused, or empty when it may go ahead.
    std::string UploadRefusal(const std::string& fileName, const TConfig& config, const TPeerInfo& peerInfo);
    void Refuse(std::atomic<std::int32_t>& counter, const std::string& fileName, const TPeerInfo& peerInfo,
                const std::string& status, bool& grantAccess);

    TFilesList& filesList_;
    TActivityLog& activityLog_;
    TTransferLog& transferLog_;
    TServerState& serverState_;
    const TSecurityRules& securityRules_;
    TConfigSource config_;
    TTransferEntries transferEntries_;
};

/// Whether an upload name stays inside the upload folder and is printable: not empty,
/// not "." or "..", without "/" or "\", and without control bytes.
bool IsSafeUploadName(const std::string& fileName);
