#include "engine/UnexpectedFailure.h"

#include <exception>
#include <iostream>
#include <memory>
#include <mutex>

namespace {

std::mutex sinkLock;  // guards sink
TUnexpectedFailureSink sink;

std::string Describe(std::string_view where)
{
    std::string text = "Unexpected failure in " + std::string(where) + ": ";
    try {
        throw;
    } catch (const std::exception& failure) {
        return text + failure.what();
    } catch (...) {
        return text + "unknown exception";
    }
}

}  // namespace

void SetUnexpectedFailureSink(TUnexpectedFailureSink newSink)
{
    std::lock_guard guard(sinkLock);
    sink = std::move(newSink);
}

void ReportUnexpectedFailure(std::string_view where) noexcept
{
    try {
        const std::string text = Describe(where);
        TUnexpectedFailureSink target;
        {
            std::lock_guard guard(sinkLock);
            target = sink;
        }
        if (target)
            target(text);
        else
            std::cerr << "veltrane: " << text << std::endl;
    } catch (...) {
        // Out of memory while reporting: nothing is left to report with.
    }
}
