#include "zemrunU.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"
#include "../settings/zemrunOptions.h"
#include "zemrunJobLog.h"
#include "zemrunWatch.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <utility>

namespace {

// Moves the file into the folder, made where needed, under a name that is free there: 0,
// with moved set to where it went, or the system's error number.
uint32_t MoveInto(const std::string& path, const std::string& folder, std::string& moved) {
    try {
        MakeFolder(folder);
        const std::string target =
            FreeName(folder + PathDelimiter + PathFileName(path), PathExists);
        const uint32_t error = MoveFileTo(path, target);
        if (error == 0) moved = target;
        return error;
    } catch (const TvxInOutError& failure) {
        return uint32_t(failure.code);
    }
}

// One try of an item: what is started, and the texts that tell it.
struct TItemTry {
    int32_t index = 0;
    int32_t attempt = 1;      // 1 for the first try
    int32_t firstAttempt = 1; // the number of the first try in this run of the item
    int32_t count = 1;        // the items that its command takes, from index on
    int32_t slot = 1;         // the job slot its command was built for
    TStartCommand start;
    std::string command;    // the job log's and the preview's text
    std::string parameters; // the progress window's text
};

// A try that was started, or whose start failed, until the loop is done with it.
struct TStartedItem {
    TItemTry item;
    TProcess process;
    TJobRecord record;
    uint64_t startedAt;
    bool timedOut = false;
};

// Neither from a root nor from a drive: "Done", "out\\done".
bool IsRelativePath(const std::string& path) {
    return !path.empty() && path[0] != '\\' && path[0] != '/' &&
           !(path.size() > 1 && path[1] == ':');
}

TAssociationLookup AssociationLookup(TLauncherHost& host) {
    return [&host](const std::string& extension) { return host.GetAssocCommand(extension); };
}

std::unique_ptr<TJobLog> OpenJobLog(const TOptions& settings, TJobLog::TUse use) {
    if (settings.JobLog.empty()) return nullptr;
    // The output column is there only where output is kept.
    const bool output = !settings.OutputFolder.empty();
    return std::make_unique<TJobLog>(settings.JobLog, use, output);
}

// One run over its settings and items: what it carries from item to item, the progress
// window's state, the Skip and Cancel that the user gave and the count of what failed.
class TRun {
  public:
    // The settings as Normalize gives them.
    TRun(TLauncherHost& host, const TOptions& settings)
        : host_(host), settings_(settings), commands_(settings_, AssociationLookup(host)) {
        LoadItems(settings_, host_, items_);
        log_ = OpenJobLog(settings_, TJobLog::Append);
    }

    int32_t ItemCount() const { return int32_t(items_.size()); }
    // Items whose last try failed, those whose retries never started included.
    int32_t Failed() const;
    // Shows the progress window where the progress mode asks for it and one can be shown.
    void ShowProgress();
    // Runs the items, then waits for what still runs unless Skip or Cancel ended that; runs
    // the failed items again as often as the user asks at the end, and closes the progress
    // window.
    void RunItems();

  private:
    void PollProgress();
    static bool SearchStopRequested(void* context);
    int32_t ItemsToRun() const;
    TBatchStatus Status() const;
    void ShowStatus();
    bool RunFailedAgain();
    void RunOnce();
    void FinishRunning();
    bool Watching() const { return !settings_.WatchFolder.empty(); }
    void Watch();
    void FinishEnded();
    void ShowWatch(bool folderThere);
    void LogWatchedFolder(bool there);
    void PutWatchedFileAside(TStartedItem& started, bool succeeded);
    void RunFailedFilesAgain(TFolderWatch& watch);
    std::string AsideFolder(const std::string& folder) const;
    bool PutAside(const TFolderEntry& entry) const;
    void WaitUntilProgramRunning(TProcess process);
    void WaitOpenAfterStart(TProcess process);
    uint32_t TimeLeft(const TStartedItem& started);
    void EndForTimeLimit(TStartedItem& started);
    bool Succeeded(const TStartedItem& started) const;
    void FinishItem(TStartedItem& started);
    bool FinishRunningWhere(const std::function<bool(TStartedItem&)>& ended);
    bool EndOverdue();
    bool WaitForOneEnd();
    bool Halted() const { return settings_.Halt > 0 && failed_ >= settings_.Halt; }
    bool StopStarting() const { return cancelled_ || stopped_ || Halted(); }
    bool StartsRetries() const { return !stopped_ && !Halted(); }
    bool PrepareItem(int32_t index, int32_t attempt, TItemTry& item);
    void BuildCommand(TItemTry& item, int32_t slot);
    bool LoggedAsDone(const TItemTry& item);
    int32_t FreeSlot() const;
    void StartTry(TItemTry item);
    bool StartWhenFree(TItemTry item);
    void StartRetries();
    int32_t RunItem(int32_t index, int32_t attempt = 1);
    std::string ItemsText(const TItemTry& item) const;

