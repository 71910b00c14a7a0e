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
std::string SwitchValue(const std::string& arg) { return arg.size() > 3 ? arg.substr(3) : std::string(); }

void ApplySwitch(const std::string& arg, TOptions& settings) {
    const std::string value = SwitchValue(arg);
    switch (SwitchLetter(arg)) {
    case 'B': settings.BParam = value; break;
    case 'C': settings.Encoding = StripQuotes(value); break;
    case 'D':
        Preview = true;
        PreviewFile = StripQuotes(value);
        break;
    case 'E': settings.Eparam = value; break;
    case 'F': settings.FirstPause = ReadInteger(value); break;
    case 'G': settings.GUI = ReadInteger(value); break;
    case 'I': Interactive = true; break;
    case 'J': Projects().LoadProject(value, settings); break;
    case 'K': settings.JobLog = StripQuotes(value); break;
    case 'L': settings.List = StripQuotes(value); break;
    case 'M': settings.Window = ReadInteger(value); break;
    case 'N': settings.Jobs = ReadInteger(value); break;
    case 'O': settings.Priority = ReadInteger(value); break;
    case 'P': settings.WaitClose = true; break;
    case 'R': settings.RegExp = value; break;
    case 'S': settings.ShellExecute = true; break;
    case 'W': settings.WaitOpen = !settings.WaitOpen; break;
    case 'X': settings.Exe = StripQuotes(value); break;
    case 'Z': settings.Resume = true; break;
    default: break; // other letters are ignored
    }
}

bool IsSwitch(const std::string& arg) { return !arg.empty() && (arg[0] == '/' || arg[0] == '-'); }

