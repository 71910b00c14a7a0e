#include "zemrunU.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"
#include "../settings/zemrunProjects.h"
#include "zemrunJobLog.h"

#include <algorithm>
#include <deque>
#include <memory>

namespace {

char SwitchLetter(const std::string& arg) {
    const char c = arg.size() > 1 ? arg[1] : '\0';
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

// Everything from the fourth character on; the third is not examined.
std::string SwitchValue(const std::string& arg) {
    return arg.size() > 3 ? arg.substr(3) : std::string();
}

void ApplySwitch(const std::string& arg, TOptions& settings) {
    const std::string value = SwitchValue(arg);
    switch (SwitchLetter(arg)) {
    case 'B':
        settings.BParam = value;
        break;
    case 'C':
        settings.Encoding = StripQuotes(value);
        break;
    case 'D':
        Preview = true;
        PreviewFile = StripQuotes(value);
        break;
    case 'E':
        settings.Eparam = value;
        break;
    case 'F':
        settings.FirstPause = ReadInteger(value);
        break;
    case 'G':
        settings.GUI = ReadInteger(value);
        break;
    case 'H':
        settings.Halt = std::max(ReadInteger(value), 0); // /H alone, or less than 0: never stops
        break;
    case 'I':
        Interactive = true;
        break;
    case 'J':
        Projects().LoadProject(value, settings);
        break;
    case 'K':
        settings.JobLog = StripQuotes(value);
        break;
    case 'L':
        settings.List = StripQuotes(value);
        break;
    case 'M':
        settings.Window = ReadInteger(value);
        break;
    case 'N':
        settings.Jobs = ReadInteger(value);
        break;
    case 'O':
        settings.Priority = ReadInteger(value);
        break;
    case 'P':
        settings.WaitClose = true;
        break;
    case 'R':
        settings.RegExp = value;
        break;
    case 'S':
        settings.ShellExecute = true;
        break;
    case 'T':
        settings.TimeLimit = ReadInteger(value);
        break;
    case 'U':
        settings.OutputFolder = StripQuotes(value);
        break;
    case 'W':
        settings.WaitOpen = !settings.WaitOpen;
        break;
    case 'X':
        settings.Exe = StripQuotes(value);
        break;
    case 'Y':
        settings.Retries = ReadInteger(value);
        break;
    case 'Z':
        settings.Resume = true;
        break;
    default:
        break; // other letters are ignored
    }
}

bool IsSwitch(const std::string& arg) {
    return !arg.empty() && (arg[0] == '/' || arg[0] == '-');
}

// The association cache of one run: extension texts with their split templates.
class TAssociationCache {
  public:
    ~TAssociationCache() {
        for (int32_t i = 0; i < entries_.Count(); ++i)
            delete entries_.Objects(i);
    }

    // The cached parts for the extension, looked up in the registry on first need.
    // Extensions without a registered template are not cached.
    TAssociation Lookup(const std::string& extension, TLauncherHost& host) {
        const int32_t index = entries_.IndexOf(extension);
        if (index >= 0) {
            const auto& parts = *static_cast<const TvxCommandLine*>(entries_.Objects(index));
            return {parts.Strings(0), parts.Strings(1), parts.Strings(2)};
        }
        const std::string command = Trim(host.GetAssocCommand(extension));
        if (command.empty()) return {};
        auto* parts = new TvxCommandLine(command);
        entries_.AddObject(extension, parts);
        const TAssociation association = SplitAssocTemplate(*parts);
        parts->Clear();
        parts->Add(association.program);
        parts->Add(association.begin);
        parts->Add(association.end);
        return association;
    }

  private:
    TvxStringList entries_;
};

std::string BuildParameters(const TOptions& settings, const TAssociation& association,
                            const std::string& item) {
    return Trim(settings.BParam + " " + association.begin + " " + QuoteIfBlank(item) + " " +
                settings.Eparam + " " + association.end);
}

// Every blank-separated piece of the parameters with its group references filled in.
std::string SubstitutedPart(const std::string& parameters, const TvxRegExpr& expression) {
    TvxStringList pieces;
    SplitQuoted(parameters, ' ', pieces);
    std::string part;
    for (int32_t i = 0; i < pieces.Count(); ++i) {
        part += ' ';
        part += QuoteIfBlank(ExpandEnvironment(SubstituteGroups(pieces.Strings(i), expression)));
    }
    return Trim(part);
}

// With an expression the parameters are not trimmed: the starter trims the command.
std::string BuildParameters(const TOptions& settings, const TAssociation& association,
                            const std::string& item, TvxRegExpr& expression) {
    expression.Exec(item); // without a match every group is empty
    return SubstitutedPart(settings.BParam, expression) + " " + association.begin + " " +
           QuoteIfBlank(item) + " " + SubstitutedPart(settings.Eparam, expression) + " " +
           association.end;
}

// One try of an item: what is started, and the texts that tell it.
struct TItemTry {
    int32_t index = 0;
    int32_t attempt = 1; // 1 for the first try
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

// The expression of the settings, compiled at its first search; none without one.
std::unique_ptr<TvxRegExpr> MakeExpression(const TOptions& settings) {
    if (settings.RegExp.empty()) return nullptr;
    auto expression = std::make_unique<TvxRegExpr>();
    expression->SetExpression(settings.RegExp);
    expression->SwitchModifier(3, false); // "." stops at line breaks
    return expression;
}

// Whether the settings' expression compiles, where they have one.
bool ExpressionCompiles(const TOptions& settings) {
    const std::unique_ptr<TvxRegExpr> expression = MakeExpression(settings);
    return !expression || expression->EnsureProgram();
}

std::unique_ptr<TJobLog> OpenJobLog(const TOptions& settings, TJobLog::TUse use) {
    if (settings.JobLog.empty()) return nullptr;
    // The output column is there only where output is kept.
    const bool output = !settings.OutputFolder.empty();
    return std::make_unique<TJobLog>(settings.JobLog, use, output);
}

// The settings as a run takes them: a time limit waits for every end.
TOptions RunSettingsOf(const TOptions& settings) {
    TOptions run = settings;
    if (run.TimeLimit > 0) run.WaitClose = true;
    return run;
}

// One run over its settings and items: what it carries from item to item, the progress
// window's state, the Skip and Cancel that the user gave and the count of what failed.
class TRun {
  public:
    // With preview, the commands are collected there instead of started.
    TRun(TLauncherHost& host, const TOptions& settings, std::vector<std::string>* preview)
        : host_(host), settings_(RunSettingsOf(settings)), preview_(preview),
          expression_(MakeExpression(settings)) {
        LoadItems(settings_, items_);
        log_ = OpenJobLog(settings_, preview ? TJobLog::ReadOnly : TJobLog::Append);
    }

    int32_t ItemCount() const { return items_.Count(); }
    // Items whose last try failed, those whose retries never started included.
    int32_t Failed() const { return failed_ + int32_t(retries_.size()); }
    // Shows the progress window where the progress mode asks for it and one can be shown.
    void ShowProgress();
    // Runs the first limit items, then waits for what still runs unless Skip or Cancel
    // ended that, and closes the progress window.
    void RunItems(int32_t limit);

  private:
    void PollProgress();
    static bool SearchStopRequested(void* context);
    void ShowStatus();
    void WaitUntilProgramRunning(TProcess process);
    void WaitOpenAfterStart(TProcess process);
    TAssociation ProgramOf(const std::string& item);
    std::string Parameters(const TAssociation& association, const std::string& item);
    uint32_t TimeLeft(const TStartedItem& started);
    void EndForTimeLimit(TStartedItem& started);
    bool Succeeded(const TStartedItem& started) const;
    void FinishItem(TStartedItem& started);
    bool EndOverdue();
    bool WaitForOneEnd();
    bool Halted() const { return settings_.Halt > 0 && failed_ >= settings_.Halt; }
    bool StopStarting() const { return cancelled_ || Halted(); }
    bool PrepareItem(int32_t index, TItemTry& item);
    void StartTry(TItemTry item);
    bool StartWhenFree(TItemTry item);
    void StartRetries();
    void RunItem(int32_t index);

    TLauncherHost& host_;
    const TOptions settings_;
    std::vector<std::string>* const preview_;
    TvxStringList items_;
    const std::unique_ptr<TvxRegExpr> expression_;
    std::unique_ptr<TJobLog> log_;
    TAssociationCache cache_;
    std::vector<TStartedItem> running_; // started with more than one job, end not yet seen
    std::deque<TItemTry> retries_;      // the next tries of failed items, in order of failure
    bool progressShown_ = false;
    bool cancelled_ = false;
    bool skipped_ = false;
    int32_t done_ = 0;               // items whose last try ended, or that the job log has as done
    int32_t failed_ = 0;             // items whose last try failed
    int32_t ended_ = 0;              // items whose tries ran, for the estimate
    uint64_t endedMilliseconds_ = 0; // the run time of their tries
};

// Reads the progress window's events into the Cancel and Skip of the run.
void TRun::PollProgress() {
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

void TRun::ShowStatus() {
    if (!progressShown_) return;
    const int32_t jobs = settings_.WaitClose ? settings_.Jobs : 1;
    host_.ProgressSetStatus(
        {done_, ItemCount(), failed_,
         EstimateSecondsLeft(endedMilliseconds_, ended_, ItemCount() - done_, jobs)});
}

void TRun::ShowProgress() {
    const int32_t gui = settings_.GUI;
    progressShown_ = !preview_ && (gui == 3 || (gui == 2 && settings_.WaitClose) ||
                                   (gui == 1 && ItemCount() > 1));
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
    if (expression_) {
        expression_->SetStepLimit(0);
        expression_->SetStopCheck(SearchStopRequested, this);
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

// The run's program, else the program registered for the item's extension.
TAssociation TRun::ProgramOf(const std::string& item) {
    TAssociation association;
    if (!settings_.Exe.empty() || settings_.ShellExecute)
        association.program = settings_.Exe;
    else
        association = cache_.Lookup(PathExtension(item), host_);
    if (!association.program.empty() && association.program == item) association.program.clear();
    return association;
}

std::string TRun::Parameters(const TAssociation& association, const std::string& item) {
    return expression_ ? BuildParameters(settings_, association, item, *expression_)
                       : BuildParameters(settings_, association, item);
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
    if (started.process && settings_.WaitClose && host_.ProcessEnded(started.process)) {
        // The run time is the job log's only; the exit code also decides a retry.
        if (log_) started.record.seconds = SecondsText(host_.Milliseconds() - started.startedAt);
        started.record.exitCode = std::to_string(host_.ExitCode(started.process));
    }
    if (started.timedOut) started.record.error = TimeLimitError;
    if (log_) log_->Write(started.record);
    if (started.process) host_.CloseProcess(started.process);
    endedMilliseconds_ += host_.Milliseconds() - started.startedAt;
    if (!Succeeded(started)) {
        if (started.item.attempt <= settings_.Retries) {
            TItemTry next = std::move(started.item);
            ++next.attempt;
            retries_.push_back(std::move(next));
            return;
        }
        ++failed_;
    }
    ++done_;
    ++ended_;
    ShowStatus();
}

// Ends the running tries whose time is up; true when there was one.
bool TRun::EndOverdue() {
    bool ended = false;
    for (size_t i = 0; i < running_.size();) {
        if (TimeLeft(running_[i]) > 0) {
            ++i;
            continue;
        }
        EndForTimeLimit(running_[i]);
        FinishItem(running_[i]);
        running_.erase(running_.begin() + ptrdiff_t(i));
        ended = true;
    }
    return ended;
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

// The first try of the item; false when it is not to start: the search was cancelled,
// the job log has it as done, or it went to the preview.
bool TRun::PrepareItem(int32_t index, TItemTry& item) {
    const std::string& text = items_.Strings(index);
    const TAssociation association = ProgramOf(text);
    item.index = index;
    item.parameters = Parameters(association, text);
    if (cancelled_) return false; // cancelled during the search
    item.start = {settings_.ShellExecute,  association.program,
                  item.parameters,         settings_.Exe.empty() && association.program.empty(),
                  settings_.Window,        settings_.Priority,
                  settings_.TimeLimit > 0, std::string()};
    const TStartCommand& start = item.start;
    // The command's text serves only the job log and the preview.
    if (log_ || preview_)
        item.command =
            StarterCommand(start.shellExecute, start.program, start.parameters, start.noProgram);
    if (settings_.Resume && log_ && log_->Done(item.command)) {
        ++done_;
        return false;
    }
    if (preview_) {
        preview_->push_back(item.command);
        return false;
    }
    return true;
}

void TRun::StartTry(TItemTry item) {
    // The shell starter has no handles to give a program.
    if (!settings_.OutputFolder.empty() && !item.start.shellExecute)
        item.start.output =
            OutputFileName(settings_.OutputFolder, item.index + 1, item.attempt, ItemCount());
    TStartedItem started{item,
                         TProcess(),
                         {items_.Strings(item.index), LocalTimeText(host_.LocalTime()), "", "", 0,
                          item.command, item.start.output},
                         host_.Milliseconds()};
    started.process = host_.Start(item.start);
    if (!started.process) started.record.error = host_.StartError();

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
        if (item.attempt > 1 || retries_.empty()) break;
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

void TRun::RunItem(int32_t index) {
    TItemTry item;
    if (!PrepareItem(index, item)) return;
    StartWhenFree(std::move(item));
    StartRetries();
}

void TRun::RunItems(int32_t limit) {
    cancelled_ = false;
    skipped_ = false;
    for (int32_t index = 0; index < ItemCount() && index < limit && !StopStarting(); ++index)
        RunItem(index);
    // The last starts are waited for and their retries started; what Skip or Cancel leaves
    // running is not.
    while (!cancelled_ && (!running_.empty() || (!retries_.empty() && !Halted()))) {
        if (!retries_.empty() && !Halted())
            StartRetries();
        else if (!WaitForOneEnd())
            break;
    }
    for (TStartedItem& started : running_)
        FinishItem(started);
    running_.clear();
    if (progressShown_) host_.ProgressClose();
    progressShown_ = false;
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

} // namespace

bool ParseArguments(const TvxCommandLine& tokens, TLauncherHost& host) {
    const int32_t count = tokens.Count() - 1;
    for (int32_t i = 1; i <= count; ++i) {
        const std::string& arg = tokens.Strings(i);
        // As Explorer passes the files of Send To and of a drop on a shortcut: every
        // argument after /A is an item, whatever it looks like, split as the system splits
        // the arguments of the programs it starts.
        if (IsSwitch(arg) && SwitchLetter(arg) == 'A') {
            ItemArguments = true;
            for (std::string& item : SplitArguments(tokens.TextAfter(i)))
                RunSettings.Items.push_back(std::move(item));
            return true;
        }
        if (IsSwitch(arg)) {
            ApplySwitch(arg, RunSettings);
            continue;
        }
        if (count >= 2) {
            host.ShowUsage();
        } else {
            TStartCommand open;
            open.shellExecute = true;
            open.parameters = arg;
            open.noProgram = true;
            open.window = RunSettings.Window;
            open.priority = RunSettings.Priority;
            if (TProcess process = host.Start(open)) host.CloseProcess(process);
        }
        return false;
    }
    return true;
}

std::string UnquoteItem(const std::string& item) {
    const std::string trimmed = Trim(item);
    if (trimmed.size() < 2 || trimmed.front() != '"' || trimmed.back() != '"' ||
        trimmed.find('"', 1) != trimmed.size() - 1)
        return item;
    return trimmed.substr(1, trimmed.size() - 2);
}

void LoadItems(const TOptions& settings, TvxStringList& items) {
    uint32_t codePage = 0;
    ReadEncodingName(settings.Encoding, codePage); // a name unknown here ends the run before
    if (PathExists(settings.List)) items.LoadFromFile(settings.List, codePage);
    for (int32_t i = 0; i < items.Count(); ++i)
        if (items.Strings(i).find('"') != std::string::npos)
            items.Put(i, UnquoteItem(items.Strings(i)));
    // A list is taken as written; the shell leaves wildcards on the command line to the
    // program.
    for (const std::string& item : settings.Items)
        for (std::string& name : ExpandWildcards(UnquoteItem(item)))
            items.Add(std::move(name));
}

std::vector<std::string> PreviewCommands(TLauncherHost& host, const TOptions& settings,
                                         int32_t limit) {
    std::vector<std::string> commands;
    TRun(host, settings, &commands).RunItems(limit);
    return commands;
}

uint32_t RunList(TLauncherHost& host) {
    if (Interactive && !host.EditSettingsDialog(RunSettings)) return 0;
    const bool countsFailures = RunSettings.Halt != NoHalt;
    uint32_t codePage = 0;
    if (!ReadEncodingName(RunSettings.Encoding, codePage)) {
        host.ShowUnknownEncoding(RunSettings.Encoding);
        return countsFailures ? RunNotDoneStatus : UnknownEncodingStatus;
    }
    // A batch that counts its failures would fail every item with empty groups.
    if (countsFailures && !ExpressionCompiles(RunSettings)) return RunNotDoneStatus;
    // /D without a file: the commands are shown first, and Cancel ends here.
    if (Preview && PreviewFile.empty() &&
        !host.ConfirmCommands(PreviewCommands(host, RunSettings, INT32_MAX)))
        return 0;
    RunSettings.GUI = std::clamp(RunSettings.GUI, 0, 3);
    RunSettings.Jobs = std::clamp(RunSettings.Jobs, 1, MaxJobs);
    RunSettings.Retries = std::clamp(RunSettings.Retries, 0, MaxRetries);
    std::vector<std::string> preview;
    const bool previewing = !PreviewFile.empty();
    if (!previewing && !RunSettings.OutputFolder.empty()) MakeFolder(RunSettings.OutputFolder);
    TRun run(host, RunSettings, previewing ? &preview : nullptr);
    run.ShowProgress();
    run.RunItems(INT32_MAX);
    if (previewing) WritePreview(PreviewFile, preview);
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

void SplitQuoted(std::string_view text, char separator, TvxStringList& list) {
    list.Clear();
    size_t pos = 0;
    while (pos < text.size()) {
        bool quoted = false;
        const size_t start = pos;
        while (pos < text.size() && (quoted || text[pos] != separator)) {
            if (text[pos] == '"') quoted = !quoted;
            ++pos;
        }
        list.Add(std::string(text.substr(start, pos - start)));
        if (pos < text.size()) ++pos; // step past the separator
    }
}

std::string SubstituteGroups(std::string_view pattern, const TvxRegExpr& expression) {
    std::string result;
    for (size_t pos = 0; pos < pattern.size();) {
        if (pattern[pos] != '$') {
            result += pattern[pos++];
            continue;
        }
        int64_t group = 0;
        for (++pos; pos < pattern.size() && pattern[pos] >= '0' && pattern[pos] <= '9'; ++pos)
            group = std::min<int64_t>(group * 10 + (pattern[pos] - '0'), TvxRegExpr::GroupSlots);
        result += expression.MatchText(int32_t(group)); // no such group gives empty text
    }
    return result;
}

namespace {
bool HoldsBlank(std::string_view text) {
    return text.find_first_of(" \t") != std::string_view::npos;
}

// The text in double quotes, read back as the one argument it is: backslashes before the
// closing quote are doubled, or the started program's C runtime would take the last of
// them for an escaped quote that swallows the rest of the command.
std::string WrapInQuotes(std::string_view text) {
    size_t backslashes = 0;
    while (backslashes < text.size() && text[text.size() - 1 - backslashes] == '\\')
        ++backslashes;
    std::string quoted = "\"";
    quoted += text;
    quoted.append(backslashes, '\\');
    quoted += '"';
    return quoted;
}
} // namespace

std::string QuoteIfBlank(std::string_view text) {
    std::string trimmed = Trim(text);
    // A text of blanks only stays empty: there is nothing to quote.
    if (trimmed.empty() || trimmed.front() == '"' || !HoldsBlank(text)) return trimmed;
    return WrapInQuotes(trimmed);
}

std::string QuoteProgram(std::string_view program) {
    if (program.empty() || program.front() == '"' || !HoldsBlank(program))
        return std::string(program);
    return WrapInQuotes(program);
}

std::string CreateProcessCommand(const std::string& program, const std::string& parameters) {
    return Trim(QuoteProgram(Trim(ExpandEnvironment(Trim(program)))) + " " +
                ExpandEnvironment(parameters));
}

TShellCommand ShellCommand(const std::string& program, const std::string& parameters,
                           bool noProgram) {
    return {ExpandEnvironment(noProgram ? parameters : program),
            noProgram ? std::string() : ExpandEnvironment(parameters)};
}

std::string StarterCommand(bool shellExecute, const std::string& program,
                           const std::string& parameters, bool noProgram) {
    if (!shellExecute) return CreateProcessCommand(program, parameters);
    const TShellCommand shell = ShellCommand(program, parameters, noProgram);
    return shell.arguments.empty() ? shell.file : shell.file + " " + shell.arguments;
}

bool CanPassWhole(std::string_view command) {
    return FitsUtf16Units(command, MaxCommandLine) && command.find('\0') == std::string_view::npos;
}

TAssociation SplitAssocTemplate(const TvxCommandLine& tokens) {
    TAssociation result;
    bool afterPlaceholder = false;
    for (int32_t i = 0; i < tokens.Count(); ++i) {
        const std::string token = ExpandEnvironment(tokens.Strings(i));
        if (i == 0) {
            result.program = token;
            continue;
        }
        if (token.size() >= 2 && token[0] == '%') {
            if (token[1] == '1') {
                afterPlaceholder = true;
                continue;
            }
            if (token[1] == '*' || (token[1] >= '0' && token[1] <= '9')) continue;
        }
        (afterPlaceholder ? result.end : result.begin) += ' ' + QuoteIfBlank(token);
    }
    result.begin = Trim(result.begin);
    result.end = Trim(result.end);
    return result;
}
