#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

/// Told that the status texts changed, after the lock was released; from any thread.
class TServerStateObserver {
public:
    virtual ~TServerStateObserver() = default;
    virtual void StatusTextsChanged() = 0;
};

/// The server control state the status bar shows: the connection counters, the stop
/// request and the two status texts. Owned by the application core; safe from any
/// thread (the counters are atomic, the texts under their own lock).
class TServerState {
public:
    static constexpr const char* kStopped = "Stopped.";
    static constexpr const char* kStarted = "Started.";
    static constexpr const char* kStopping = "Stopping...";

    void SetObserver(TServerStateObserver* observer) { observer_ = observer; }

    std::atomic<std::int32_t> DownloadCount{0};
    std::atomic<std::int32_t> UploadCount{0};

    bool StopRequested() const { return stopRequested_; }
    void SetStopRequested(bool requested) { stopRequested_ = requested; }

    /// Refreshes the count text and, unless a stop was asked for, sets the state text.
    void ShowServerState(const std::string& text);
    /// Sets the state text alone.
    void SetStateText(const std::string& text);
    /// After a transfer ended: the count text, and "Stopped." once a pending stop has
    /// seen the last transfer end; otherwise "Started." as ShowServerState does.
    void RefreshAfterCompletion();

    std::string StateText() const;
    std::string CountText() const;

private:
    void Notify() const;

    TServerStateObserver* observer_ = nullptr;
    std::atomic<bool> stopRequested_{false};
    mutable std::mutex textsLock_;  // guards the two texts
    std::string stateText_ = kStopped;
    std::string countText_ = "Connection count: 0";
};
