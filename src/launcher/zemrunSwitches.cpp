#include "zemrunSwitches.h"

#include "../foundation/vxStrUtils.h"
#include "../resources/zemrunSwitchForms.h"
#include "../settings/zemrunProjects.h"

#include <algorithm>
#include <string_view>

namespace {
// What each switch does to the request, by its name: Apply<name>(value, request).
using TValue = const std::string&;
void ApplyL(TValue value, TRunRequest& request) {
    request.settings.List = StripQuotes(value);
}
void ApplyX(TValue value, TRunRequest& request) {
    request.settings.Exe = StripQuotes(value);
}
void ApplyB(TValue value, TRunRequest& request) {
    request.settings.BParam = value;
}
void ApplyE(TValue value, TRunRequest& request) {
    request.settings.Eparam = value;
}
void ApplyW(TValue, TRunRequest& request) {
    request.settings.WaitOpen = !request.settings.WaitOpen;
}
void ApplyS(TValue, TRunRequest& request) {
    request.settings.ShellExecute = true;
}
void ApplyP(TValue, TRunRequest& request) {
    request.settings.WaitClose = true;
}
void ApplyR(TValue value, TRunRequest& request) {
    request.settings.RegExp = value;
}
void ApplyG(TValue value, TRunRequest& request) {
    request.settings.GUI = ReadInteger(value);
}
void ApplyI(TValue, TRunRequest& request) {
    request.interactive = true;
}
void ApplyF(TValue value, TRunRequest& request) {
    request.settings.FirstPause = ReadInteger(value);
}
void ApplyM(TValue value, TRunRequest& request) {
    request.settings.Window = ReadInteger(value);
}
void ApplyO(TValue value, TRunRequest& request) {
    request.settings.Priority = ReadInteger(value);
}
void ApplyJ(TValue value, TRunRequest& request) {
    Projects().LoadProject(value, request.settings);
    request.project = value;
}
// A count, or a share of the logical processors: /N:100%.
void ApplyN(TValue value, TRunRequest& request) {
    ReadJobs(value, request.settings);
}
void ApplyK(TValue value, TRunRequest& request) {
    request.settings.JobLog = StripQuotes(value);
}
void ApplyZ(TValue, TRunRequest& request) {
    request.settings.Resume = true;
}
void ApplyD(TValue value, TRunRequest& request) {
    request.preview = true;
    request.previewFile = StripQuotes(value);
}
void ApplyC(TValue value, TRunRequest& request) {
    request.settings.Encoding = StripQuotes(value);
}
void ApplyT(TValue value, TRunRequest& request) {
    request.settings.TimeLimit = ReadInteger(value);
}
void ApplyY(TValue value, TRunRequest& request) {
    request.settings.Retries = ReadInteger(value);
}
// /H alone, or less than 0: never stops.
void ApplyH(TValue value, TRunRequest& request) {
    request.settings.Halt = std::max(ReadInteger(value), 0);
}
void ApplyU(TValue value, TRunRequest& request) {
    request.settings.OutputFolder = StripQuotes(value);
}
void ApplyITEMS(TValue value, TRunRequest& request) {
    request.settings.ItemsPerCommand = ReadInteger(value);
}
void ApplyFAILURES(TValue value, TRunRequest& request) {
    request.settings.ShowFailures = value.empty() || ReadInteger(value) != 0 ? 1 : 0;
}
void ApplyWATCH(TValue value, TRunRequest& request) {
    request.settings.WatchFolder = StripQuotes(value);
}
// Seconds from 0 to 999999; a text that is no such number leaves the setting as it was.
void ApplySETTLE(TValue value, TRunRequest& request) {
    const std::string seconds = Trim(value);
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!seconds.empty() && seconds.size() <= 6 &&
        std::all_of(seconds.begin(), seconds.end(), digit))
        request.settings.SettleTime = ReadInteger(seconds);
}
void ApplyMATCH(TValue value, TRunRequest& request) {
    request.settings.Match = StripQuotes(value);
}
void ApplySUBFOLDERS(TValue value, TRunRequest& request) {
    request.settings.Subfolders = value.empty() || ReadInteger(value) != 0;
}
void ApplyUNWATCH(TValue value, TRunRequest& request) {
    request.unwatchFolder = StripQuotes(value);
}
void ApplyDONE(TValue value, TRunRequest& request) {
    request.settings.DoneFolder = StripQuotes(value);
}
void ApplyFAILED(TValue value, TRunRequest& request) {
    request.settings.FailedFolder = StripQuotes(value);
}
// A size that is none leaves the rule as it was.
void ApplyMEMFREE(TValue value, TRunRequest& request) {
    if (const auto bytes = ReadSize(value)) request.settings.MemFree = *bytes;
}
// 0 to 100; a number above is 100, a text that is none leaves the rule as it was.
void ApplyLOAD(TValue value, TRunRequest& request) {
    const std::string percent = Trim(value);
    if (!percent.empty() &&
        std::all_of(percent.begin(), percent.end(), [](char c) { return c >= '0' && c <= '9'; }))
        request.settings.LoadLimit = std::min(ReadInteger(percent.substr(0, 6)), 100);
}
void ApplyDELAY(TValue value, TRunRequest& request) {
    if (const auto milliseconds = ReadSeconds(value)) request.settings.Delay = *milliseconds;
}
// Each one more variable; one that is no NAME=value is left out.
void ApplySET(TValue value, TRunRequest& request) {
    if (IsEnvironmentEntry(value)) request.settings.Environment.push_back(value);
}
void ApplySCHEDULE(TValue value, TRunRequest& request) {
    request.schedule = value;
}
void ApplyINSTALL(TValue, TRunRequest& request) {
    request.setup = TSetup::Install;
}
void ApplyUNINSTALL(TValue, TRunRequest& request) {
    request.setup = TSetup::Uninstall;
}
// The arguments after it are items; ParseArguments takes them.
void ApplyA(TValue, TRunRequest& request) {
    request.itemArguments = true;
}

