#pragma once
// A launcher host that starts nothing: it records every call the launch loop makes,
// keeps simulated time, and plays the progress window's buttons from a script.

#include "foundation/vxFileUtils.h"
#include "launcher/zemrunJobRunner.h"
#include "launcher/zemrunU.h"
#include "launcher/zemrunWatchedFolder.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class TRecordingHost : public TLauncherSystem, public TLauncherFace {
  public:
    // What the host answers.
    std::map<std::string, std::string> associations; // extension -> template
    bool startsFail = false;
    uint32_t startError = 2;              // what a failed start reports
    std::map<size_t, uint32_t> exitCodes; // by start number (1, 2, ...); 0 otherwise
    std::set<size_t> failedStarts;        // by start number, besides startsFail
    // How long a process runs, by start number: its end comes that long after its start
    // when a wait with a time limit (or any wait once this holds an entry) is for it.
    std::map<size_t, uint32_t> runsForMs;
    // The position, among the processes waited for at once, of the one that ends first.
    std::function<size_t(const std::vector<TProcess>&)> firstToEnd =
        [](const std::vector<TProcess>&) { return size_t(0); };
    bool progressAvailable = true;
    bool dialogResult = true;
    uint32_t programShowsAfterMs = 0; // IsProgramRunning finds it from then on
    bool programNeverShows = false;
    uint32_t processEndsAfterMs = UINT32_MAX;
    // Called before every zero-time test of the events; may press the buttons.
    std::function<void(TRecordingHost&)> beforeEveryPoll;
    // Called when a wait for a process's end begins; may press the buttons.
    std::function<void(TRecordingHost&)> duringEndWait;
    bool cancelEvent = false;
    bool skipEvent = false;
    bool stopEvent = false;                   // the console's first Ctrl+C
    std::optional<std::string> standardInput; // none: nothing to read
    int inputReads = 0;

    // What the loop did.
    std::vector<std::string> log;
    std::vector<std::string> commands;
    std::vector<std::pair<int32_t, int32_t>> modes; // the window mode and priority of each start
    std::vector<std::string> outputs;               // the output file of each start
    std::vector<bool> contained;                    // whether each start is in a job
    std::vector<std::vector<std::string>> environments; // the variables of each start
    std::vector<uint32_t> startTimes;                   // when each start was made
    std::vector<std::string> statuses;                  // "done/all failed left" of each update
    std::vector<std::string> failures;                  // "number item tries: reason" of the end
    std::map<std::string, int> assocLookups;
    uint32_t now = 0;
    int openProcesses = 0;
    int usageShown = 0;

    void ShowUsage() override {
        ++usageShown;
        log.push_back("usage");
    }
    void Tell(const TNotice& notice) override {
        if (const auto* failure = std::get_if<TvxInOutError>(&notice))
            log.push_back("failure " + std::to_string(failure->code) + " " + failure->path);
        if (const auto* error = std::get_if<TExpressionError>(&notice))
            log.push_back("expression " + error->text + " at " + std::to_string(error->position));
        if (const auto* encoding = std::get_if<TUnknownEncoding>(&notice))
            log.push_back("unknown encoding " + encoding->name);
        if (const auto* schedule = std::get_if<TScheduleNotice>(&notice))
            log.push_back("schedule " + std::to_string(schedule->kind) + " " + schedule->project +
                          (schedule->text.empty() ? "" : " " + schedule->text) +
                          (schedule->error ? " error " + std::to_string(schedule->error) : ""));
        if (const auto* refused = std::get_if<TWatchRefused>(&notice))
            log.push_back(
                (refused->why == TWatchRefusal::NotAFolder ? "not a folder " : "watched already ") +
                PathFileName(refused->folder));
    }
    bool EditSettingsDialog(TOptions&, const TPreviewCommands&) override {
        log.push_back("dialog");
        return dialogResult;
    }
    bool ConfirmCommands(const std::vector<std::string>& commands) override {
        log.push_back("preview " + std::to_string(commands.size()));
        previewed = commands;
        return previewResult;
    }
    bool previewResult = true;
    std::vector<std::string> previewed;
    TStarted Start(const TStartCommand& c) override {
        commands.push_back(std::string(c.shellExecute ? "shell" : "create") + "|" + c.program +
                           "|" + c.parameters + "|" + (c.noProgram ? "noprog" : "prog"));
        modes.push_back({c.window, c.priority});
        outputs.push_back(c.output);
        contained.push_back(c.contained);
        environments.push_back(c.environment);
        startTimes.push_back(now);
        log.push_back("start");
        if (startsFail || failedStarts.count(commands.size())) return {TProcess(), startError};
        ++openProcesses;
        startedAt_ = now;
        startTimes_[commands.size()] = now;
        return {TProcess(commands.size())};
    }
    void WaitForInputIdle(TProcess, uint32_t ms) override {
        log.push_back("idle " + std::to_string(ms));
    }
    bool ProcessEnded(TProcess process) {
        const size_t id = size_t(process.Id());
        if (!runsForMs.empty() && startTimes_.count(id) && now >= EndTime(process)) return true;
        return now - startedAt_ >= processEndsAfterMs ||
               std::find(ended_.begin(), ended_.end(), process) != ended_.end();
    }
    int32_t WaitAnyProcessEnd(const std::vector<TProcess>& processes, uint32_t ms) override {
        if (duringEndWait) duringEndWait(*this);
        if (WaitCutShort("any-wait")) return WaitInterrupted;
        size_t first = firstToEnd(processes);
        if (!runsForMs.empty()) {
            for (size_t i = 0; i < processes.size(); ++i)
                if (EndTime(processes[i]) < EndTime(processes[first])) first = i;
            if (EndTime(processes[first]) > uint64_t(now) + ms) {
                now += ms;
                log.push_back("any-wait " + std::to_string(processes.size()) + " timed out");
                return WaitTimedOut;
            }
            now = std::max<uint64_t>(now, EndTime(processes[first]));
        }
        log.push_back("any-wait " + std::to_string(processes.size()) + " ends " +
                      std::to_string(processes[first].Id()));
        ended_.push_back(processes[first]);
        return int32_t(first);
    }
    void EndProgram(TProcess process) override {
        log.push_back("end " + std::to_string(process.Id()));
        ended_.push_back(process);
        exitCodes[size_t(process.Id())] = TimeLimitError;
    }
    std::optional<uint32_t> ExitCode(TProcess process) override {
        if (!ProcessEnded(process)) return std::nullopt;
        const auto found = exitCodes.find(size_t(process.Id()));
        return found == exitCodes.end() ? 0 : found->second;
    }
    // The machine at each time: its processors, the memory available and the load.
    std::function<TMachine(uint32_t now)> machineAt = [](uint32_t) { return TMachine(); };
    TMachine Machine() override { return machineAt(now); }
    TLocalTime LocalTime() override { return {2026, 12, 7, 10, 0, 0, 0}; }
    uint64_t Milliseconds() override { return now; }
    void CloseProcess(TProcess) override {
        --openProcesses;
        log.push_back("close");
    }
    uint32_t IsProgramRunning(const std::string&) override {
        return !programNeverShows && now - startedAt_ >= programShowsAfterMs ? 42 : 0;
    }
    void Sleep(uint32_t ms) override {
        now += ms;
        if (ms != WaitOpenPollMilliseconds)
            log.push_back("sleep " + std::to_string(ms));
        else
            ++polls100;
    }
    std::string GetAssocCommand(const std::string& extension) override {
        ++assocLookups[extension];
        auto found = associations.find(extension);
        return found == associations.end() ? std::string() : found->second;
    }
    const std::string& StandardInput() override {
        ++inputReads;
        if (!standardInput) throw TvxInOutError{6, "-"};
        return *standardInput;
    }
    bool ProgressStart(int32_t items) override {
        log.push_back(progressAvailable ? "progress start" : "progress failed");
        progressShown = progressAvailable;
        if (!progressAvailable) return false;
        log.push_back("range 0.." + std::to_string(items));
        log.push_back("pos 0");
        log.push_back("text ");
        return true;
    }
    // The progress shows the try that started.
    void TryStarted(const TTry& tried) override {
        if (!progressShown) return;
        log.push_back("text " + tried.command.parameters);
        log.push_back("pos " + std::to_string(tried.index));
    }
    // Each rule that held a start back, as "Memory 600/1000", and "None" when none did.
    std::vector<std::string> held;
    void StartHeld(const THeldStart& h) override {
        const char* const rules[] = {"None", "Memory", "Load", "Delay"};
        held.push_back(h.rule == THeldStart::None
                           ? "None"
                           : std::string(rules[h.rule]) + " " + std::to_string(h.have) + "/" +
                                 std::to_string(h.asked));
    }
    void StatusChanged(const TBatchStatus& s) override {
        statuses.push_back(std::to_string(s.done) + "/" + std::to_string(s.all) + " " +
                           std::to_string(s.failed) + " " + std::to_string(s.secondsLeft));
    }
    // The window's events are read where it is shown; a stop always.
    TUserSignals TakeSignals() override {
        if (progressShown && beforeEveryPoll) beforeEveryPoll(*this);
        TUserSignals signals{cancelEvent, skipEvent, stopEvent, runAgainSignal};
        skipEvent = runAgainSignal = false;
        return signals;
    }
    bool UnwatchAsked() override { return stopEvent; }
    std::string KeptOutputPrefix() override { return keptOutputPrefix; }
    std::string keptOutputPrefix;
    bool ShowFailures(const TBatchStatus& status, const std::vector<TFailedItem>& failed) override {
        log.push_back("failures " + std::to_string(status.done) + "/" + std::to_string(status.all) +
                      " " + std::to_string(status.failed));
        for (const TFailedItem& item : failed)
            failures.push_back(std::to_string(item.number) + " " + item.item + " " +
                               std::to_string(item.tries) + ": " +
                               FailureReason(item, "error " + std::to_string(item.error), ""));
        return runFailedAgain-- > 0;
    }
    int runFailedAgain = 0; // the times that the end asks to run what failed again
    // A watch: each wait for the folder's change moves the time on by its length, then
    // lets the test change the folder or ask the watch to stop.
    std::function<void(TRecordingHost&)> duringFolderWait;
    bool watchedElsewhere = false;         // another watch has the folder
    uint32_t unwatchAnswer = NoWatchError; // what /UNWATCH finds
    void WaitForFolderChange(const std::string&, bool, uint32_t ms) override {
        now += ms;
        if (duringFolderWait) duringFolderWait(*this);
    }
    bool ClaimWatch(const std::string&) override { return !watchedElsewhere; }
    uint32_t AskWatchToStop(const std::string&) override { return unwatchAnswer; }
    bool runAgainSignal = false; // Run failed again, in the watch's summary
    // Each change: "[missing ]<done>/<all> <failed>[ <failed item>...][ !<announced item>]".
    std::vector<std::string> watchStatuses;
    void ShowWatch(const TWatchState& state) override {
        const TBatchStatus& s = state.status;
        std::string text = std::string(state.failuresRetried ? "again " : "") +
                           (state.folderThere ? "" : "missing ") + std::to_string(s.done) + "/" +
                           std::to_string(s.all) + " " + std::to_string(s.failed);
        for (const TFailedItem& failed : state.newlyFailed)
            text += " " + PathFileName(failed.item);
        if (!state.announced.empty()) text += " !" + PathFileName(state.announced);
        if (watchStatuses.empty() || watchStatuses.back() != text) watchStatuses.push_back(text);
    }
    void WatchEnded() override { watchStatuses.push_back("ended"); }
    void ProgressClose() override {
        log.push_back("progress close");
        progressShown = false;
    }

    int polls100 = 0;
    bool progressShown = false;

  private:
    // With the progress window, Skip and Cancel end a wait for an end.
    bool WaitCutShort(const std::string& wait) {
        if (!progressShown || !(skipEvent || cancelEvent)) return false;
        log.push_back(wait + (skipEvent ? " skipped" : " cancelled"));
        skipEvent = false; // the wait takes the skip signal
        return true;
    }
    uint64_t EndTime(TProcess process) const {
        const size_t start = size_t(process.Id());
        const auto duration = runsForMs.find(start);
        return startTimes_.at(start) + (duration == runsForMs.end() ? 0 : duration->second);
    }
    uint32_t startedAt_ = 0;
    std::map<size_t, uint32_t> startTimes_;
    std::vector<TProcess> ended_;
};
