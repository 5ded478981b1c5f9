#include "engine/PassReport.h"

#include <algorithm>

#include "engine/Plan.h"

namespace tidyfold {

std::int32_t PassReport::Count(JournalAction action, JournalOutcome outcome) const {
    return static_cast<std::int32_t>(std::count_if(entries.begin(), entries.end(), [&](const ReportEntry& e) {
        return e.action == action && e.outcome == outcome;
    }));
}

std::int32_t PassReport::Transfers(JournalOutcome outcome) const {
    return static_cast<std::int32_t>(std::count_if(entries.begin(), entries.end(), [&](const ReportEntry& e) {
        return IsTransfer(e.action) && e.outcome == outcome;
    }));
}

std::int32_t PassReport::Changes() const {
    // A copy whose Desktop file could not be removed changed the offload
    // folder all the same.
    return static_cast<std::int32_t>(std::count_if(entries.begin(), entries.end(), [](const ReportEntry& e) {
        return e.outcome == JournalOutcome::Done || (e.outcome == JournalOutcome::Failed && !e.where.empty());
    }));
}

std::vector<const ReportEntry*> PassReport::Failures() const {
    std::vector<const ReportEntry*> failures;
    for (const ReportEntry& entry : entries)
        if (entry.outcome == JournalOutcome::Failed)
            failures.push_back(&entry);
    return failures;
}

}  // namespace tidyfold
