#include "zemrunU.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"
#include "../settings/zemrunOptions.h"
#include "zemrunJobRunner.h"
#include "zemrunReporters.h"
#include "zemrunWatchedFolder.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

namespace {

TAssociationLookup AssociationLookup(TLauncherSystem& system) {
    return [&system](const std::string& extension) { return system.GetAssocCommand(extension); };
}

std::unique_ptr<TJobLog> OpenJobLog(const TOptions& settings, TJobLog::TUse use) {
    if (settings.JobLog.empty()) return nullptr;
    // The output column is there only where output is kept.
    const bool output = !settings.OutputFolder.empty();
    return std::make_unique<TJobLog>(settings.JobLog, use, output);
}

// What the user asked, as the run reads it: the face's signals, Skip and Cancel only while
// the progress is shown, and /UNWATCH of the folder that the run watches.
class TRunSignals : public TInterruptions {
  public:
    TRunSignals(TLauncherSystem& system, TLauncherFace& face) : system_(system), face_(face) {}
    void Poll() override;
    bool Skipped() const override { return skipped_; }
    bool Cancelled() const override { return cancelled_; }
    bool Stopped() const override { return stopped_; }
    void ProgressShown(bool shown) { progressShown_ = shown; }
    // Asked by a long search every few thousand steps: Cancel ends it and the run, Skip
    // ends it alone, and the item then starts with empty groups.
    bool SearchStopRequested();
    bool TakeRunAgain() { return std::exchange(runAgain_, false); }
    void NewPass() { cancelled_ = skipped_ = false; }

  private:
    TUserSignals Take();

    TLauncherSystem& system_;
    TLauncherFace& face_;
    bool progressShown_ = false;
    bool cancelled_ = false, skipped_ = false, stopped_ = false, runAgain_ = false;
};

TUserSignals TRunSignals::Take() {
    const TUserSignals signals = face_.TakeSignals();
    runAgain_ = runAgain_ || signals.runAgain;
    stopped_ = stopped_ || signals.stop;
    return signals;
}

void TRunSignals::Poll() {
    const TUserSignals signals = Take();
    stopped_ = stopped_ || system_.UnwatchAsked();
    if (!progressShown_) return;
    cancelled_ = signals.cancel;
    skipped_ = signals.cancel || signals.skip;
}

bool TRunSignals::SearchStopRequested() {
    const TUserSignals signals = Take();
    if (signals.cancel) cancelled_ = skipped_ = true;
    return signals.cancel || signals.skip;
}

// One run over its settings: its items, where they come from, the commands they make,
// the runner that starts them and those who listen to it.
class TRun {
  public:
    // The settings as Normalize gives them.
    TRun(TLauncherSystem& system, TLauncherFace& face, const TOptions& settings);
    // Runs the items, then waits for what still runs unless Skip or Cancel ended that; runs
    // the failed items again as often as the user asks at the end, and closes the progress.
    void Run();
    // Items whose last try failed, those whose retries never started included.
    int32_t Failed() const { return counter_.Failed() + runner_.ItemsOfRetries(); }

  private:
    bool Watching() const { return !settings_.WatchFolder.empty(); }
    std::unique_ptr<TItemSource> FirstSource();
    std::vector<TRunListener*> Listeners();
    TBatchStatus Status() const;
    void ShowProgress();
    void RunFrom(TItemSource& source);
    int32_t RunItem(const TSourced& next);
    bool LoggedAsDone(const TTry& tried);
    std::string ItemsText(const TTry& tried) const;
    TItemSource* FailedAgain();

