#include "ui/dialogs/DigestJob.h"

#include <algorithm>
#include <utility>

TDigestJob::TDigestJob(std::filesystem::path file, std::uint64_t size, TReports reports, QObject* parent)
    : QObject(parent), reports_(std::move(reports))
{
    worker_ = std::thread([this, file = std::move(file), size] { Run(file, size); });
}

TDigestJob::~TDigestJob()
{
    stopRequested_ = true;
    worker_.join();
}

void TDigestJob::Run(const std::filesystem::path& file, std::uint64_t size)
{
    try {
        int shown = -1;
        auto digests = DigestFile(file, [&](std::uint64_t done) {
            const int percent = size == 0 ? 100 : static_cast<int>(std::min<std::uint64_t>(done * 100 / size, 100));
            if (percent != shown)
                ReportProgress(shown = percent);
            return !stopRequested_;
        });
        if (!stopRequested_)
            ReportFinished(std::move(digests));
    } catch (...) {
        ReportFinished(std::nullopt);
    }
}

// Queued to this object: should the job be destroyed first, Qt drops the call with it.
void TDigestJob::ReportProgress(int percent)
{
    QMetaObject::invokeMethod(this, [this, percent] { reports_.Progress(percent); }, Qt::QueuedConnection);
}

void TDigestJob::ReportFinished(std::optional<TFileDigests> digests)
{
    QMetaObject::invokeMethod(
        this, [this, digests = std::move(digests)] { reports_.Finished(digests); }, Qt::QueuedConnection);
}
