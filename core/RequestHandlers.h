#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/Config.h"
#include "core/ProgressFileStream.h"
#include "core/Transfer.h"
#include "engine/PeerInfo.h"
#include "engine/Stream.h"

class TActivityLog;
class TFilesList;
class TSecurityRules;
class TServerState;
class TTransferLog;
class TTrivialFTPServer;

/// The application's answers to the engine's events, assigned to them directly: which
/// downloads and uploads go ahead, the streams that serve them, and what a finished
/// transfer changes. A granted request yields a TTransfer carried by its stream; the
/// session hands the stream back at completion, which finishes exactly that transfer's
/// entry and row. The size, read and write handlers run on the engine's listener thread,
/// one request at a time; completion runs on the main thread.
class TRequestHandlers {
public:
    using TConfigSource = std::function<std::shared_ptr<const TConfig>()>;
    /// Where a failure nobody expected is reported (the activity log by default).
    using TFailureSink = std::function<void(const std::string& text)>;

    TRequestHandlers(TFilesList& filesList, TActivityLog& activityLog, TTransferLog& transferLog,
                     TServerState& serverState, const TSecurityRules& securityRules,
                     TConfigSource config);

    void TFTPSizeRequest(TTrivialFTPServer& sender, const std::string& fileName, const TPeerInfo& peerInfo,
                         std::int64_t& size, bool writeOperation);
    void TFTPReadFile(TTrivialFTPServer& sender, std::string& fileName, const TPeerInfo& peerInfo,
                      bool& grantAccess, std::unique_ptr<TStream>& aStream, bool& freeStreamOnComplete);
    void TFTPWriteFile(TTrivialFTPServer& sender, std::string& fileName, const TPeerInfo& peerInfo,
                       bool& grantAccess, std::unique_ptr<TStream>& aStream, bool& freeStreamOnComplete);
    /// A request refused because every transfer port is in use: an error entry.
    void TFTPNoTransferPort(TTrivialFTPServer& sender, const std::string& fileName, const TPeerInfo& peerInfo,
                            bool writeOperation);
    void TFTPTransferComplete(TTrivialFTPServer& sender, bool success, const TPeerInfo& peerInfo,
                              std::unique_ptr<TStream> aStream, bool writeOperation);

    /// The progress callback every transfer stream is given.
    TProgressCallback ProgressCallback();

private:
    /// The request being decided: its record, opened by the size handler, and the place
    /// the read or write handler took for it. Listener thread only.
    struct TPendingRequest {
        TProgressCursor Record;
        std::optional<TConnectionPlace> Place;
    };

    void GrantRead(const std::string& path, TUniqueFd fd, bool listed, const TPeerInfo& peerInfo,
                   std::unique_ptr<TStream>& aStream);
    void ServeFromTree(const std::string& fileName, const std::string& treeRoot, const TPeerInfo& peerInfo,
                       bool& grantAccess, std::unique_ptr<TStream>& aStream);
    void DecideRead(const std::string& fileName, const TConfig& config, const TPeerInfo& peerInfo,
                    bool& grantAccess, std::unique_ptr<TStream>& aStream);
    /// Why an upload is refused, or empty when it may go ahead.
    std::string UploadRefusal(const std::string& fileName, const TConfig& config, const TPeerInfo& peerInfo);
    /// Gives back the place and drops the record of the request being decided.
    void ForgetPendingRequest();
    void Refuse(const std::string& fileName, const TPeerInfo& peerInfo, const std::string& status,
                bool& grantAccess);
    std::unique_ptr<TTransfer> MakeTransfer(TTransferDirection direction, const std::string& path);
    void FinishEntry(TTransfer& transfer, bool success, const TConfig& config);

    TFilesList& filesList_;
    TActivityLog& activityLog_;
    TTransferLog& transferLog_;
    TServerState& serverState_;
    const TSecurityRules& securityRules_;
    TConfigSource config_;
    TPendingRequest pending_;
};

/// Whether an upload name stays inside the upload folder and is printable: not empty,
/// not "." or "..", without "/" or "\", and without control bytes.
bool IsSafeUploadName(const std::string& fileName);
