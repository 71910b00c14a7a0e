#include "zemrunU.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"
#include "../settings/zemrunProjects.h"
#include "zemrunJobLog.h"

#include <algorithm>
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
    case 'W':
        settings.WaitOpen = !settings.WaitOpen;
        break;
    case 'X':
        settings.Exe = StripQuotes(value);
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

// An item that was started, or whose start failed, until the loop is done with it.
struct TStartedItem {
    TProcess process;
    TJobRecord record;
    uint64_t startedAt;
};

// The expression of the settings, compiled at its first search; none without one.
std::unique_ptr<TvxRegExpr> MakeExpression(const TOptions& settings) {
    if (settings.RegExp.empty()) return nullptr;
    auto expression = std::make_unique<TvxRegExpr>();
    expression->SetExpression(settings.RegExp);
    expression->SwitchModifier(3, false); // "." stops at line breaks
    return expression;
}

std::unique_ptr<TJobLog> OpenJobLog(const TOptions& settings, TJobLog::TUse use) {
    return settings.JobLog.empty() ? nullptr : std::make_unique<TJobLog>(settings.JobLog, use);
}

// One run over its settings and items: what it carries from item to item, the progress
// window's state and the Skip and Cancel that the user gave.
class TRun {
  public:
    // With preview, the commands are collected there instead of started.
    TRun(TLauncherHost& host, const TOptions& settings, std::vector<std::string>* preview)
        : host_(host), settings_(settings), preview_(preview),
          expression_(MakeExpression(settings)) {
        LoadItems(settings_, items_);
        log_ = OpenJobLog(settings_, preview ? TJobLog::ReadOnly : TJobLog::Append);
    }

    int32_t ItemCount() const { return items_.Count(); }
    // Shows the progress window where the progress mode asks for it and one can be shown.
    void ShowProgress();
    // Runs the first limit items, then waits for what still runs unless Skip or Cancel
    // ended that, and closes the progress window.
    void RunItems(int32_t limit);

  private:
    void PollProgress();
    static bool SearchStopRequested(void* context);
    void WaitUntilProgramRunning(TProcess process);
    void WaitOpenAfterStart(TProcess process);
    TAssociation ProgramOf(const std::string& item);
    std::string Parameters(const TAssociation& association, const std::string& item);
    void FinishItem(TStartedItem& started);
    bool WaitForOneEnd();
    void RunItem(int32_t index);

