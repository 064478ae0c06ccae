#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "log/ActivityLog.h"

/// Records each notification as a short text: "append 3 status", "update 3 status",
/// "drop 1 2", "clear".
class TRecordingActivityObserver final : public TActivityLogObserver {
public:
    void ActivityEntryAppended(const TActivityEntry& e) override { Record("append " + Describe(e)); }
    void ActivityEntryUpdated(const TActivityEntry& e) override { Record("update " + Describe(e)); }
    void ActivityEntriesDropped(const std::vector<TActivityEntryId>& ids) override
    {
        std::string text = "drop";
        for (const TActivityEntryId id : ids)
            text += " " + std::to_string(id);
        Record(text);
    }
    void ActivityLogCleared() override { Record("clear"); }

    std::vector<std::string> Events() const
    {
        std::lock_guard lock(eventsMutex_);
        return events_;
    }

private:
    static std::string Describe(const TActivityEntry& e) { return std::to_string(e.Id) + " " + e.Status; }
    void Record(std::string text)
    {
        std::lock_guard lock(eventsMutex_);
        events_.push_back(std::move(text));
    }

    mutable std::mutex eventsMutex_;
    std::vector<std::string> events_;
};
