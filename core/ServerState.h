#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

/// Told that the status texts changed, after the lock was released; from any thread.
class TServerStateObserver {
public:
    virtual ~TServerStateObserver() = default;
    virtual void StatusTextsChanged() = 0;
};

/// One transfer's place under MaxDLConn or MaxULConn. The counts are the number of live
/// places, so a place is given back exactly once: by Release() or by its destruction,
/// whichever comes first. Move-only; Release() is safe from the session's thread while
/// the owner holds the place.
class TConnectionPlace {
public:
    TConnectionPlace() = default;
    explicit TConnectionPlace(std::atomic<std::int32_t>& count) noexcept : count_(&count) {}
    TConnectionPlace(TConnectionPlace&& other) noexcept : count_(other.count_.exchange(nullptr)) {}
    TConnectionPlace& operator=(TConnectionPlace&& other) noexcept
    {
        if (this != &other) {
            Release();
            count_ = other.count_.exchange(nullptr);
        }
        return *this;
    }
    TConnectionPlace(const TConnectionPlace&) = delete;
    TConnectionPlace& operator=(const TConnectionPlace&) = delete;
    ~TConnectionPlace() { Release(); }

    void Release() noexcept
    {
        if (std::atomic<std::int32_t>* count = count_.exchange(nullptr))
            --*count;
    }

private:
    std::atomic<std::atomic<std::int32_t>*> count_{nullptr};
};

/// The server control state the status bar shows: the connection counts, the stop
/// request and the two status texts. Owned by the application core; safe from any
/// thread (the counts are atomic, the texts under their own lock).
class TServerState {
public:
    static constexpr const char* kStopped = "Stopped.";
    static constexpr const char* kStarted = "Started.";
    static constexpr const char* kStopping = "Stopping...";

    void SetObserver(TServerStateObserver* observer) { observer_ = observer; }

    /// A place for one more download (or upload) while fewer than `limit` are running;
    /// none when the limit is reached. Any thread.
    std::optional<TConnectionPlace> TakePlace(bool upload, std::int32_t limit);
    /// The transfers holding a place now.
    std::int32_t DownloadCount() const { return downloadCount_; }
    std::int32_t UploadCount() const { return uploadCount_; }

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
    std::atomic<std::int32_t> downloadCount_{0};
    std::atomic<std::int32_t> uploadCount_{0};
    std::atomic<bool> stopRequested_{false};
    mutable std::mutex textsLock_;  // guards the two texts
    std::string stateText_ = kStopped;
    std::string countText_ = "Connection count: 0";
};
