#include "core/RequestHandlers.h"

#include <cerrno>

#include <sys/stat.h>

#include "core/BootTree.h"
#include "core/FilesList.h"
#include "core/FileSystem.h"
#include "core/ServerState.h"
#include "core/TransferLog.h"
#include "core/UploadDigest.h"
#include "engine/NetException.h"
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

void TRequestHandlers::TFTPSizeRequest(TTrivialFTPServer&, const std::string& fileName,
                                       const TPeerInfo& peerInfo, std::int64_t& size, bool writeOperation)
{
    const auto config = config_();
    // A record left by a request that never reached its read or write handler.
    ForgetPendingRequest();
    if (writeOperation) {
        pending_.Record = transferLog_.OpenTransferInfo(peerInfo, fileName, CurrentTick(), true, size == -1 ? 0 : size);
    } else if (filesList_.Count() > 0 || !config->TreeRoot.empty()) {
        if (const auto found = filesList_.SizeForRequest(fileName))
            size = *found;
        else if (const auto treeFile = TBootTree(config->TreeRoot).Open(fileName))
            size = treeFile->Size();
        pending_.Record = transferLog_.OpenTransferInfo(peerInfo, fileName, CurrentTick(), false, size);
    }
    if (!config->TSize)
        size = -1;
}

void TRequestHandlers::Refuse(const std::string& fileName, const TPeerInfo& peerInfo, const std::string& status,
                              bool& grantAccess)
{
    activityLog_.AddActivityEntry(aiError, fileName, peerInfo.IP, status);
    grantAccess = false;
    ForgetPendingRequest();
}

void TRequestHandlers::ForgetPendingRequest()
{
    pending_.Place.reset();
    // A refused request keeps no record: a flood of refusals cannot grow the list.
    if (pending_.Record.Info)
        transferLog_.DropTransferInfo(std::exchange(pending_.Record, {}));
}

std::unique_ptr<TTransfer> TRequestHandlers::MakeTransfer(TTransferDirection direction, const std::string& path)
{
    auto transfer = std::make_unique<TTransfer>(std::move(*pending_.Place), direction, path,
                                                std::exchange(pending_.Record, {}));
    pending_.Place.reset();
    return transfer;
}

void TRequestHandlers::TFTPReadFile(TTrivialFTPServer&, std::string& fileName, const TPeerInfo& peerInfo,
                                    bool& grantAccess, std::unique_ptr<TStream>& aStream,
                                    bool& freeStreamOnComplete)
{
    const auto config = config_();
    // The stream comes back at completion with the transfer it carries.
    freeStreamOnComplete = false;
    pending_.Place = serverState_.TakePlace(false, config->MaxDLConn);
    if (!pending_.Place)
        return Refuse(fileName, peerInfo, "Send error: Max connections reached!", grantAccess);
    try {
        DecideRead(fileName, *config, peerInfo, grantAccess, aStream);
    } catch (const ETFTPFileNotFound&) {
        throw;  // refused and logged; the client is told the file is not there
    } catch (...) {
        ForgetPendingRequest();
        serverState_.ShowServerState(TServerState::kStarted);
        // The stream is opened before the transfer's entry is made (see GrantRead), so the
        // failure gets an entry of its own rather than overwriting whatever came last.
        activityLog_.AddActivityEntry(aiError, fileName, peerInfo.IP, "Send error: Unknown error!");
        aStream.reset();
        grantAccess = false;
    }
}

void TRequestHandlers::DecideRead(const std::string& fileName, const TConfig& config, const TPeerInfo& peerInfo,
                                  bool& grantAccess, std::unique_ptr<TStream>& aStream)
{
    const auto entry = filesList_.FindForRead(fileName);
    if (!securityRules_.CheckAccess(peerInfo.IP, akRead, config.SecurityOn))
        return Refuse(fileName, peerInfo, "Send error: Unauthorised!", grantAccess);
    if (!entry)
        return ServeFromTree(fileName, config.TreeRoot, peerInfo, grantAccess, aStream);
    if (entry->State != FileState::Available)
        return Refuse(fileName, peerInfo, "Send error: File Suspended!", grantAccess);
    // The entry's own path, not the client's spelling: on a case-sensitive file
    // system BOOT.BIN asked for boot.bin must still find boot.bin.
    const std::string path = FullPath(*entry);
    if (!IsRegularFile(path)) {
        // Gone for a moment (a build replacing it, a mount not yet up) is not gone for
        // good: the entry follows RemoveDead as a refresh would.
        filesList_.FileGone(entry->Id, config.RemoveDead);
        Refuse(fileName, peerInfo, "Send error: File does not exist!", grantAccess);
        throw ETFTPFileNotFound("File not found");
    }
    GrantRead(path, TFileStream::OpenReadable(path), true, peerInfo, aStream);
    grantAccess = true;
}

/// The stream is opened first, so a file that cannot be read leaves no pending entry.
void TRequestHandlers::GrantRead(const std::string& path, TUniqueFd fd, bool listed, const TPeerInfo& peerInfo,
                                 std::unique_ptr<TStream>& aStream)
{
    auto stream = std::make_unique<TProgressFileStream>(std::move(fd), path, path, ProgressCallback(), peerInfo,
                                                        tdDownload);
    auto transfer = MakeTransfer(tdDownload, path);
    transfer->SetListed(listed);
    serverState_.ShowServerState(TServerState::kStarted);
    transfer->SetEntry(activityLog_.AddActivityEntry(aiTransfer, path, peerInfo.IP, kStatusSendingFile).Id);
    stream->AttachTransfer(std::move(transfer));
    aStream = std::move(stream);
}

