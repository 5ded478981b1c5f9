#pragma once

// The cleaning engine. One object serves one tidying run: the main window
// creates a new one for every Clean Desktop.

#include <csignal>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Bool.h"
#include "engine/Ageing.h"
#include "engine/Clock.h"
#include "engine/Collected.h"
#include "engine/Events.h"
#include "engine/PassJournal.h"
#include "engine/PassReport.h"
#include "engine/Plan.h"
#include "fs/FileSystem.h"
#include "settings/KeepList.h"
#include "settings/cOptions.h"
#include "shell/RecentFiles.h"

namespace tidyfold {

class PassFolders;
class TransferFolders;

class cTidyfold {
public:
    cTidyfold();
    cTidyfold(const cTidyfold&) = delete;
    cTidyfold& operator=(const cTidyfold&) = delete;

    // The settings the engine works from; callers share the object.
    void Options(std::shared_ptr<cOptions> vData) { Options_ = std::move(vData); }
    std::shared_ptr<cOptions> Options() const { return Options_; }

    // Has no behaviour; kept for callers of the interface. Always 0.
    std::int16_t CleanCompressed(std::int32_t Choice);

    void Cancel(std::int16_t vData) { Cancel_ = vData; }
    std::int16_t Cancel() const { return Cancel_; }

    void fErrorsThrown(std::int16_t vData) { fErrorsThrown_ = vData; }
    std::int16_t fErrorsThrown() const { return fErrorsThrown_; }

    void Log(std::string vData) { Log_ = std::move(vData); }
    std::string Log() const { return Log_; }

    // One whole tidying run over the Desktop. The number of collected files,
    // or nothing when none was collected or the run stopped on Cancel.
    std::optional<std::int32_t> Clean();

    void TimeLimit(float vData) { TimeLimit_ = vData; }
    float TimeLimit() const { return TimeLimit_; }

    void TrashDirectory(std::string vData) { TrashDirectory_ = std::move(vData); }
    std::string TrashDirectory() const { return TrashDirectory_; }

    // Examines every file in every folder below sPath (not sPath's own files).
    void Recurse(const std::string& sPath);
    // The destination of a Desktop file under the offload folder; creates the
    // missing folders on the way.
    std::string RetainDirStructure(const fs::File& tmpFile);
    // Raises CopyProgressRoutine after one yield.
    void UpdateCopyStatusProgressBar(std::int64_t TotalFileSize, std::int64_t TotalBytesTransferred);
    // Deletes every empty folder below sPath, deepest first; never sPath.
    void CleanUpFolders(const std::string& sPath);
    // Deletes folders beside listed archives directly in sPath, each only
    // when the archive holds every file in it byte for byte (else it stays
    // and the log names the file that kept it); returns the running count of
    // folders removed by this object. Yields while it reads; Cancel ends it
    // and keeps the folder under check.
    std::int32_t ProcessCompressed(const std::string& sPath);
    std::int16_t IsCompressedFile(const fs::File& aFile);
    std::int16_t FoundUncompressedFolder(const fs::File& thisFile, const fs::Folder& currentFolder,
                                         std::optional<fs::Folder>& UCFolder);
    // 1 when the file was empty and older than the time limit, the option is
    // on, and it has been deleted (and logged).
    std::int32_t IsFileNullFile(const fs::File& tmpFile);

    // --- Beyond the classic interface ---

    // Loads the settings and refuses (Error::Refused), before anything is
    // touched, what would make a Clean pass unsafe: a time limit that is
    // negative or not a number; an empty or relative offload folder; a
    // Desktop that is "/", the home folder or above it; an offload folder
    // that is "/", the home folder, the Desktop or above it. Clean makes the
    // same checks itself; the window calls this first, so that a Clean
    // Desktop refused for its settings has not removed unpacked folders.
    void CheckSettings();

    // The one listener of the events; nullptr disconnects.
    void Connect(cTidyfoldEvents* listener) { listener_ = listener; }
    // Tests decide what time it is; an empty clock restores the system's.
    void SetClock(Clock clock) { clock_ = clock ? std::move(clock) : SystemClock(); }
    // The files collected for transfer, in discovery order.
    const std::vector<CollectedFile>& colFiles() const { return colFiles_; }
    // Whether an operation of this object ended early on a stop: the scan
    // cut short, the transfer loop left, an unpacked folder's check stopped.
    bool Stopped() const { return Stopped_; }
    // What the operations of this object did so far, entry by entry, and the
    // files a Desktop clean collected and handled (the runner adds how the
    // pass ended).
    const PassReport& Report() const { return report_; }
    PassReport& Report() { return report_; }
    // The journal told of every change before it is made, and of its
    // outcome after (PassJournal.h); nullptr, the default, records nothing.
    void Journal(PassJournal* journal) { journal_ = journal; }

