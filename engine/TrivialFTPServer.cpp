#include "engine/TrivialFTPServer.h"

#include "engine/FileStream.h"
#include "engine/NetException.h"
#include "engine/TFTPServerThread.h"

TTrivialFTPServer::TTrivialFTPServer()
{
    SetDefaultPort(69);
}

TTrivialFTPServer::~TTrivialFTPServer()
{
    Shutdown();
}

void TTrivialFTPServer::Shutdown()
{
    // The listener goes first so no new session starts while the running ones stop.
    SetActive(false);
    sessions_.StopAll();
}

void TTrivialFTPServer::DispatchDatagram(std::string_view data, TSocketHandle& binding, const TSocketAddress& peer)
{
    TUDPServer::DispatchDatagram(data, binding, peer);
    // RFC 1350: an ERROR is never answered. Two servers (or one server and its own
    // address, spoofed) would otherwise bounce refusals at each other without end.
    if (data.size() >= 2 && DecodeWord(data) == TFTPOpcode::ERROR)
        return;
    try {
        HandleRequest(data, TPeerInfo{AddressText(peer), peer.Port()});
    } catch (const std::exception& failure) {
        // Every refusal is answered once, from the binding that received the request.
        binding.SendTo(peer, MakeErrorPacket(ErrorCodeFor(failure), failure.what()));
    }
}

void TTrivialFTPServer::HandleRequest(std::string_view data, const TPeerInfo& peerInfo)
{
    // With MaxWindowSize 1 windowsize stays an unknown option, so the server is exactly
    // the lock-step one.
    const std::int32_t grantableWindow = maxWindowSize_;
    TTFTPRequest request =
        ParseRequest(data, acceptTimeOut_, peerInfo.IP, peerInfo.Port, grantableWindow > 1);
    // The same request again from the same port is that client's retransmission (our
    // first answer was lost or is late): the running session answers it by sending
    // again. A second session for one transfer identifier would make the client mix the
    // two, and an upload could be stored with blocks out of place. Any other request
    // from that port is a new transfer.
    if (sessions_.Serving(peerInfo, request.Datagram))
        return;
    request.WindowSize = GrantWindowSize(request.WindowSize, grantableWindow, request.BlockSize);
    // Taken before the application is asked, so a request that cannot have a port leaves
    // no grant, count or record behind.
    TSocketHandle transferSocket = ReserveTransferPort(request, peerInfo);
    if (OnSizeRequest)
        OnSizeRequest(*this, request.FileName, peerInfo, request.TransferSize,
                      request.Opcode == TFTPOpcode::WRQ);
    if (request.Opcode == TFTPOpcode::RRQ)
        ServeReadRequest(request, peerInfo, std::move(transferSocket));
    else
        ServeWriteRequest(request, peerInfo, std::move(transferSocket));
}

TSocketHandle TTrivialFTPServer::ReserveTransferPort(const TTFTPRequest& request, const TPeerInfo& peerInfo)
{
    try {
        return transferPorts_.Reserve(AddressFamily(peerInfo.IP));
    } catch (const ENoFreeTransferPort&) {
        if (OnNoTransferPort)
            OnNoTransferPort(*this, request.FileName, peerInfo, request.Opcode == TFTPOpcode::WRQ);
        throw;
    }
}

TTrivialFTPServer::TGrant TTrivialFTPServer::AskAccess(const TAccessFileEvent& event,
                                                       const TTFTPRequest& request,
                                                       const TPeerInfo& peerInfo)
{
    TGrant grant{request.FileName, nullptr, true};
    bool grantAccess = true;
    if (event)
        event(*this, grant.FileName, peerInfo, grantAccess, grant.Stream, grant.FreeStreamOnComplete);
    if (!grantAccess)
        throw ETFTPAccessViolation(FormatText("Access to %s denied", grant.FileName.c_str()));
    return grant;
}

void TTrivialFTPServer::ServeReadRequest(const TTFTPRequest& request, const TPeerInfo& peerInfo,
                                           TSocketHandle transferSocket)
{
    try {
        TGrant grant = AskAccess(OnReadFile, request, peerInfo);
        if (!grant.Stream) {
            grant.Stream = std::make_unique<TFileStream>(TFileStream::OpenForRead(grant.FileName));
            grant.FreeStreamOnComplete = true;
        }
        auto session = std::make_unique<TTFTPServerSendFileThread>(
            *this, request.Mode, peerInfo, std::move(grant.Stream), grant.FreeStreamOnComplete,
            request.BlockSize, request.TransferSize, request.TSizeRequested, request.Timeout,
            request.WindowSize);
        session->RememberRequest(request.Datagram);
        session->UseTransferSocket(std::move(transferSocket));
        StartSession(std::move(session), peerInfo);
    } catch (const EFOpenError& failure) {
        throw ETFTPFileNotFound(failure.what());
    }
}

void TTrivialFTPServer::ServeWriteRequest(const TTFTPRequest& request, const TPeerInfo& peerInfo,
                                            TSocketHandle transferSocket)
{
    try {
        TGrant grant = AskAccess(OnWriteFile, request, peerInfo);
        if (!grant.Stream) {
            grant.Stream = std::make_unique<TFileStream>(TFileStream::CreateForWrite(grant.FileName));
            grant.FreeStreamOnComplete = true;
        }
        auto session = std::make_unique<TTFTPServerReceiveFileThread>(
            *this, request.Mode, peerInfo, std::move(grant.Stream), grant.FreeStreamOnComplete,
            request.BlockSize, request.TransferSize, request.TSizeRequested, request.Timeout,
            request.WindowSize);
        session->RememberRequest(request.Datagram);
        session->UseTransferSocket(std::move(transferSocket));
        StartSession(std::move(session), peerInfo);
    } catch (const EFCreateError& failure) {
        throw ETFTPAllocationExceeded(failure.what());
    }
}

void TTrivialFTPServer::StartSession(std::unique_ptr<TTFTPServerThread> session, const TPeerInfo& peerInfo)
{
    const bool writeOperation = session->WriteOperation();
    session->UseSendCalls(sessionSendCalls_);
    try {
        sessions_.Start(session);
    } catch (const std::exception& failure) {
        // The application granted the transfer: it hears of the end as of any other, with
        // the stream it handed over, so no place stays taken and no entry stays pending.
        // The peer is answered with code 0 and the reason.
        std::unique_ptr<TStream> stream = session ? session->TakeStream() : nullptr;
        RunOnMainThread([&] { ReportTransferComplete(false, peerInfo, std::move(stream), writeOperation); });
        throw ENetException(failure.what());
    }
}

void TTrivialFTPServer::ReportTransferComplete(bool success, const TPeerInfo& peerInfo,
                                               std::unique_ptr<TStream> stream, bool writeOperation)
{
    if (OnTransferComplete)
        OnTransferComplete(*this, success, peerInfo, std::move(stream), writeOperation);
}