struct TSwitch {
    const char* name;
    void (*apply)(TValue value, TRunRequest& request);
};

// A switch whose name, up to its first colon, is one of the words here in any case is
// that switch; every other is known by its letter, the second character, and takes
// everything from the fourth on as its value. Letters not here are ignored.
#define ZEMRUN_SWITCH_ROW(name, form) {#name, Apply##name},
constexpr TSwitch Switches[] = {ZEMRUN_SWITCH_FORMS(ZEMRUN_SWITCH_ROW)};
#undef ZEMRUN_SWITCH_ROW

bool IsSwitch(const std::string& arg) {
    return !arg.empty() && (arg[0] == '/' || arg[0] == '-');
}

char SwitchLetter(const std::string& arg) {
    const char c = arg.size() > 1 ? arg[1] : '\0';
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

void ApplySwitch(const std::string& arg, TRunRequest& request) {
    const size_t colon = arg.find(':');
    const std::string_view name =
        std::string_view(arg).substr(1, colon == std::string::npos ? colon : colon - 1);
    for (const TSwitch& word : Switches)
        if (word.name[1] != '\0' && SameTextAnsi(name, word.name)) {
            word.apply(colon == std::string::npos ? std::string() : arg.substr(colon + 1), request);
            return;
        }
    const char letter = SwitchLetter(arg);
    for (const TSwitch& one : Switches)
        if (one.name[0] == letter && one.name[1] == '\0') {
            // Everything from the fourth character on; the third is not examined.
            one.apply(arg.size() > 3 ? arg.substr(3) : std::string(), request);
            return;
        }
}
} // namespace

std::optional<TRunRequest> ParseArguments(const TvxCommandLine& tokens, TLauncherSystem& system,
                                          TLauncherFace& face) {
    TRunRequest request;
    const int32_t count = tokens.Count() - 1;
    for (int32_t i = 1; i <= count; ++i) {
        const std::string& arg = tokens.Strings(i);
        if (IsSwitch(arg)) {
            ApplySwitch(arg, request);
            // As Explorer passes the files of Send To and of a drop on a shortcut: every
            // argument after /A is an item, whatever it looks like, split as the system
            // splits the arguments of the programs it starts.
            if (request.itemArguments) {
                for (std::string& item : SplitArguments(tokens.TextAfter(i)))
                    request.settings.Items.push_back(std::move(item));
                return request;
            }
            continue;
        }
        if (count >= 2) {
            face.ShowUsage();
        } else {
            TStartCommand open;
            open.shellExecute = true;
            open.parameters = arg;
            open.noProgram = true;
            open.window = request.settings.Window;
            open.priority = request.settings.Priority;
            if (const TProcess process = system.Start(open).process) system.CloseProcess(process);
        }
        return std::nullopt;
    }
    return request;
}