    // What a Clean Desktop would do now, as the main window runs it (the
    // folders unpacked beside archives when DelUCFolders is 1, then Clean),
    // found without changing anything on the disk. Raises ScanningFile for
    // each file examined, as Clean does; refuses what Clean refuses.
    CleanPlan PlanClean();
    // What ProcessCompressed(sPath) would remove (each folder compared with
    // its archive now) and what CleanUpFolders(sPath) would remove, deepest
    // first, found without changing anything. Plans to show, not to carry out.
    CleanPlan PlanUnpackedFolders(const std::string& sPath);
    CleanPlan PlanEmptyFolders(const std::string& sPath);
    // Carries out the entries of plan whose chosen is true (chosen holds one
    // value per entry), in the order a Clean Desktop works, with its events
    // and log lines; each entry is looked at again at its turn. The transfer
    // mode and time limit are the plan's. Stop is honoured as in Clean.
    struct CarriedOut {
        std::int32_t unpacked = 0;            // unpacked folders removed
        std::optional<std::int32_t> files;    // files chosen for transfer, as Clean counts them
    };
    CarriedOut CarryOut(const CleanPlan& plan, const std::vector<bool>& chosen);

    // Transfers that failed in this run (they are also in the Log).
    std::int32_t FailedTransfers() const { return report_.Transfers(JournalOutcome::Failed); }
    // Asks the run to stop before its next file and abandons a copy in
    // progress cleanly (its temporary file removed, the Desktop file kept):
    // the Stop button, closing the window, a signal.
    void AbandonCopy() { lCopyCancel_ = 1; }
    // The flag AbandonCopy sets, for a signal handler to set itself: a
    // volatile sig_atomic_t is all a handler may write.
    volatile std::sig_atomic_t* StopFlag() { return &lCopyCancel_; }
    const volatile std::sig_atomic_t* CopyCancelFlag() const { return &lCopyCancel_; }
    // Cancel is set, or the stop flag.
    bool StopAsked() const { return Cancel_ != 0 || lCopyCancel_ != 0; }

private:
    void CreateFolderPath(const std::string& folder);
    void LogError(const std::string& text);

    // Begins an operation that ages files: says in the log when the
    // Desktop's drive keeps no access times, and forgets the record of
    // opened files an earlier operation read.
    void BeginAgeing(const fs::OpenFolder& desktop);
    // The desktop's record of opened files, read once for the operation
    // under way, at its first use (the log says so when it cannot be read).
    const RecentFiles& Recent();
    void ReadRecord();
    // The record's entry for name in folder when the file is older than days
    // by its own times but was opened since; nullptr when the record does
    // not keep it.
    const RecentUse* KeptByRecord(const fs::Identity& folder, const std::string& name, float days);
    // Leaves a file the record keeps where it is (LeaveAlone, with why).
    void LeaveOpened(const std::string& relative, const RecentUse& opened);
    // Its last use, its own times and the record's together, for a plan.
    ageing::LastUse LastUseOf(const fs::Identity& folder, const fs::Entry& entry);

