#include "core/RequestHandlers.h"

#include <cerrno>

#include <sys/stat.h>

#include "core/BootTree.h"
#include "core/FilesList.h"
#include "core/FileSystem.h"
#include "core/ServerState.h"
#include "core/TransferLog.h"
#include "log/ActivityLog.h"
#include "log/LogFile.h"
#include "log/PathText.h"
#include "security/SecurityRules.h"

namespace {

bool IsRegularFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

/// One attempt to make the upload folder: its last level only.
bool EnsureFolder(const std::string& folder)
{
    if (!folder.empty() && !IsDirectory(folder))
        ::mkdir(folder.c_str(), 0755);
    return !folder.empty() && IsDirectory(folder);
}

}  // namespace

bool IsSafeUploadName(const std::string& fileName)
{
    if (fileName.empty() || fileName == "." || fileName == "..")
        return false;
    for (const char c : fileName) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

TRequestHandlers::TRequestHandlers(TFilesList& filesList, TActivityLog& activityLog,
                                   TTransferLog& transferLog, TServerState& serverState,
                                   const TSecurityRules& securityRules, TConfigSource config)
    : filesList_(filesList), activityLog_(activityLog), transferLog_(transferLog),
      serverState_(serverState), securityRules_(securityRules), config_(std::move(config))
{
}

TProgressCallback TRequestHandlers::ProgressCallback()
{
    return [this](TProgressCursor& cursor, const std::string& fileName, const TPeerInfo& peer,
                  std::int64_t position, std::int64_t size, TTransferDirection direction) {
        transferLog_.ReportProgress(cursor, fileName, peer, position, size, direction == tdUpload);
    };
}

void TRequestHandlers::TFTPSizeRequest(const std::string& fileName, bool writeOperation,
                                       std::int64_t& size, const TPeerInfo& peerInfo)
{
    const auto config = config_();
    if (writeOperation) {
        transferLog_.StartTransferInfo(peerInfo, fileName, CurrentTick(), true, size == -1 ? 0 : size);
    } else if (filesList_.Count() > 0 || !config->TreeRoot.empty()) {
        if (const auto found = filesList_.SizeForRequest(fileName))
            size = *found;
        else if (const auto treeFile = TBootTree(config->TreeRoot).Open(fileName))
            size = treeFile->Size();
        transferLog_.StartTransferInfo(peerInfo, fileName, CurrentTick(), false, size);
    }
    if (!config->TSize)
        size = -1;
}

void TRequestHandlers::Refuse(std::atomic<std::int32_t>& counter, const std::string& fileName,
                              const TPeerInfo& peerInfo, const std::string& status, bool& grantAccess)
{
    activityLog_.AddActivityEntry(aiError, fileName, peerInfo.IP, status);
    grantAccess = false;
    --counter;
    // A refused request keeps no record: a flood of refusals cannot grow the list.
    transferLog_.DropTransferInfo(peerInfo);
}

void TRequestHandlers::TFTPReadFile(const std::string& fileName, bool& freeStreamOnComplete,
                                    std::unique_ptr<TStream>& aStream, bool& grantAccess,
                                    const TPeerInfo& peerInfo)
{
    const auto config = config_();
    const std::int32_t running = ++serverState_.DownloadCount;
    if (running > config->MaxDLConn)
        return Refuse(serverState_.DownloadCount, fileName, peerInfo, "Send error: Max connections reached!",
                      grantAccess);
    try {
        const auto entry = filesList_.FindForRead(fileName);
        const bool permitted = securityRules_.CheckAccess(peerInfo.IP, akRead, config->SecurityOn);
        if (!permitted)
            return Refuse(serverState_.DownloadCount, fileName, peerInfo, "Send error: Unauthorised!", grantAccess);
        if (!entry)
            return ServeFromTree(fileName, config->TreeRoot, freeStreamOnComplete, aStream, grantAccess, peerInfo);
        if (entry->State != FileState::Available)
            return Refuse(serverState_.DownloadCount, fileName, peerInfo, "Send error: File Suspended!", grantAccess);
        // The entry's own path, not the client's spelling: on a case-sensitive file
        // system BOOT.BIN asked for boot.bin must still find boot.bin.
        const std::string path = FullPath(*entry);
        if (!IsRegularFile(path)) {
            filesList_.RemoveEntry(entry->Id);
            return Refuse(serverState_.DownloadCount, fileName, peerInfo, "Send error: File does not exist!",
                          grantAccess);
        }
        GrantRead(path, aStream, peerInfo);
        freeStreamOnComplete = true;
        grantAccess = true;
    } catch (...) {
        --serverState_.DownloadCount;
        serverState_.ShowServerState(TServerState::kStarted);
        // The stream is opened before the transfer's entry is made (see GrantRead), so the
        // failure gets an entry of its own rather than overwriting whatever came last.
        activityLog_.AddActivityEntry(aiError, fileName, peerInfo.IP, "Send error: Unknown error!");
        transferLog_.DropTransferInfo(peerInfo);
        aStream.reset();
        grantAccess = false;
    }
}

void TRequestHandlers::GrantRead(const std::string& path, std::unique_ptr<TStream>& aStream,
                                 const TPeerInfo& peerInfo)
{
    // The stream is opened first, so a file that cannot be read leaves no pending entry.
    auto stream = TProgressFileStream::OpenForRead(path, ProgressCallback(), peerInfo);
    serverState_.ShowServerState(TServerState::kStarted);
    const TActivityEntry entry = activityLog_.AddActivityEntry(aiTransfer, path, peerInfo.IP, kStatusSendingFile);
    transferEntries_.Remember(peerInfo, {entry.Id});
    aStream = std::move(stream);
}

/// A name the files list does not grant may still name a file of the boot tree. Such a
/// file is served like a listed one, but it is not counted in the files list.
void TRequestHandlers::ServeFromTree(const std::string& fileName, const std::string& treeRoot,
                                     bool& freeStreamOnComplete, std::unique_ptr<TStream>& aStream,
                                     bool& grantAccess, const TPeerInfo& peerInfo)
{
    auto [outcome, file] = TBootTree(treeRoot).Lookup(fileName);
    if (outcome == TTreeOutcome::LinkLeavesTree)
        return Refuse(serverState_.DownloadCount, fileName, peerInfo, "Send error: Link leaves the boot tree!",
                      grantAccess);
    if (!file)
        return Refuse(serverState_.DownloadCount, fileName, peerInfo, "Send error: File does not exist!",
                      grantAccess);
    const std::string path = file->Path();
    auto stream = std::make_unique<TProgressFileStream>(file->Release(), path, path, ProgressCallback(),
                                                        peerInfo, tdDownload);
    serverState_.ShowServerState(TServerState::kStarted);
    const TActivityEntry entry = activityLog_.AddActivityEntry(aiTransfer, path, peerInfo.IP, kStatusSendingFile);
    transferEntries_.Remember(peerInfo, {entry.Id, false});
    aStream = std::move(stream);
    freeStreamOnComplete = true;
    grantAccess = true;
}

std::string TRequestHandlers::UploadRefusal(const std::string& fileName, const TConfig& config,
                                            const TPeerInfo& peerInfo)
{
    if (serverState_.UploadCount > config.MaxULConn)
        return "Receive error: Max connections reached!";
    if (!config.Accept || !securityRules_.CheckAccess(peerInfo.IP, akWrite, config.SecurityOn))
        return "Receive error: Unauthorised!";
    // Names with folder parts or control bytes could reach outside the upload folder or
    // forge log lines; they are refused before anything on disk is looked at.
    if (!IsSafeUploadName(fileName))
        return "Receive error: Invalid file name!";
    const std::string path = config.DestDir + "/" + fileName;
    if (!config.Overwrite && (filesList_.NameIsListed(fileName) || FileExists(path)))
        return "Receive error: File Already Exists!";
    if (!EnsureFolder(config.DestDir))
        return "Receive error: Upload folder not found!";
    return {};
}

void TRequestHandlers::TFTPWriteFile(const std::string& fileName, bool& freeStreamOnComplete,
                                     std::unique_ptr<TStream>& aStream, bool& grantAccess,
                                     const TPeerInfo& peerInfo)
{
    const auto config = config_();
    ++serverState_.UploadCount;
    const std::string refusal = UploadRefusal(fileName, *config, peerInfo);
    if (!refusal.empty())
        return Refuse(serverState_.UploadCount, fileName, peerInfo, refusal, grantAccess);
    const std::string path = config->DestDir + "/" + fileName;
    serverState_.ShowServerState(TServerState::kStarted);
    const TActivityEntry entry = activityLog_.AddActivityEntry(aiTransfer, path, peerInfo.IP, kStatusReceivingFile);
    const auto record = transferLog_.TransferInfo(peerInfo);
    const TUploadTerms terms{config->Overwrite, record ? record->TotalSize : 0};
    try {
        aStream = TProgressFileStream::CreateForUpload(path, ProgressCallback(), peerInfo, terms);
    } catch (...) {
        --serverState_.UploadCount;
        // The entry would otherwise wait for a completion that never comes.
        activityLog_.UpdateActivityEntry(entry, aiError, "Receive error: Unknown error!");
        transferLog_.DropTransferInfo(peerInfo);
        throw;
    }
    transferEntries_.Remember(peerInfo, {entry.Id});
    // The session stores the upload before its final ACK (TProgressFileStream::Commit);
    // completion needs the stream no more.
    freeStreamOnComplete = true;
    grantAccess = true;
}

void TRequestHandlers::TFTPNoTransferPort(const std::string& fileName, bool writeOperation,
                                          const TPeerInfo& peerInfo)
{
    const char* prefix = writeOperation ? "Receive error: " : "Send error: ";
    activityLog_.AddActivityEntry(aiError, fileName, peerInfo.IP, std::string(prefix) + "No free transfer port");
}

void TRequestHandlers::TFTPTransferComplete(bool success, const TPeerInfo& peerInfo,
                                            std::unique_ptr<TStream> aStream, bool writeOperation)
{
    const auto config = config_();
    --(writeOperation ? serverState_.UploadCount : serverState_.DownloadCount);
    serverState_.RefreshAfterCompletion();
    aStream.reset();

    const auto granted = transferEntries_.Take(peerInfo);
    if (const auto pending = granted ? activityLog_.FindPendingTransferEntry(granted->Entry) : std::nullopt) {
        const bool sending = pending->Status == kStatusSendingFile;
        std::optional<TActivityEntry> closed;
        if (!success)
            closed = activityLog_.UpdateActivityEntry(*pending, aiError, "Error transfering!");
        else if (sending)
            closed = activityLog_.UpdateActivityEntry(*pending, aiSuccess, "Transfer: Send file complete.");
        else
            closed = activityLog_.UpdateActivityEntry(*pending, aiSuccess, "Transfer: Receive file complete.");
        if (success && sending && granted->Listed)
            filesList_.IncrementAccessCount(NamePart(pending->FileName));
        if (success && !sending && config->AddNew && config->Overwrite)
            filesList_.EnterUpload(pending->FileName);
        if (config->Log && closed)
            LogActivityEntry(*closed, LogSettingsOf(*config), activityLog_);
    }
    transferLog_.FinishTransfer(peerInfo, config->RMTransfer, CurrentTick());
}
