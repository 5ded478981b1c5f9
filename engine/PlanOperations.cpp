// Plans of the two operations besides Clean Desktop, for a front end that
// shows what they would do: found as the operations find their work, with
// nothing changed on the disk.

#include "engine/PassFolders.h"
#include "engine/cTidyfold.h"

namespace tidyfold {

namespace {

CleanPlan PlanFrame(const PassFolders& folders, const std::string& offload) {
    CleanPlan plan;
    plan.desktop = folders.Desktop().Path();
    plan.desktopId = folders.Desktop().Id();
    plan.offload = offload;
    return plan;
}

}  // namespace

CleanPlan cTidyfold::PlanUnpackedFolders(const std::string& sPath) {
    const std::string offload = cOptions::StoredOffloadPath();
    const PassFolders folders(sPath, offload);
    desktopPath_ = folders.Desktop().Path();
    CleanPlan plan = PlanFrame(folders, offload);
    // Compared now, so that only the folders that would really go are listed.
    plan.entries = PlanUnpacked(folders, true);
    return plan;
}

CleanPlan cTidyfold::PlanEmptyFolders(const std::string& sPath) {
    const std::string offload = cOptions::StoredOffloadPath();
    const PassFolders folders(sPath, offload);
    desktopPath_ = folders.Desktop().Path();
    CleanPlan plan = PlanFrame(folders, offload);
    PlanEmptyBelow(folders.Desktop(), "", folders, plan.entries);
    return plan;
}

}  // namespace tidyfold