    // Which limit an examination compares with: the top-level scan reads the
    // options, Recurse the engine's own (they hold the same value in a pass).
    enum class LimitFrom { Engine, Options };
    // The examination shared by the top-level scan and Recurse, of one entry
    // of folder's listing; relative is folder's path below the Desktop.
    // True when the entry leaves the Desktop by the plan: collected in a
    // mode that moves, copies or deletes, or an empty file for the gate.
    bool ExamineEntry(const fs::OpenFolder& folder, const std::string& relative, const fs::Entry& entry,
                      LimitFrom limit);
    // The null-file gate: an empty file older than days is put on the list of files to
    // delete (gated_) instead of being examined.
    bool GatedAsNullFile(const fs::OpenFolder& folder, const std::string& relative, const fs::Entry& entry,
                         float days);
    // Deletes the empty files of the gate's list, each still the empty file
    // found; a write-protected one ends the operation (EACCES).
    void DeleteGated(const fs::OpenFolder& desktop, const std::vector<PlanEntry>& files);
    void ScanDesktop(const PassFolders& folders);
    // How many of the folders among entries would be empty once the files
    // the walk collects have left (PlanClean lists them).
    std::size_t RecurseInto(const fs::OpenFolder& folder, const std::string& relative,
                     const std::vector<fs::Entry>& entries, const PassFolders& folders);
    // The transfer loop over colFiles_: false when Stop ended it.
    bool TransferCollected(PassFolders& folders);
    // The folders unpacked beside archives directly in the Desktop; with
    // compare, only those their archive holds byte for byte.
    std::vector<PlanEntry> PlanUnpacked(const PassFolders& folders, bool compare);
    void RemoveUnpacked(const PassFolders& folders, const std::vector<PlanEntry>& unpacked);
    // The folders below folder that are empty or would be once those below
    // them are gone, deepest first; true when folder itself would be empty.
    bool PlanEmptyBelow(const fs::OpenFolder& folder, const std::string& relative, const PassFolders& folders,
                        std::vector<PlanEntry>& empty);
    void RemoveEmptyFolders(const fs::OpenFolder& desktop, const std::vector<PlanEntry>& empty);
    // Runs act on each entry in turn, each recorded in the journal before
    // and its outcome after.
    void Journaled(const std::vector<PlanEntry>& entries, const std::function<JournalResult(const PlanEntry&)>& act);
    // The sub-folder listed, or nothing (and a log line) when it changed
    // since; nothing also for a folder the pass must keep or a drive's Trash.
    std::optional<fs::OpenFolder> EnterListed(const fs::OpenFolder& folder, const fs::Entry& entry,
                                              const PassFolders& folders);
    // What the user keeps on the Desktop: the list Clean loaded with the
    // other settings, or, for an operation that loads none, the one the
    // settings file holds now.
    const KeepList& Keep();
    std::string PathOf(const std::string& relative) const;

    // One collected file, by the mode CopyAction names.
    JournalResult TransferFile(const CollectedFile& file, TransferFolders& folders);
    bool UsedSinceExamined(const fs::Entry& now) const;
    JournalResult CopyThenDelete(const CollectedFile& file, const fs::OpenFolder& from, const fs::Entry& now,
                                 TransferFolders& folders);
    JournalResult MoveToOffload(const CollectedFile& file, const fs::OpenFolder& from, const fs::Entry& now,
                                TransferFolders& folders);
    JournalResult SendToTrash(const CollectedFile& file, const fs::OpenFolder& from, const fs::Entry& now);
    JournalResult DeleteInPlace(const CollectedFile& file, const fs::OpenFolder& from, const fs::Entry& now);
    void LogFailedTransfer(const std::string& text);
    // A file the pass leaves where it is, and why (a reason a person reads).
    void LeaveAlone(const std::string& relative, const std::string& reason);
    // Tells the report how a change ended (the journal is told by its queue).
    void Settled(JournalAction action, const fs::Entry& seen, const std::string& relative,
                 const std::string& destination, const JournalResult& result);
    fs::CopyProgress ProgressRoutine();

    void RaiseMovingFile(const std::string& path);
    void RaiseScanningFile(std::string path);
    void RaiseSetFileCount(std::int32_t count);

    std::string TrashDirectory_;
    float TimeLimit_ = 0.0f;
    std::string Log_;
    std::int16_t fErrorsThrown_ = kFalse;
    volatile std::sig_atomic_t lCopyCancel_ = 0;
    std::vector<CollectedFile> colFiles_;
    std::int16_t Cancel_ = kFalse;
    std::shared_ptr<cOptions> Options_;

    std::int32_t RemovedFolders_ = 0;  // running count of ProcessCompressed
    bool Stopped_ = false;
    // A stop cut the change under way short (a copy abandoned, an unpacked
    // folder's check ended): the operation ends there.
    bool cutShort_ = false;
    PassReport report_;
    cTidyfoldEvents* listener_ = nullptr;
    Clock clock_;
    // The Desktop path of the operation under way, as the user spelled it:
    // for events and log lines only, never opened again.
    std::string desktopPath_;
    std::optional<KeepList> keep_;

    // The desktop's record of opened files, as the operation under way read
    // it (recentRead_), or not yet.
    RecentFiles recent_;
    bool recentRead_ = false;
    // The Desktop's drive is mounted noatime (found by BeginAgeing).
    bool noAccessTimes_ = false;

    PassJournal* journal_ = nullptr;
    // What the null-file gate found in the walk under way.
    std::vector<PlanEntry> gated_;
    // While a plan is made: the folders that would be empty, and the
    // unpacked folders that would be gone before the scan.
    std::vector<PlanEntry>* predictedEmpty_ = nullptr;
    std::vector<fs::Identity> goneBeforeScan_;
};

}  // namespace tidyfold
