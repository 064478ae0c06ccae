#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include <QObject>

#include "core/FileDigest.h"

/// Computes a file's checksums on a thread of its own and reports on the GUI thread: the
/// percentage done whenever it grows, then the digests (nothing when the file could not be
/// read). Destroying the job stops the work within one chunk and joins the thread; nothing
/// is reported after that. Made and destroyed on the GUI thread.
class TDigestJob final : public QObject {
public:
    struct TReports {
        std::function<void(int percent)> Progress;
        std::function<void(const std::optional<TFileDigests>& digests)> Finished;
    };

    TDigestJob(std::filesystem::path file, std::uint64_t size, TReports reports, QObject* parent = nullptr);
    ~TDigestJob() override;
    TDigestJob(const TDigestJob&) = delete;
    TDigestJob& operator=(const TDigestJob&) = delete;

private:
    void Run(const std::filesystem::path& file, std::uint64_t size);
    void ReportProgress(int percent);
    void ReportFinished(std::optional<TFileDigests> digests);

    TReports reports_;
    std::atomic<bool> stopRequested_ = false;
    std::thread worker_;
};