    TLauncherHost& host_;
    const TOptions settings_;
    TCommandBuilder commands_;
    TRunItems items_;
    std::unique_ptr<TJobLog> log_;
    std::vector<TStartedItem> running_; // started with more than one job, end not yet seen
    std::deque<TItemTry> retries_;      // the next tries of failed items, in order of failure
    // The items whose last try failed, in order of failure; a watch hands them on as it shows
    // its state.
    std::vector<TFailedItem> failures_;
    std::vector<TFailedItem> again_; // the items that this run takes again; none: all
    bool progressShown_ = false;
    uint64_t lastAnnounced_ = 0; // when the watch last announced a failure
    bool announced_ = false;
    struct TFailedFile {
        std::string came, now; // where it came from, and where it is now
    };
    std::vector<TFailedFile> failedFiles_; // of the watch, since it last ran them again
    bool failuresRetried_ = false;         // since the last status
    bool cancelled_ = false;
    bool stopped_ = false;
    bool skipped_ = false;
    int32_t done_ = 0;               // items whose last try ended, or that the job log has as done
    int32_t failed_ = 0;             // items whose last try failed
    int32_t ended_ = 0;              // items whose tries ran, for the estimate
    uint64_t endedMilliseconds_ = 0; // the run time of their tries
};

// Reads the progress window's events into the Cancel and Skip of the run, and the request
// that nothing more starts, which comes with or without the window.
void TRun::PollProgress() {
    stopped_ = stopped_ || host_.StopSignalled();
    if (!progressShown_) return;
    cancelled_ = host_.CancelSignalled();
    if (cancelled_) {
        skipped_ = true;
        return;
    }
    skipped_ = host_.TakeSkipSignal();
}

// Asked by a long search every few thousand steps: Cancel ends it and the run, Skip ends
// it alone, and the item then starts with empty groups.
bool TRun::SearchStopRequested(void* context) {
    auto& run = *static_cast<TRun*>(context);
    if (run.host_.CancelSignalled()) {
        run.cancelled_ = run.skipped_ = true;
        return true;
    }
    return run.host_.TakeSkipSignal();
}

int32_t TRun::ItemsToRun() const {
    if (again_.empty()) return ItemCount();
    int32_t count = 0;
    for (const TFailedItem& failed : again_)
        count += failed.count;
    return count;
}

TBatchStatus TRun::Status() const {
    const int32_t jobs = settings_.WaitClose ? settings_.Jobs : 1;
    return {done_, ItemsToRun(), failed_,
            EstimateSecondsLeft(endedMilliseconds_, ended_, ItemsToRun() - done_, jobs)};
}

void TRun::ShowStatus() {
    if (progressShown_) host_.ProgressSetStatus(Status());
}

void TRun::ShowProgress() {
    const int32_t gui = settings_.GUI;
    // A watch tells how it goes through ShowWatch.
    if (Watching()) return;
    progressShown_ = gui == 3 || (gui == 2 && settings_.WaitClose) || (gui == 1 && ItemCount() > 1);
    // A window that cannot be shown lets the run go on without it.
    if (progressShown_ && !host_.ProgressStart()) progressShown_ = false;
    if (!progressShown_) return;
    host_.ProgressSetRange(0, ItemCount());
    host_.ProgressSetPos(0);
    host_.ProgressSetText(std::string());
    ShowStatus();
    PollProgress();
    // With Skip and Cancel at hand a search may take as long as the user lets it;
    // without them the step bound ends it.
    if (TvxRegExpr* expression = commands_.Expression()) {
        expression->SetStepLimit(0);
        expression->SetStopCheck(SearchStopRequested, this);
    }
}

void TRun::WaitUntilProgramRunning(TProcess process) {
    uint32_t waited = 0;
    while (!skipped_) {
        PollProgress();
        host_.Sleep(WaitOpenPollMilliseconds);
        waited += WaitOpenPollMilliseconds;
        if (host_.IsProgramRunning(settings_.Exe) != 0) break;
        // A program that has ended, or a name that never shows, must not keep the run
        // waiting, with the progress window as without it.
        if (host_.ProcessEnded(process) || waited >= WaitOpenLimitMilliseconds) break;
    }
}

void TRun::WaitOpenAfterStart(TProcess process) {
    if (!settings_.WaitOpen) return;
    if (!skipped_) host_.WaitForInputIdle(process, InputIdleMilliseconds);
    if (!settings_.Exe.empty()) WaitUntilProgramRunning(process);
    PollProgress();
}

// What the try's time limit still allows; NoTimeout without one.
uint32_t TRun::TimeLeft(const TStartedItem& started) {
    if (settings_.TimeLimit <= 0) return NoTimeout;
    const uint64_t limit = uint64_t(settings_.TimeLimit) * 1000;
    const uint64_t spent = host_.Milliseconds() - started.startedAt;
    return spent >= limit ? 0 : uint32_t(std::min<uint64_t>(limit - spent, NoTimeout - 1));
}

void TRun::EndForTimeLimit(TStartedItem& started) {
    host_.EndProgram(started.process);
    started.timedOut = true;
}

// A try fails when its start failed, when its time limit ended it, or when it ended with
// an exit code other than 0.
bool TRun::Succeeded(const TStartedItem& started) const {
    const std::string& exitCode = started.record.exitCode;
    return started.record.error == 0 && (exitCode.empty() || exitCode == "0");
}

// The loop is done with the try: its line goes to the job log, with its run time and exit
// code when its end was waited for and came, and its process handle is closed. A failed
// try is followed by the item's next while retries are left.
void TRun::FinishItem(TStartedItem& started) {
    uint32_t exitCode = 0;
    if (started.process && settings_.WaitClose && host_.ProcessEnded(started.process)) {
        // The run time is the job log's only; the exit code also decides a retry.
        if (log_) started.record.seconds = SecondsText(host_.Milliseconds() - started.startedAt);
        exitCode = host_.ExitCode(started.process);
        started.record.exitCode = std::to_string(exitCode);
    }
    if (started.timedOut) started.record.error = TimeLimitError;
    const bool succeeded = Succeeded(started);
    const bool triedAgain =
        !succeeded && started.item.attempt - started.item.firstAttempt < settings_.Retries;
    if (started.process) host_.CloseProcess(started.process);
    if (Watching() && !triedAgain) PutWatchedFileAside(started, succeeded);
    if (log_) log_->Write(started.record);
    endedMilliseconds_ += host_.Milliseconds() - started.startedAt;
    if (!succeeded) {
        if (triedAgain) {
            TItemTry next = std::move(started.item);
            ++next.attempt;
            retries_.push_back(std::move(next));
            return;
        }
        failed_ += started.item.count;
        failures_.push_back({started.item.index + 1, started.item.count, started.record.item,
                             started.item.attempt, started.record.error, exitCode,
                             started.record.output, settings_.TimeLimit});
    }
    done_ += started.item.count;
    ended_ += started.item.count;
    ShowStatus();
}

// The done or failed folder as a path: a relative name is below the watched folder.
std::string TRun::AsideFolder(const std::string& folder) const {
    if (folder.empty() || !IsRelativePath(folder)) return folder;
    return settings_.WatchFolder + PathDelimiter + folder;
}

// Whether the entry is in the done or the failed folder, which a watch of the folders below
// must leave out.
bool TRun::PutAside(const TFolderEntry& entry) const {
    for (const std::string* setting : {&settings_.DoneFolder, &settings_.FailedFolder}) {
        const std::string folder = AsideFolder(*setting);
        if (!folder.empty() && entry.path.size() > folder.size() &&
            (entry.path[folder.size()] == '\\' || entry.path[folder.size()] == '/') &&
            SameTextAnsi(std::string_view(entry.path).substr(0, folder.size()), folder))
            return true;
    }
    return false;
}

// A watched file whose command ended for good goes to the done or the failed folder, where
// the settings name one (below the watched folder where the name is relative), under a
// name that is free there; one that cannot be moved stays, and the system's error number
// of the move is its job log line's error. The watch keeps where each failed file is now,
// to run it again when asked.
void TRun::PutWatchedFileAside(TStartedItem& started, bool succeeded) {
    const std::string& path = items_[size_t(started.item.index)].text;
    const std::string folder =
        AsideFolder(succeeded ? settings_.DoneFolder : settings_.FailedFolder);
    std::string now = path;
    // Into the watched folder itself it would arrive again.
    if (!folder.empty() && !SameTextAnsi(folder, settings_.WatchFolder)) {
        const uint32_t error = MoveInto(path, folder, now);
        if (started.record.error == 0) started.record.error = error;
    }
    if (!succeeded) failedFiles_.push_back({path, now});
}

// Run failed again: each failed file becomes new to the watch, which takes it again once
// it is complete: one in the failed folder goes back to where it came from (under a free
// name), one that stayed is forgotten. They no longer count as failed.
void TRun::RunFailedFilesAgain(TFolderWatch& watch) {
    for (const TFailedFile& file : failedFiles_) {
        if (file.now == file.came)
            watch.Forget(file.came);
        else
            MoveFileTo(file.now, FreeName(file.came, PathExists));
    }
    failed_ -= int32_t(failedFiles_.size());
    failedFiles_.clear();
    failuresRetried_ = true;
}

// Shows what failed, in list order, where the settings ask for it, the progress was shown
// and the run was not cancelled; true when the user asked to run those items again, which
// then make the run, with their item numbers and the numbers of their next tries.
bool TRun::RunFailedAgain() {
    if (settings_.ShowFailures != 1 || !progressShown_ || cancelled_ || failures_.empty())
        return false;
    std::sort(failures_.begin(), failures_.end(),
              [](const TFailedItem& a, const TFailedItem& b) { return a.number < b.number; });
    if (!host_.ShowFailures(Status(), failures_)) return false;
    again_ = std::move(failures_);
    failures_.clear();
    retries_.clear();
    done_ = failed_ = ended_ = 0;
    endedMilliseconds_ = 0;
    ShowStatus();
    return true;
}

// Finishes the running tries for which ended (which may end them) holds, in their order;
// true when there was one.
bool TRun::FinishRunningWhere(const std::function<bool(TStartedItem&)>& ended) {
    bool any = false;
    for (size_t i = 0; i < running_.size();) {
        if (!ended(running_[i])) {
            ++i;
            continue;
        }
        FinishItem(running_[i]);
        running_.erase(running_.begin() + ptrdiff_t(i));
        any = true;
    }
    return any;
}

// Ends the running tries whose time is up; true when there was one.
bool TRun::EndOverdue() {
    return FinishRunningWhere([this](TStartedItem& started) {
        if (TimeLeft(started) > 0) return false;
        EndForTimeLimit(started);
        return true;
    });
}

// Waits until one of the running items has ended, or its time limit ended it; false when
// Skip or Cancel ended the wait.
bool TRun::WaitForOneEnd() {
    std::vector<TProcess> processes;
    uint32_t timeout = NoTimeout;
    for (const TStartedItem& started : running_) {
        processes.push_back(started.process);
        timeout = std::min(timeout, TimeLeft(started));
    }
    const int32_t ended = host_.WaitAnyProcessEnd(processes, timeout);
    PollProgress();
    if (ended == WaitTimedOut) return EndOverdue();
    if (ended < 0 || size_t(ended) >= running_.size()) return false;
    FinishItem(running_[size_t(ended)]);
    running_.erase(running_.begin() + ended);
    return true;
}

// The first try of the item; false when it is not to start: the search was cancelled, or
// the job log has it as done.
bool TRun::PrepareItem(int32_t index, int32_t attempt, TItemTry& item) {
    item.index = index;
    item.attempt = item.firstAttempt = attempt;
    item.count = commands_.GroupSize(items_, index);
    BuildCommand(item, 1);
    if (cancelled_) return false; // cancelled during the search
    // A watch never starts again what an earlier one finished.
    if ((settings_.Resume || Watching()) && log_ && LoggedAsDone(item)) {
        done_ += item.count;
        return false;
    }
    return true;
}

void TRun::BuildCommand(TItemTry& item, int32_t slot) {
    item.slot = slot;
    item.start = commands_.Build(items_, item.index, item.count, slot);
    item.parameters = item.start.parameters;
    // The command's text serves only the job log.
    if (log_) item.command = StarterCommand(item.start);
}

// Whether the job log has the item's command as done; one that names the job slot, in any
// slot it may have run in.
bool TRun::LoggedAsDone(const TItemTry& item) {
    if (log_->Done(item.command)) return true;
    if (!commands_.UsesSlot()) return false;
    for (int32_t slot = 2; slot <= settings_.Jobs; ++slot) {
        TItemTry other = item;
        BuildCommand(other, slot);
        if (log_->Done(other.command)) return true;
    }
    return false;
}

// The lowest job slot that no running program holds.
int32_t TRun::FreeSlot() const {
    for (int32_t slot = 1;; ++slot)
        if (std::none_of(running_.begin(), running_.end(),
                         [slot](const TStartedItem& started) { return started.item.slot == slot; }))
            return slot;
}

void TRun::StartTry(TItemTry item) {
    if (commands_.UsesSlot()) {
        const int32_t slot = FreeSlot();
        if (item.slot != slot) BuildCommand(item, slot);
    }
    // The shell starter has no handles to give a program.
    if (!settings_.OutputFolder.empty() && !item.start.shellExecute)
        item.start.output =
            OutputFileName(settings_.OutputFolder, item.index + 1, item.attempt, ItemCount());
    item.start.keepOutput =
        settings_.Jobs > 1 && item.start.output.empty() && !item.start.shellExecute;
    TStartedItem started{item,
                         TProcess(),
                         {ItemsText(item), LocalTimeText(host_.LocalTime()), "", "", 0,
                          item.command, item.start.output},
                         host_.Milliseconds()};
    if (item.start.refusal)
        started.record.error = item.start.refusal;
    else if (!(started.process = host_.Start(item.start)))
        started.record.error = host_.StartError();

    if (progressShown_) {
        host_.ProgressSetText(item.parameters);
        host_.ProgressSetPos(item.index);
        PollProgress();
    }
    if (started.process) WaitOpenAfterStart(started.process);
    if (started.process && settings_.WaitClose && settings_.Jobs > 1) {
        running_.push_back(std::move(started));
    } else {
        if (started.process && settings_.WaitClose &&
            host_.WaitProcessEnd(started.process, TimeLeft(started)) == WaitTimedOut)
            EndForTimeLimit(started);
        FinishItem(started);
    }
    PollProgress();
    // A negative pause would be an endless sleep; it counts as none.
    if (item.index == 0 && item.attempt == 1 && !skipped_ && !settings_.WaitClose &&
        ItemCount() > 1 && settings_.FirstPause > 0)
        host_.Sleep(uint32_t(settings_.FirstPause));
}

// Starts the try once a slot is free; the retries that the wait brought take the slots
// before a first try. False when nothing is to start any more.
bool TRun::StartWhenFree(TItemTry item) {
    for (;;) {
        // With more than one job, a start waits for a free slot; Skip lets it start at once.
        while (settings_.WaitClose && running_.size() >= size_t(settings_.Jobs) && !StopStarting())
            if (!WaitForOneEnd()) break;
        if (StopStarting()) return false;
        if (item.attempt > item.firstAttempt || retries_.empty()) break;
        StartRetries();
    }
    StartTry(std::move(item));
    return true;
}

void TRun::StartRetries() {
    while (!retries_.empty() && !StopStarting()) {
        TItemTry retry = std::move(retries_.front());
        retries_.pop_front();
        if (!StartWhenFree(retry)) retries_.push_front(std::move(retry));
    }
}

int32_t TRun::Failed() const {
    int32_t failed = failed_;
    for (const TItemTry& retry : retries_)
        failed += retry.count;
    return failed;
}

// The items of the try as the job log names them: the item, or each of its command's items
// as the command holds it.
std::string TRun::ItemsText(const TItemTry& item) const {
    if (item.count == 1) return items_[size_t(item.index)].text;
    std::string text;
    for (int32_t i = item.index; i < item.index + item.count; ++i) {
        if (i > item.index) text += ' ';
        text += QuoteIfBlank(items_[size_t(i)].text);
    }
    return text;
}

// Runs the command of the items from index on; the count of items it took.
int32_t TRun::RunItem(int32_t index, int32_t attempt) {
    TItemTry item;
    const bool starts = PrepareItem(index, attempt, item);
    const int32_t count = item.count;
    if (starts) StartWhenFree(std::move(item));
    StartRetries();
    return count;
}

void TRun::RunItems() {
    if (Watching())
        Watch();
    else
        do
            RunOnce();
        while (RunFailedAgain());
    if (progressShown_) host_.ProgressClose();
    progressShown_ = false;
}

void TRun::RunOnce() {
    cancelled_ = false;
    skipped_ = false;
    if (again_.empty()) {
        for (int32_t index = 0; index < ItemCount() && !StopStarting();)
            index += RunItem(index);
    } else {
        for (size_t i = 0; i < again_.size() && !StopStarting(); ++i)
            RunItem(again_[i].number - 1, again_[i].tries + 1);
    }
    FinishRunning();
}

// The last starts are waited for and their retries started; what Skip or Cancel leaves
// running is not.
void TRun::FinishRunning() {
    while (!cancelled_ && (!running_.empty() || (!retries_.empty() && StartsRetries()))) {
        if (!retries_.empty() && StartsRetries())
            StartRetries();
        else if (!WaitForOneEnd())
            break;
    }
    for (TStartedItem& started : running_)
        FinishItem(started);
    running_.clear();
}

// Runs each file of the watched folder once it is complete, until the watch is asked to
// stop; then waits for what runs, as at the end of a list.
void TRun::Watch() {
    TFolderWatch watch(TWatchFilter(settings_.Match), uint64_t(settings_.SettleTime) * 1000);
    const std::string& folder = settings_.WatchFolder;
    uint64_t lastLook = 0;
    bool folderThere = true;
    while (!StopStarting()) {
        // A folder that changes all the time (a file being copied) is looked at at most
        // every WatchLookMilliseconds.
        const uint64_t sinceLook = host_.Milliseconds() - lastLook;
        if (lastLook != 0 && sinceLook < WatchLookMilliseconds)
            host_.Sleep(uint32_t(WatchLookMilliseconds - sinceLook));
        lastLook = host_.Milliseconds();
        uint64_t wait = WatchMissingFolderMilliseconds; // a folder that is not there is waited for
        auto entries = ListFolder(folder, settings_.Subfolders);
        if (entries.has_value() != folderThere) {
            folderThere = entries.has_value();
            LogWatchedFolder(folderThere);
        }
        if (entries) {
            std::erase_if(*entries, [this](const TFolderEntry& entry) { return PutAside(entry); });
            for (const std::string& path : watch.Complete(*entries, lastLook, NobodyWrites)) {
                if (StopStarting()) break; // what is not started stays for the next watch
                items_.push_back({path, true});
                RunItem(ItemCount() - 1);
                ShowWatch(true);
            }
            wait = watch.MillisecondsToNextCheck(host_.Milliseconds());
        }
        ShowWatch(folderThere);
        // Ends of what runs are seen at least every WatchLookMilliseconds.
        if (!running_.empty()) wait = std::min<uint64_t>(wait, WatchLookMilliseconds);
        host_.WaitForFolderChange(
            folder, settings_.Subfolders,
            uint32_t(std::clamp<uint64_t>(wait, WatchLookMilliseconds, WatchRescanMilliseconds)));
        if (host_.TakeRunAgainSignal()) RunFailedFilesAgain(watch);
        FinishEnded();
        PollProgress();
    }
    FinishRunning();
    ShowWatch(true);
    host_.WatchEnded();
}

// With /G:0 nothing tells. The failures go to the host, which keeps them, so that a watch
// that runs for months does not keep them twice.
void TRun::ShowWatch(bool folderThere) {
    std::vector<TFailedItem> newlyFailed = std::exchange(failures_, {});
    if (settings_.GUI == 0) return;
    // The first failure is announced, and then at most one a minute.
    std::string announced;
    const uint64_t now = host_.Milliseconds();
    if (!newlyFailed.empty() &&
        (!announced_ || now - lastAnnounced_ >= WatchAnnounceMilliseconds)) {
        announced = newlyFailed.back().item;
        announced_ = true;
        lastAnnounced_ = now;
    }
    host_.ShowWatch({settings_.WatchFolder, settings_.JobLog, folderThere, Status(),
                     std::exchange(failuresRetried_, false), std::move(newlyFailed), announced});
}

// The job log tells when the watched folder went away and when it came back: a line with
// the folder as its item, no command, and the system's "cannot find the path" while away.
void TRun::LogWatchedFolder(bool there) {
    if (!log_) return;
    TJobRecord record;
    record.item = settings_.WatchFolder;
    record.start = LocalTimeText(host_.LocalTime());
    record.error = there ? 0 : PathNotFoundError;
    log_->Write(record);
}

// The tries that ended or ran out of time meanwhile, without waiting for any.
void TRun::FinishEnded() {
    EndOverdue();
    FinishRunningWhere(
        [this](const TStartedItem& started) { return host_.ProcessEnded(started.process); });
    StartRetries();
}

// The items' commands, one a line, to the preview file.
void WritePreview(const std::string& path, const std::vector<std::string>& commands) {
    std::string text;
    for (const std::string& command : commands)
        text += command + "\r\n";
    TvxFileWriter file(path);
    file.Write(text);
    file.Close();
}

// The settings as a run takes them.
void Normalize(TOptions& settings) {
    settings.GUI = std::clamp(settings.GUI, 0, 3);
    settings.Jobs = std::clamp(settings.Jobs, 1, MaxJobs);
    settings.Retries = std::clamp(settings.Retries, 0, MaxRetries);
    settings.ItemsPerCommand = std::max(settings.ItemsPerCommand, 1);
    if (settings.TimeLimit > 0) settings.WaitClose = true; // a time limit waits for every end
    // A watch waits for every end, to put the file aside; its items are files, one each.
    if (!settings.WatchFolder.empty()) {
        settings.WaitClose = true;
        settings.ItemsPerCommand = 1;
        settings.SettleTime = std::max(settings.SettleTime, 0);
    }
}

} // namespace

