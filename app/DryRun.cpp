#include "app/DryRun.h"

#include <cstdio>
#include <set>

#include "app/HeadlessRun.h"
#include "app/StopSignals.h"
#include "base/Error.h"
#include "engine/CopyProgress.h"
#include "engine/Unfit.h"
#include "history/PassRunner.h"
#include "engine/cTidyfold.h"
#include "fs/FileSystem.h"
#include "ui/Text.h"

namespace tidyfold::app {

namespace {

std::string What(JournalAction action) {
    switch (action) {
        case JournalAction::CopyThenDelete:
            return "copy then delete";
        case JournalAction::Move:
            return "move";
        case JournalAction::Delete:
            return "delete";
        case JournalAction::SendToTrash:
            return "send to the Trash";
        case JournalAction::DeleteEmptyFile:
            return "delete empty file";
        case JournalAction::RemoveUnpackedFolder:
            return "remove unpacked folder";
        case JournalAction::RemoveEmptyFolder:
            return "remove empty folder";
        case JournalAction::Restore:
            return "put back";
    }
    return "change";
}

PlannedAction Planned(const CleanPlan& plan, const PlanEntry& entry) {
    PlannedAction action{What(entry.action), fs::JoinPath(plan.desktop, entry.relative), {}, {}};
    if (!entry.destination.empty())
        action.where = fs::JoinPath(plan.offload, entry.destination);
    if (entry.unfit)
        action.stays = UnfitReason(entry.unfit);
    return action;
}

}  // namespace

std::string ActionLine(const PlannedAction& action) {
    return action.what + ": " + action.path + (action.where.empty() ? std::string() : " -> " + action.where) +
           (action.stays.empty() ? std::string() : " (stays: " + action.stays + ")");
}

int RunDryRun(const std::vector<Operation>& operations) {
    // Operations given together are each planned on the Desktop as it is
    // now; an action two of them would take is told once.
    std::set<std::string> told;
    std::size_t staying = 0;
    for (const Operation operation : operations) {
        cTidyfold engine;
        RegisterCurrentEngine(&engine);
        const StopTarget target(engine);
        try {
            const CleanPlan plan = history::PassRunner::Plan(engine, operation);
            RegisterCurrentEngine(nullptr);
            for (const PlanEntry& entry : plan.entries) {
                const std::string line = ActionLine(Planned(plan, entry));
                if (told.insert(line).second) {
                    std::printf("%s\n", line.c_str());
                    // What would stay is told, but is no change.
                    staying += entry.unfit ? 1 : 0;
                }
            }
            if (engine.Stopped())
                return kSomeFailed;
        } catch (const Error& error) {
            RegisterCurrentEngine(nullptr);
            std::fprintf(stderr, "tidyfold: %s\n", ui::ErrorText(error).toLocal8Bit().constData());
            return kCouldNotRun;
        }
    }
    std::printf("Dry run: %zu changes, none made.\n", told.size() - staying);
    return kAllWent;
}

}  // namespace tidyfold::app