// The association cache of one run: extension texts with their split templates.
class TAssociationCache {
public:
    ~TAssociationCache() {
        for (int32_t i = 0; i < entries_.Count(); ++i) delete entries_.Objects(i);
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

std::string BuildParameters(const TOptions& settings, const TAssociation& association, const std::string& item) {
    return Trim(settings.BParam + " " + association.begin + " " + QuoteIfBlank(item) + " " + settings.Eparam +
                " " + association.end);
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
std::string BuildParameters(const TOptions& settings, const TAssociation& association, const std::string& item,
                            TvxRegExpr& expression) {
    expression.Exec(item); // without a match every group is empty
    return SubstitutedPart(settings.BParam, expression) + " " + association.begin + " " + QuoteIfBlank(item) +
           " " + SubstitutedPart(settings.Eparam, expression) + " " + association.end;
}

void WaitUntilProgramRunning(TLauncherHost& host, TProcess process, const std::string& exe) {
    uint32_t waited = 0;
    while (!SkipFlag) {
        if (ProgressShown) PollProgress(host);
        host.Sleep(WaitOpenPollMilliseconds);
        waited += WaitOpenPollMilliseconds;
        if (host.IsProgramRunning(exe) != 0) break;
        // A program that has ended, or a name that never shows, must not keep the run
        // waiting, with the progress window as without it.
        if (host.ProcessEnded(process) || waited >= WaitOpenLimitMilliseconds) break;
    }
}

void WaitOpenAfterStart(TLauncherHost& host, TProcess process, const TOptions& settings) {
    if (!settings.WaitOpen) return;
    if (!SkipFlag) host.WaitForInputIdle(process, InputIdleMilliseconds);
    if (!settings.Exe.empty()) WaitUntilProgramRunning(host, process, settings.Exe);
    if (ProgressShown) PollProgress(host);
}

// Asked by a long search every few thousand steps: Cancel ends it and the run, Skip ends
// it alone, and the item then starts with empty groups.
bool SearchStopRequested(void* context) {
    auto& host = *static_cast<TLauncherHost*>(context);
    if (host.CancelSignalled()) {
        CancelFlag = SkipFlag = true;
        return true;
    }
    return host.TakeSkipSignal();
}

// An item that was started, or whose start failed, until the loop is done with it.
struct TStartedItem {
    TProcess process;
    TJobRecord record;
    uint64_t startedAt;
};

// What one run carries from item to item.
struct TRun {
    TLauncherHost& host;
    TvxRegExpr* expression;
    std::unique_ptr<TJobLog> log;
    std::vector<std::string>* preview; // collects the commands instead of starting them
    TAssociationCache cache;
    std::vector<TStartedItem> running; // started with more than one job, end not yet seen
};

// The loop is done with the item: its line goes to the job log, with its run time and
// exit code when its end was waited for and came, and its process handle is closed.
void FinishItem(TRun& run, TStartedItem& started) {
    if (run.log) {
        if (started.process && RunSettings.WaitClose && run.host.ProcessEnded(started.process)) {
            started.record.seconds = SecondsText(run.host.Milliseconds() - started.startedAt);
            started.record.exitCode = std::to_string(run.host.ExitCode(started.process));
        }
        run.log->Write(started.record);
    }
    if (started.process) run.host.CloseProcess(started.process);
}

// Waits until one of the running items has ended; false when Skip or Cancel ended the wait.
bool WaitForOneEnd(TRun& run) {
    std::vector<TProcess> processes;
    for (const TStartedItem& started : run.running) processes.push_back(started.process);
    const int32_t ended = run.host.WaitAnyProcessEnd(processes);
    if (ProgressShown) PollProgress(run.host);
    if (ended < 0 || size_t(ended) >= run.running.size()) return false;
    FinishItem(run, run.running[size_t(ended)]);
    run.running.erase(run.running.begin() + ended);
    return true;
}

void RunItem(TRun& run, int32_t index) {
    TLauncherHost& host = run.host;
    const TOptions& settings = RunSettings;
    TvxStringList& items = ItemList();
    const std::string& item = items.Strings(index);
    const bool hasProgram = !settings.Exe.empty();

    TAssociation association;
    if (hasProgram || settings.ShellExecute)
        association.program = settings.Exe;
    else
        association = run.cache.Lookup(PathExtension(item), host);
    if (!association.program.empty() && association.program == item) association.program.clear();

    const std::string parameters = run.expression ? BuildParameters(settings, association, item, *run.expression)
                                                  : BuildParameters(settings, association, item);
    if (CancelFlag) return; // cancelled during the search
    const bool noProgram = !hasProgram && association.program.empty();
    // The command's text serves only the job log and the preview.
    const std::string command = run.log || run.preview
                                    ? StarterCommand(settings.ShellExecute, association.program, parameters, noProgram)
                                    : std::string();
    if (settings.Resume && run.log && run.log->Done(command)) return;
    if (run.preview) {
        run.preview->push_back(command);
        return;
    }
    // With more than one job, a start waits for a free slot; Skip lets it start at once.
    while (settings.WaitClose && run.running.size() >= size_t(settings.Jobs) && !CancelFlag)
        if (!WaitForOneEnd(run)) break;
    if (CancelFlag) return;

    TStartedItem started{nullptr, {item, LocalTimeText(host.LocalTime()), "", "", 0, command}, host.Milliseconds()};
    started.process = host.Start(settings.ShellExecute, association.program, parameters, noProgram);
    if (!started.process) started.record.error = host.StartError();

    if (ProgressShown) {
        host.ProgressSetText(parameters);
        host.ProgressSetPos(index);
        PollProgress(host);
    }
    if (started.process) WaitOpenAfterStart(host, started.process, settings);
    if (started.process && settings.WaitClose && settings.Jobs > 1) {
        run.running.push_back(std::move(started));
    } else {
        if (started.process && settings.WaitClose) host.WaitProcessEnd(started.process);
        FinishItem(run, started);
    }
    if (ProgressShown) PollProgress(host);
    // A negative pause would be an endless sleep; it counts as none.
    if (index == 0 && !SkipFlag && !settings.WaitClose && items.Count() > 1 && settings.FirstPause > 0)
        host.Sleep(uint32_t(settings.FirstPause));
}

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

// The items' commands, one a line, to the preview file.
void WritePreview(const std::vector<std::string>& commands) {
    std::string text;
    for (const std::string& command : commands) text += command + "\r\n";
    TvxFileWriter file(PreviewFile);
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
            for (++i; i <= count; ++i) RunSettings.Items.push_back(tokens.Strings(i));
            return true;
        }
        if (IsSwitch(arg)) {
            ApplySwitch(arg, RunSettings);
            continue;
        }
        if (count >= 2) {
            host.ShowUsage();
        } else if (TProcess process = host.Start(true, std::string(), arg, true)) {
            host.CloseProcess(process);
        }
        return false;
    }
    return true;
}

void PollProgress(TLauncherHost& host) {
    CancelFlag = host.CancelSignalled();
    if (CancelFlag) {
        SkipFlag = true;
        return;
    }
    SkipFlag = host.TakeSkipSignal();
}

void LoadItemList() {
    uint32_t codePage = 0;
    ReadEncodingName(RunSettings.Encoding, codePage); // a name unknown here ends the run before
    if (PathExists(RunSettings.List)) ItemList().LoadFromFile(RunSettings.List, codePage);
    for (const std::string& item : RunSettings.Items) ItemList().Add(item);
}

std::vector<std::string> PreviewCommands(TLauncherHost& host, const TOptions& settings, int32_t limit) {
    // The loop reads the run settings and the items: both are lent for the preview.
    struct TLentSettings {
        const TOptions saved = RunSettings;
        ~TLentSettings() {
            RunSettings = saved;
            ItemList().Clear();
        }
    } lent;
    RunSettings = settings;
    ItemList().Clear();
    LoadItemList();
    std::vector<std::string> commands;
    const std::unique_ptr<TvxRegExpr> expression = MakeExpression(settings);
    TRun run{host, expression.get(), OpenJobLog(settings, TJobLog::ReadOnly), &commands, {}, {}};
    CancelFlag = false;
    for (int32_t index = 0; index < ItemList().Count() && index < limit; ++index) RunItem(run, index);
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
    if (Preview && PreviewFile.empty() && !host.ConfirmCommands(PreviewCommands(host, RunSettings, INT32_MAX)))
        return 0;
    std::unique_ptr<TvxRegExpr> expression = MakeExpression(RunSettings);
    LoadItemList();

    TOptions& settings = RunSettings;
    const int32_t itemCount = ItemList().Count();
    settings.GUI = std::clamp(settings.GUI, 0, 3);
    settings.Jobs = std::clamp(settings.Jobs, 1, MaxJobs);
    std::vector<std::string> preview;
    const bool previewing = !PreviewFile.empty();
    TRun run{host, expression.get(), OpenJobLog(settings, previewing ? TJobLog::ReadOnly : TJobLog::Append),
             previewing ? &preview : nullptr, {}, {}};

    ProgressShown = !previewing && (settings.GUI == 3 || (settings.GUI == 2 && settings.WaitClose) ||
                                    (settings.GUI == 1 && itemCount > 1));
    // A window that cannot be shown lets the run go on without it.
    if (ProgressShown && !host.ProgressStart()) ProgressShown = false;
    if (ProgressShown) {
        host.ProgressSetRange(0, itemCount);
        host.ProgressSetPos(0);
        host.ProgressSetText(std::string());
        PollProgress(host);
        // With Skip and Cancel at hand a search may take as long as the user lets it;
        // without them the step bound ends it.
        if (expression) {
            expression->SetStepLimit(0);
            expression->SetStopCheck(SearchStopRequested, &host);
        }
    }

    CancelFlag = false;
    SkipFlag = false;
    for (int32_t index = 0; index < itemCount && !CancelFlag; ++index) RunItem(run, index);
    // The last starts are waited for; what Skip or Cancel leaves running is not.
    while (!run.running.empty() && !CancelFlag)
        if (!WaitForOneEnd(run)) break;
    for (TStartedItem& started : run.running) FinishItem(run, started);
    if (ProgressShown) host.ProgressClose();
    if (previewing) WritePreview(preview);
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
bool HoldsBlank(std::string_view text) { return text.find_first_of(" \t") != std::string_view::npos; }

// The text in double quotes, read back as the one argument it is: backslashes before the
// closing quote are doubled, or the started program's C runtime would take the last of
// them for an escaped quote that swallows the rest of the command.
std::string WrapInQuotes(std::string_view text) {
    size_t backslashes = 0;
    while (backslashes < text.size() && text[text.size() - 1 - backslashes] == '\\') ++backslashes;
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
    if (program.empty() || program.front() == '"' || !HoldsBlank(program)) return std::string(program);
    return WrapInQuotes(program);
}

std::string CreateProcessCommand(const std::string& program, const std::string& parameters) {
    return Trim(QuoteProgram(Trim(ExpandEnvironment(Trim(program)))) + " " + ExpandEnvironment(parameters));
}

TShellCommand ShellCommand(const std::string& program, const std::string& parameters, bool noProgram) {
    return {ExpandEnvironment(noProgram ? parameters : program), noProgram ? std::string() : ExpandEnvironment(parameters)};
}

std::string StarterCommand(bool shellExecute, const std::string& program, const std::string& parameters,
                           bool noProgram) {
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
