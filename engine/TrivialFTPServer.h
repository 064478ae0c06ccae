#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/PeerInfo.h"
#include "engine/SessionRegistry.h"
#include "engine/Stream.h"
#include "engine/TFTPPacket.h"
#include "engine/TransferPorts.h"
#include "engine/UDPServer.h"

class TTrivialFTPServer;
class TTFTPServerThread;

/// Decides on a read or write request. On entry `fileName` is the name as received,
/// `grantAccess` true, `aStream` empty and `freeStreamOnComplete` true.
using TAccessFileEvent = std::function<void(TTrivialFTPServer& sender, std::string& fileName,
                                            const TPeerInfo& peerInfo, bool& grantAccess,
                                            std::unique_ptr<TStream>& aStream,
                                            bool& freeStreamOnComplete)>;
/// Supplies or checks the transfer size; `size` holds the request's tsize or -1.
using TTSizeEvent = std::function<void(TTrivialFTPServer& sender, const std::string& fileName,
                                       const TPeerInfo& peerInfo, std::int64_t& size,
                                       bool writeOperation)>;
/// Told when a request is refused because every port of the transfer port range is in use.
using TNoTransferPortEvent = std::function<void(TTrivialFTPServer& sender, const std::string& fileName,
                                                const TPeerInfo& peerInfo, bool writeOperation)>;
/// Told once when a session ends; receives the stream when the session did not free it.
using TTransferCompleteEvent =
    std::function<void(TTrivialFTPServer& sender, bool success, const TPeerInfo& peerInfo,
                       std::unique_ptr<TStream> aStream, bool writeOperation)>;

/// The TFTP server: parses requests on its bindings, asks the application through its
/// events, answers refusals with one ERROR, and starts one session per granted request.
/// Owned by the application; configured on its thread while inactive. The owner ends it
/// with Shutdown(); destroying it does the same as a backstop.
class TTrivialFTPServer : public TUDPServer {
public:
    TTrivialFTPServer();
    ~TTrivialFTPServer() override;

    /// Stops listening, then stops and joins every running session; completion reports
    /// not delivered by then are dropped. No session starts afterwards. Called on the
    /// owner's thread; safe to call again.
    void Shutdown();

    bool AcceptTimeOut() const { return acceptTimeOut_; }
    void SetAcceptTimeOut(bool accept) { acceptTimeOut_ = accept; }
    /// Most blocks a session sends before waiting for an ACK (RFC 7440); 1, the default,
    /// never grants the windowsize option. Any thread.
    std::int32_t MaxWindowSize() const { return maxWindowSize_; }
    void SetMaxWindowSize(std::int32_t blocks) { maxWindowSize_ = blocks; }
    /// Sessions bind a port of low..high; an invalid range, or 0 and 0 (the default),
    /// leaves the choice to the system. Any thread.
    void SetTransferPortRange(int low, int high) { transferPorts_.SetRange(low, high); }

    TAccessFileEvent OnReadFile;
    TAccessFileEvent OnWriteFile;
    TTSizeEvent OnSizeRequest;
    TNoTransferPortEvent OnNoTransferPort;
    TTransferCompleteEvent OnTransferComplete;

    /// Sessions still running (for diagnostics and tests). Safe from any thread.
    std::size_t SessionCount() const { return sessions_.LiveCount(); }

    /// Replaces how session threads are started; tests use it to make a start fail.
    /// Set while inactive.
    void SetSessionStarter(TSessionRegistry::TStarter starter) { sessions_.SetStarter(std::move(starter)); }
    /// Replaces the system calls sessions send through; tests use it to play a system
    /// that refuses sends. Set while inactive.
    void SetSessionSendCalls(const TSendCalls& calls) { sessionSendCalls_ = calls; }

    /// Called by a session's own thread as the very last thing it does.
    void SessionFinished(TTFTPServerThread* session) { sessions_.Finished(session); }

    /// Fires OnTransferComplete, or destroys the stream when no handler is assigned.
    /// Called on the main thread by an ending session.
    virtual void ReportTransferComplete(bool success, const TPeerInfo& peerInfo,
                                        std::unique_ptr<TStream> stream, bool writeOperation);

protected:
    void DispatchDatagram(std::string_view data, TSocketHandle& binding, const TSocketAddress& peer) override;
    /// `transferSocket` is the session's socket when a transfer port range is set.
    virtual void ServeReadRequest(const TTFTPRequest& request, const TPeerInfo& peerInfo,
                                  TSocketHandle transferSocket);
    virtual void ServeWriteRequest(const TTFTPRequest& request, const TPeerInfo& peerInfo,
                                   TSocketHandle transferSocket);

private:
    struct TGrant {
        std::string FileName;
        std::unique_ptr<TStream> Stream;
        bool FreeStreamOnComplete = true;
    };

    void HandleRequest(std::string_view data, const TPeerInfo& peerInfo);
    TSocketHandle ReserveTransferPort(const TTFTPRequest& request, const TPeerInfo& peerInfo);
    void StartSession(std::unique_ptr<TTFTPServerThread> session, const TPeerInfo& peerInfo);
    TGrant AskAccess(const TAccessFileEvent& event, const TTFTPRequest& request,
                     const TPeerInfo& peerInfo);

    std::atomic<bool> acceptTimeOut_{false};  // changed while serving, read by the listener
    std::atomic<std::int32_t> maxWindowSize_{1};
    TTransferPorts transferPorts_;
    TSessionRegistry sessions_;
    TSendCalls sessionSendCalls_;
};