/// A name the files list does not grant may still name a file of the boot tree. Such a
/// file is served like a listed one, but it is not counted in the files list.
void TRequestHandlers::ServeFromTree(const std::string& fileName, const std::string& treeRoot,
                                     const TPeerInfo& peerInfo, bool& grantAccess,
                                     std::unique_ptr<TStream>& aStream)
{
    auto [outcome, file] = TBootTree(treeRoot).Lookup(fileName);
    if (outcome == TTreeOutcome::LinkLeavesTree)
        return Refuse(fileName, peerInfo, "Send error: Link leaves the boot tree!", grantAccess);
    if (!file) {
        Refuse(fileName, peerInfo, "Send error: File does not exist!", grantAccess);
        throw ETFTPFileNotFound("File not found");
    }
    const std::string path = file->Path();
    GrantRead(path, file->TakeFd(), false, peerInfo, aStream);
    grantAccess = true;
}

std::string TRequestHandlers::UploadRefusal(const std::string& fileName, const TConfig& config,
                                            const TPeerInfo& peerInfo)
{
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

void TRequestHandlers::TFTPWriteFile(TTrivialFTPServer&, std::string& fileName, const TPeerInfo& peerInfo,
                                     bool& grantAccess, std::unique_ptr<TStream>& aStream,
                                     bool& freeStreamOnComplete)
{
    const auto config = config_();
    // The session stores the upload before its final ACK (TProgressFileStream::Commit);
    // the stream comes back at completion with the transfer it carries.
    freeStreamOnComplete = false;
    pending_.Place = serverState_.TakePlace(true, config->MaxULConn);
    const std::string refusal =
        pending_.Place ? UploadRefusal(fileName, *config, peerInfo) : "Receive error: Max connections reached!";
    if (!refusal.empty())
        return Refuse(fileName, peerInfo, refusal, grantAccess);
    const std::string path = config->DestDir + "/" + fileName;
    auto transfer = MakeTransfer(tdUpload, path);
    serverState_.ShowServerState(TServerState::kStarted);
    const TActivityEntry entry = activityLog_.AddActivityEntry(aiTransfer, path, peerInfo.IP, kStatusReceivingFile);
    transfer->SetEntry(entry.Id);
    const TTransferInfo* record = transfer->Record().Info.get();
    const TUploadTerms terms{config->Overwrite, record != nullptr ? record->TotalSize : 0};
    std::unique_ptr<TProgressFileStream> stream;
    try {
        stream = TProgressFileStream::CreateForUpload(path, ProgressCallback(), peerInfo, terms);
    } catch (...) {
        // The entry would otherwise wait for a completion that never comes; the place
        // goes with the transfer.
        activityLog_.UpdateActivityEntry(entry, aiError, "Receive error: Unknown error!");
        transferLog_.DropTransferInfo(transfer->Record());
        throw;
    }
    stream->AttachTransfer(std::move(transfer));
    aStream = std::move(stream);
    grantAccess = true;
}

void TRequestHandlers::TFTPNoTransferPort(TTrivialFTPServer&, const std::string& fileName,
                                          const TPeerInfo& peerInfo, bool writeOperation)
{
    const char* prefix = writeOperation ? "Receive error: " : "Send error: ";
    activityLog_.AddActivityEntry(aiError, fileName, peerInfo.IP, std::string(prefix) + "No free transfer port");
}

void TRequestHandlers::TFTPTransferComplete(TTrivialFTPServer&, bool success, const TPeerInfo&,
                                            std::unique_ptr<TStream> aStream, bool)
{
    const auto config = config_();
    std::unique_ptr<TTransfer> transfer = TakeTransfer(aStream.get());
    // Closes the file; a failed upload's temporary file goes with it.
    aStream.reset();
    if (transfer)
        transfer->GiveBackPlace();  // a session that never started never told an outcome
    serverState_.RefreshAfterCompletion();
    if (!transfer)
        return;
    FinishEntry(*transfer, success, *config);
    transferLog_.FinishTransfer(transfer->Record(), config->RMTransfer, CurrentTick());
}

void TRequestHandlers::FinishEntry(TTransfer& transfer, bool success, const TConfig& config)
{
    const auto pending = activityLog_.FindPendingTransferEntry(transfer.Entry());
    if (!pending)
        return;
    std::optional<TActivityEntry> closed;
    if (transfer.Outcome() == TTransferOutcome::SizeQueryAnswered)
        closed = activityLog_.UpdateActivityEntry(*pending, aiInformation, "Transfer: Size query answered.");
    else if (!success)
        closed = activityLog_.UpdateActivityEntry(*pending, aiError, "Error transfering!");
    else if (!transfer.IsUpload())
        closed = activityLog_.UpdateActivityEntry(*pending, aiSuccess, "Transfer: Send file complete.");
    else
        closed = activityLog_.UpdateActivityEntry(*pending, aiSuccess, "Transfer: Receive file complete.");
    if (success && !transfer.IsUpload() && transfer.Listed())
        filesList_.IncrementAccessCount(NamePart(pending->FileName));
    if (success && transfer.IsUpload() && config.AddNew && config.Overwrite)
        filesList_.EnterUpload(pending->FileName);
    if (config.Log && closed)
        LogActivityEntry(*closed, LogSettingsOf(config), activityLog_);
    if (success && transfer.IsUpload())
        LogUploadDigest(activityLog_, pending->FileName, pending->RemoteIP, config);
}