    TLauncherHost& host_;
    const TOptions settings_;
    std::vector<std::string>* const preview_;
    TvxStringList items_;
    const std::unique_ptr<TvxRegExpr> expression_;
    std::unique_ptr<TJobLog> log_;
    TAssociationCache cache_;
    std::vector<TStartedItem> running_; // started with more than one job, end not yet seen
    bool progressShown_ = false;
    bool cancelled_ = false;
    bool skipped_ = false;
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

// The loop is done with the item: its line goes to the job log, with its run time and
// exit code when its end was waited for and came, and its process handle is closed.
void TRun::FinishItem(TStartedItem& started) {
    if (log_) {
        if (started.process && settings_.WaitClose && host_.ProcessEnded(started.process)) {
            started.record.seconds = SecondsText(host_.Milliseconds() - started.startedAt);
            started.record.exitCode = std::to_string(host_.ExitCode(started.process));
        }
        log_->Write(started.record);
    }
    if (started.process) host_.CloseProcess(started.process);
}

// Waits until one of the running items has ended; false when Skip or Cancel ended the wait.
bool TRun::WaitForOneEnd() {
    std::vector<TProcess> processes;
    for (const TStartedItem& started : running_)
        processes.push_back(started.process);
    const int32_t ended = host_.WaitAnyProcessEnd(processes);
    PollProgress();
    if (ended < 0 || size_t(ended) >= running_.size()) return false;
    FinishItem(running_[size_t(ended)]);
    running_.erase(running_.begin() + ended);
    return true;
}

void TRun::RunItem(int32_t index) {
    const std::string& item = items_.Strings(index);
    const TAssociation association = ProgramOf(item);
    const std::string parameters = Parameters(association, item);
    if (cancelled_) return; // cancelled during the search
    const TStartCommand start{settings_.ShellExecute,
                              association.program,
                              parameters,
                              settings_.Exe.empty() && association.program.empty(),
                              settings_.Window,
                              settings_.Priority};
    // The command's text serves only the job log and the preview.
    const std::string command = log_ || preview_ ? StarterCommand(start.shellExecute, start.program,
                                                                  start.parameters, start.noProgram)
                                                 : std::string();
    if (settings_.Resume && log_ && log_->Done(command)) return;
    if (preview_) {
        preview_->push_back(command);
        return;
    }
    // With more than one job, a start waits for a free slot; Skip lets it start at once.
    while (settings_.WaitClose && running_.size() >= size_t(settings_.Jobs) && !cancelled_)
        if (!WaitForOneEnd()) break;
    if (cancelled_) return;

    TStartedItem started{TProcess(),
                         {item, LocalTimeText(host_.LocalTime()), "", "", 0, command},
                         host_.Milliseconds()};
    started.process = host_.Start(start);
    if (!started.process) started.record.error = host_.StartError();

    if (progressShown_) {
        host_.ProgressSetText(parameters);
        host_.ProgressSetPos(index);
        PollProgress();
    }
    if (started.process) WaitOpenAfterStart(started.process);
    if (started.process && settings_.WaitClose && settings_.Jobs > 1) {
        running_.push_back(std::move(started));
    } else {
        if (started.process && settings_.WaitClose) host_.WaitProcessEnd(started.process);
        FinishItem(started);
    }
    PollProgress();
    // A negative pause would be an endless sleep; it counts as none.
    if (index == 0 && !skipped_ && !settings_.WaitClose && ItemCount() > 1 &&
        settings_.FirstPause > 0)
        host_.Sleep(uint32_t(settings_.FirstPause));
}

void TRun::RunItems(int32_t limit) {
    cancelled_ = false;
    skipped_ = false;
    for (int32_t index = 0; index < ItemCount() && index < limit && !cancelled_; ++index)
        RunItem(index);
    // The last starts are waited for; what Skip or Cancel leaves running is not.
    while (!running_.empty() && !cancelled_)
        if (!WaitForOneEnd()) break;
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
        // argument after /A is an item, whatever it looks like.
        if (IsSwitch(arg) && SwitchLetter(arg) == 'A') {
            ItemArguments = true;
            for (++i; i <= count; ++i)
                RunSettings.Items.push_back(tokens.Strings(i));
            return true;
        }
        if (IsSwitch(arg)) {
            ApplySwitch(arg, RunSettings);
            continue;
        }
        if (count >= 2) {
            host.ShowUsage();
        } else if (TProcess process = host.Start({true, std::string(), arg, true,
                                                  RunSettings.Window, RunSettings.Priority})) {
            host.CloseProcess(process);
        }
        return false;
    }
    return true;
}

void LoadItems(const TOptions& settings, TvxStringList& items) {
    uint32_t codePage = 0;
    ReadEncodingName(settings.Encoding, codePage); // a name unknown here ends the run before
    if (PathExists(settings.List)) items.LoadFromFile(settings.List, codePage);
    for (const std::string& item : settings.Items)
        items.Add(item);
}

std::vector<std::string> PreviewCommands(TLauncherHost& host, const TOptions& settings,
                                         int32_t limit) {
    std::vector<std::string> commands;
    TRun(host, settings, &commands).RunItems(limit);
    return commands;
}

uint32_t RunList(TLauncherHost& host) {
    if (Interactive && !host.EditSettingsDialog(RunSettings)) return 0;
    uint32_t codePage = 0;
    if (!ReadEncodingName(RunSettings.Encoding, codePage)) {
        host.ShowUnknownEncoding(RunSettings.Encoding);
        return UnknownEncodingStatus;
    }
    // /D without a file: the commands are shown first, and Cancel ends here.
    if (Preview && PreviewFile.empty() &&
        !host.ConfirmCommands(PreviewCommands(host, RunSettings, INT32_MAX)))
        return 0;
    RunSettings.GUI = std::clamp(RunSettings.GUI, 0, 3);
    RunSettings.Jobs = std::clamp(RunSettings.Jobs, 1, MaxJobs);
    std::vector<std::string> preview;
    const bool previewing = !PreviewFile.empty();
    TRun run(host, RunSettings, previewing ? &preview : nullptr);
    run.ShowProgress();
    run.RunItems(INT32_MAX);
    if (previewing) WritePreview(PreviewFile, preview);
    return 0;
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