std::string UnquoteItem(const std::string& item) {
    const std::string trimmed = Trim(item);
    if (trimmed.size() < 2 || trimmed.front() != '"' || trimmed.back() != '"' ||
        trimmed.find('"', 1) != trimmed.size() - 1)
        return item;
    return trimmed.substr(1, trimmed.size() - 2);
}

bool ListMissing(const TOptions& settings) {
    return !settings.List.empty() && settings.List != StandardInputList &&
           !PathExists(settings.List);
}

void LoadItems(const TOptions& settings, TLauncherHost& host, TRunItems& items) {
    uint32_t codePage = 0;
    ReadEncodingName(settings.Encoding, codePage); // a name unknown here ends the run before
    TvxStringList lines;
    // Where nothing else tells, a pipe from a console program is in the console's page.
    if (settings.List == StandardInputList)
        lines.LoadFromText(host.StandardInput(), codePage, ConsoleCodePage());
    else if (PathExists(settings.List))
        lines.LoadFromFile(settings.List, codePage);
    for (int32_t i = 0; i < lines.Count(); ++i)
        items.push_back({UnquoteItem(lines.Strings(i)), false});
    // A list is taken as written; the shell leaves wildcards on the command line to the
    // program.
    for (const std::string& item : settings.Items)
        for (std::string& name : ExpandWildcards(UnquoteItem(item)))
            items.push_back({std::move(name), true});
}