    TLauncherSystem& system_;
    TLauncherFace& face_;
    const TOptions settings_;
    TCommandBuilder commands_;
    TRunItems items_;
    std::unique_ptr<TJobLog> log_;
    std::optional<TJobLogReporter> logReporter_;
    TBatchCounter counter_;
    TFailuresKept failures_;
    TRunSignals signals_;
    std::unique_ptr<TWatchReporter> watchReporter_;
    std::unique_ptr<TItemSource> source_;
    std::unique_ptr<TItemSource> again_; // the failed items, where the user runs them again
    TItemSource* current_;               // the source of this pass
    TRunReport report_;
    TJobRunner runner_;
    bool progressShown_ = false;
};

TRun::TRun(TLauncherSystem& system, TLauncherFace& face, const TOptions& settings)
    : system_(system), face_(face), settings_(settings),
      commands_(settings_, AssociationLookup(system), face.KeptOutputPrefix()),
      log_(OpenJobLog(settings_, TJobLog::Append)), failures_(settings_.TimeLimit),
      signals_(system, face), source_(FirstSource()), current_(source_.get()),
      report_(Listeners(), nullptr, [this] { return Status(); }),
      runner_(
          system, settings_,
          !settings_.WaitClose && items_.size() > 1 && settings_.FirstPause > 0
              ? uint32_t(settings_.FirstPause)
              : 0,
          [this](const TTry& tried, int32_t slot) {
              return commands_.Build(items_, tried.index, tried.count, slot, tried.attempt);
          },
          signals_, report_, [this] { return settings_.Halt > 0 && Failed() >= settings_.Halt; }) {}

std::unique_ptr<TItemSource> TRun::FirstSource() {
    if (log_) logReporter_.emplace(*log_);
    if (!Watching()) return std::make_unique<TListSource>(settings_, system_, items_);
    watchReporter_ =
        std::make_unique<TWatchReporter>(system_, face_, settings_, [this] { return Status(); });
    return std::make_unique<TWatchedFolder>(
        system_, settings_, *watchReporter_,
        [this](bool there) {
            if (logReporter_)
                logReporter_->FolderThere(settings_.WatchFolder, system_.LocalTime(), there);
        },
        [this](int32_t items) { counter_.Forgive(items); });
}

// In this order: a watched file goes aside before its line is written with the error of
// its move; the counts change before the failures and the face hear of them.
std::vector<TRunListener*> TRun::Listeners() {
    std::vector<TRunListener*> listeners;
    if (Watching()) listeners.push_back(static_cast<TWatchedFolder*>(source_.get()));
    if (logReporter_) listeners.push_back(&*logReporter_);
    listeners.push_back(&counter_);
    if (Watching())
        listeners.push_back(watchReporter_.get());
    else
        listeners.push_back(&failures_);
    listeners.push_back(&face_);
    return listeners;
}

TBatchStatus TRun::Status() const {
    return counter_.Status(current_->ItemsToRun(), settings_.WaitClose ? settings_.Jobs : 1);
}

// A watch tells how it goes through its reporter; a list shows the progress where the
// progress mode asks for it and one can be shown.
void TRun::ShowProgress() {
    const int32_t gui = settings_.GUI;
    const int32_t items = current_->ItemsToRun();
    progressShown_ =
        !Watching() && (gui == 3 || (gui == 2 && settings_.WaitClose) || (gui == 1 && items > 1));
    // A window that cannot be shown lets the run go on without it.
    if (progressShown_ && !face_.ProgressStart(items)) progressShown_ = false;
    signals_.ProgressShown(progressShown_);
    if (!progressShown_) return;
    report_.SetStatusListener(&face_);
    report_.ShowStatus();
    signals_.Poll();
    // With Skip and Cancel at hand a search may take as long as the user lets it;
    // without them the step bound ends it.
    if (TvxRegExpr* expression = commands_.Expression()) {
        expression->SetStepLimit(0);
        expression->SetStopCheck([this] { return signals_.SearchStopRequested(); });
    }
}

void TRun::Run() {
    ShowProgress();
    for (TItemSource* source = source_.get(); source; source = FailedAgain()) {
        current_ = source;
        RunFrom(*source);
        source->RunEnded();
        // The failed items of a watch stay with it: Run failed again comes while it runs.
        if (Watching()) break;
    }
    if (progressShown_) face_.ProgressClose();
    progressShown_ = false;
}

// Runs the items of the source as it gives them; a source that has none yet is waited on,
// at most as long as the ends of what runs may wait.
void TRun::RunFrom(TItemSource& source) {
    signals_.NewPass();
    while (!signals_.Cancelled() && !signals_.Stopped() &&
           !(settings_.Halt > 0 && Failed() >= settings_.Halt)) {
        const TSourced next = source.Next(items_);
        if (next.kind == TSourced::NoMore) break;
        if (next.kind == TSourced::Item) {
            source.Took(RunItem(next));
            continue;
        }
        source.WaitForMore(runner_.Idle() ? UINT32_MAX : SourceWaitWhileRunningMilliseconds);
        signals_.Poll();
        if (signals_.TakeRunAgain()) source.RunFailedAgain();
        runner_.FinishEnded();
    }
    runner_.Finish();
}

// Runs the command of the items from the source's on; the count of items it took. A
// resumed run, and a watch that never starts again what an earlier one finished, leave
// out what the job log has as done.
int32_t TRun::RunItem(const TSourced& next) {
    TTry tried;
    tried.index = next.index;
    tried.attempt = tried.firstAttempt = next.attempt;
    tried.count = commands_.GroupSize(items_, next.index);
    tried.items = ItemsText(tried);
    const bool done = (settings_.Resume || Watching()) && log_ && LoggedAsDone(tried);
    if (done) counter_.LeftOut(tried.count);
    // A search that the user cancelled starts nothing.
    if (!done && !signals_.Cancelled()) runner_.Run(std::move(tried));
    runner_.StartRetries();
    return tried.count;
}

// Whether the job log has the try's command as done; one that names the job slot, in any
// slot it may have run in.
bool TRun::LoggedAsDone(const TTry& tried) {
    const int32_t slots = commands_.UsesSlot() ? settings_.Jobs : 1;
    for (int32_t slot = 1; slot <= slots; ++slot)
        if (log_->Done(StarterCommand(
                commands_.Build(items_, tried.index, tried.count, slot, tried.attempt))))
            return true;
    return false;
}

// The items of the try as the job log names them: the item, or each of its command's items
// as the command holds it.
std::string TRun::ItemsText(const TTry& tried) const {
    if (tried.count == 1) return items_[size_t(tried.index)].text;
    std::string text;
    for (int32_t i = tried.index; i < tried.index + tried.count; ++i) {
        if (i > tried.index) text += ' ';
        text += QuoteIfBlank(items_[size_t(i)].text);
    }
    return text;
}

// Shows what failed, in list order, where the settings ask for it, the progress was shown
// and the run was not cancelled; the failed items as the next source where the user asked
// to run them again, with their item numbers and the numbers of their next tries.
TItemSource* TRun::FailedAgain() {
    if (settings_.ShowFailures != 1 || !progressShown_ || signals_.Cancelled() || !failures_.Any())
        return nullptr;
    std::vector<TFailedItem> failed = failures_.TakeInListOrder();
    if (!face_.ShowFailures(Status(), failed)) return nullptr;
    runner_.DropRetries();
    counter_.Reset();
    again_ = std::make_unique<TFailedAgainSource>(std::move(failed));
    current_ = again_.get();
    report_.ShowStatus();
    return again_.get();
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

// The settings as a run on a machine of that many processors takes them.
void Normalize(TOptions& settings, int32_t processors) {
    settings.GUI = std::clamp(settings.GUI, 0, 3);
    settings.Jobs = std::clamp(JobsOn(settings, processors), 1, MaxJobs);
    settings.JobsPercent = 0;
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

// /UNWATCH: 0, NoWatchStatus, or the system's error why the watch may not be stopped.
uint32_t Unwatch(TLauncherSystem& system, TLauncherFace& face, const std::string& folder) {
    const uint32_t error = system.AskWatchToStop(folder);
    if (error == NoWatchError) return NoWatchStatus;
    if (error != 0) face.Tell(TvxInOutError{int(error), folder});
    return error;
}

// What keeps the settings from a run, told: an encoding unknown here starts nothing; a list
// that is not there starts nothing, and a batch that counts its failures has then nothing
// done that it was to do, and with an expression that does not compile would fail every
// item with empty groups. The exit status where the run is not made.
std::optional<uint32_t> RunRefused(TLauncherFace& face, const TOptions& settings) {
    const bool countsFailures = settings.Halt != NoHalt;
    uint32_t codePage = 0;
    if (!ReadEncodingName(settings.Encoding, codePage)) {
        face.Tell(TUnknownEncoding{settings.Encoding});
        return countsFailures ? RunNotDoneStatus : UnknownEncodingStatus;
    }
    const bool listMissing = ListMissing(settings);
    if (listMissing) face.Tell(TvxInOutError{FileNotFoundError, settings.List});
    const std::optional<TExpressionError> expressionError = ExpressionError(settings);
    if (expressionError) face.Tell(*expressionError);
    if (countsFailures && (listMissing || expressionError)) return RunNotDoneStatus;
    return std::nullopt;
}

// The preview shows what the run would do: /D:<file> writes it, and nothing starts; /D
// shows it first, and Cancel ends the run there. The exit status where nothing starts.
std::optional<uint32_t> Previewed(TLauncherSystem& system, TLauncherFace& face,
                                  const TRunRequest& request) {
    const TOptions& settings = request.settings;
    if (!request.previewFile.empty()) {
        WritePreview(request.previewFile, PreviewCommands(system, settings, INT32_MAX));
        return settings.Halt != NoHalt ? BatchExitStatus(0) : 0;
    }
    if (request.preview && !face.ConfirmCommands(PreviewCommands(system, settings, INT32_MAX)))
        return 0;
    return std::nullopt;
}

// A folder that is not there yet is waited for; a file would be waited for in vain, and a
// folder that another watch has is that watch's. A watch without a job log of its own keeps
// one, so that a restart does nothing twice. The exit status where the watch does not start.
std::optional<uint32_t> WatchRefused(TLauncherSystem& system, TLauncherFace& face,
                                     TOptions& settings) {
    if (settings.WatchFolder.empty()) return std::nullopt;
    std::optional<TWatchRefusal> refusal;
    if (IsRegularFile(settings.WatchFolder))
        refusal = TWatchRefusal::NotAFolder;
    else if (!system.ClaimWatch(settings.WatchFolder))
        refusal = TWatchRefusal::AlreadyWatched;
    if (refusal) {
        face.Tell(TWatchRefused{settings.WatchFolder, *refusal});
        return settings.Halt != NoHalt ? RunNotDoneStatus : WatchRefusedStatus;
    }
    if (settings.JobLog.empty()) settings.JobLog = WatchJobLog(settings.WatchFolder);
    return std::nullopt;
}

} // namespace

bool ListMissing(const TOptions& settings) {
    return !settings.List.empty() && settings.List != StandardInputList &&
           !PathExists(settings.List);
}

std::vector<std::string> PreviewCommands(TLauncherSystem& system, const TOptions& settings,
                                         int32_t limit) {
    TOptions run = settings;
    Normalize(run, system.Machine().processors);
    TRunItems items;
    LoadItems(run, system, items);
    const std::unique_ptr<TJobLog> log = OpenJobLog(run, TJobLog::ReadOnly);
    TCommandBuilder builder(run, AssociationLookup(system));
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

uint32_t RunList(TLauncherSystem& system, TLauncherFace& face, TRunRequest& request) {
    if (!request.unwatchFolder.empty()) return Unwatch(system, face, request.unwatchFolder);
    TOptions& settings = request.settings;
    // The main dialog's Preview shows the first thousand items' commands.
    const auto preview = [&system](const TOptions& current) {
        return PreviewCommands(system, current, 1000);
    };
    if (request.interactive && !face.EditSettingsDialog(settings, preview)) return 0;
    if (const auto status = RunRefused(face, settings)) return *status;
    Normalize(settings, system.Machine().processors);
    if (const auto status = Previewed(system, face, request)) return *status;
    if (!settings.OutputFolder.empty()) MakeFolder(settings.OutputFolder);
    if (const auto status = WatchRefused(system, face, settings)) return *status;
    TRun run(system, face, settings);
    run.Run();
    return settings.Halt != NoHalt ? BatchExitStatus(run.Failed()) : 0;
}