std::vector<std::string> PreviewCommands(TLauncherHost& host, const TOptions& settings,
                                         int32_t limit) {
    TOptions run = settings;
    Normalize(run);
    TRunItems items;
    LoadItems(run, host, items);
    const std::unique_ptr<TJobLog> log = OpenJobLog(run, TJobLog::ReadOnly);
    TCommandBuilder builder(run, AssociationLookup(host));
    std::vector<std::string> commands;
    for (int32_t i = 0, count = 0; i < int32_t(items.size()) && i < limit; i += count) {
        count = builder.GroupSize(items, i);
        std::string command = StarterCommand(builder.Build(items, i, count, 1));
        if (!(run.Resume && log && log->Done(command))) commands.push_back(std::move(command));
    }
    return commands;
}

std::string WatchJobLog(const std::string& folder) {
    return SettingsFile(CSIDL_LOCAL_APPDATA_ID | CSIDL_FLAG_CREATE_BIT,
                        "Watch " + SafeFileName(folder) + ".log");
}

uint32_t RunList(TLauncherHost& host, TRunRequest& request) {
    // /UNWATCH: 0, NoWatchStatus, or the system's error why the watch may not be stopped.
    if (!request.unwatchFolder.empty()) {
        const uint32_t error = host.AskWatchToStop(request.unwatchFolder);
        if (error == NoWatchError) return NoWatchStatus;
        if (error != 0) host.ShowFailure(TvxInOutError{int(error), request.unwatchFolder});
        return error;
    }
    TOptions& settings = request.settings;
    // The main dialog's Preview shows the first thousand items' commands.
    const auto preview = [&host](const TOptions& current) {
        return PreviewCommands(host, current, 1000);
    };
    if (request.interactive && !host.EditSettingsDialog(settings, preview)) return 0;
    const bool countsFailures = settings.Halt != NoHalt;
    uint32_t codePage = 0;
    if (!ReadEncodingName(settings.Encoding, codePage)) {
        host.ShowUnknownEncoding(settings.Encoding);
        return countsFailures ? RunNotDoneStatus : UnknownEncodingStatus;
    }
    // A list that is not there starts nothing. A batch that counts its failures has then
    // nothing done that it was to do, and with an expression that does not compile would
    // fail every item with empty groups.
    const bool listMissing = ListMissing(settings);
    if (listMissing) host.ShowFailure(TvxInOutError{FileNotFoundError, settings.List});
    const std::optional<TExpressionError> expressionError = ExpressionError(settings);
    if (expressionError) host.ShowExpressionError(*expressionError);
    if (countsFailures && (listMissing || expressionError)) return RunNotDoneStatus;
    // The preview shows what the run would do.
    Normalize(settings);
    if (!request.previewFile.empty()) {
        WritePreview(request.previewFile, PreviewCommands(host, settings, INT32_MAX));
        return countsFailures ? BatchExitStatus(0) : 0;
    }
    // /D without a file: the commands are shown first, and Cancel ends here.
    if (request.preview && !host.ConfirmCommands(PreviewCommands(host, settings, INT32_MAX)))
        return 0;
    if (!settings.OutputFolder.empty()) MakeFolder(settings.OutputFolder);
    if (!settings.WatchFolder.empty()) {
        // A folder that is not there yet is waited for; a file would be waited for in vain.
        std::optional<TWatchRefusal> refusal;
        if (IsRegularFile(settings.WatchFolder))
            refusal = TWatchRefusal::NotAFolder;
        else if (!host.ClaimWatch(settings.WatchFolder))
            refusal = TWatchRefusal::AlreadyWatched;
        if (refusal) {
            host.ShowWatchRefused(settings.WatchFolder, *refusal);
            return countsFailures ? RunNotDoneStatus : WatchRefusedStatus;
        }
    }
    // A watch without a job log of its own keeps one, so that a restart does nothing twice.
    if (!settings.WatchFolder.empty() && settings.JobLog.empty())
        settings.JobLog = WatchJobLog(settings.WatchFolder);
    TRun run(host, settings);
    run.ShowProgress();
    run.RunItems();
    return countsFailures ? BatchExitStatus(run.Failed()) : 0;
}

std::string OutputFileName(const std::string& folder, int32_t item, int32_t attempt,
                           int32_t itemCount) {
    const int width = std::max<int>(5, int(std::to_string(itemCount).size()));
    std::string name = std::to_string(item);
    name.insert(0, size_t(std::max<int>(0, width - int(name.size()))), '0');
    if (attempt > 1) {
        name += '-';
        name += std::to_string(attempt);
    }
    std::string path = folder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += PathDelimiter;
    return path + name + ".txt";
}
