#include "zemrunSwitches.h"

#include "../foundation/vxStrUtils.h"
#include "../settings/zemrunProjects.h"
#include "zemrunGlobal.h"

#include <algorithm>
#include <string_view>

namespace {
// One switch: its name, a letter or a word, and what its value does to the settings.
struct TSwitch {
    const char* name;
    void (*apply)(const std::string& value, TOptions& settings);
};

// The letters, then the words. A switch whose name, up to its first colon, is one of the
// words in any case is that switch; every other is known by its letter, the second
// character, and takes everything from the fourth on as its value. Letters not here are
// ignored; /A, which ends the switches, is read before them.
constexpr TSwitch Switches[] = {
    {"B", [](const std::string& value, TOptions& settings) { settings.BParam = value; }},
    {"C",
     [](const std::string& value, TOptions& settings) { settings.Encoding = StripQuotes(value); }},
    {"D",
     [](const std::string& value, TOptions&) {
         Preview = true;
         PreviewFile = StripQuotes(value);
     }},
    {"E", [](const std::string& value, TOptions& settings) { settings.Eparam = value; }},
    {"F", [](const std::string& value,
             TOptions& settings) { settings.FirstPause = ReadInteger(value); }},
    {"G", [](const std::string& value, TOptions& settings) { settings.GUI = ReadInteger(value); }},
    // /H alone, or less than 0: never stops.
    {"H", [](const std::string& value,
             TOptions& settings) { settings.Halt = std::max(ReadInteger(value), 0); }},
    {"I", [](const std::string&, TOptions&) { Interactive = true; }},
    {"J",
     [](const std::string& value, TOptions& settings) { Projects().LoadProject(value, settings); }},
    {"K",
     [](const std::string& value, TOptions& settings) { settings.JobLog = StripQuotes(value); }},
    {"L", [](const std::string& value, TOptions& settings) { settings.List = StripQuotes(value); }},
    {"M",
     [](const std::string& value, TOptions& settings) { settings.Window = ReadInteger(value); }},
    {"N", [](const std::string& value, TOptions& settings) { settings.Jobs = ReadInteger(value); }},
    {"O",
     [](const std::string& value, TOptions& settings) { settings.Priority = ReadInteger(value); }},
    {"P", [](const std::string&, TOptions& settings) { settings.WaitClose = true; }},
    {"R", [](const std::string& value, TOptions& settings) { settings.RegExp = value; }},
    {"S", [](const std::string&, TOptions& settings) { settings.ShellExecute = true; }},
    {"T",
     [](const std::string& value, TOptions& settings) { settings.TimeLimit = ReadInteger(value); }},
    {"U", [](const std::string& value,
             TOptions& settings) { settings.OutputFolder = StripQuotes(value); }},
    {"W", [](const std::string&, TOptions& settings) { settings.WaitOpen = !settings.WaitOpen; }},
    {"X", [](const std::string& value, TOptions& settings) { settings.Exe = StripQuotes(value); }},
    {"Y",
     [](const std::string& value, TOptions& settings) { settings.Retries = ReadInteger(value); }},
    {"Z", [](const std::string&, TOptions& settings) { settings.Resume = true; }},
    {"ITEMS", [](const std::string& value,
                 TOptions& settings) { settings.ItemsPerCommand = ReadInteger(value); }},
};

bool IsSwitch(const std::string& arg) {
    return !arg.empty() && (arg[0] == '/' || arg[0] == '-');
}

char SwitchLetter(const std::string& arg) {
    const char c = arg.size() > 1 ? arg[1] : '\0';
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

void ApplySwitch(const std::string& arg, TOptions& settings) {
    const size_t colon = arg.find(':');
    const std::string_view name =
        std::string_view(arg).substr(1, colon == std::string::npos ? colon : colon - 1);
    for (const TSwitch& word : Switches)
        if (word.name[1] != '\0' && SameTextAnsi(name, word.name)) {
            word.apply(colon == std::string::npos ? std::string() : arg.substr(colon + 1),
                       settings);
            return;
        }
    const char letter = SwitchLetter(arg);
    for (const TSwitch& one : Switches)
        if (one.name[0] == letter && one.name[1] == '\0') {
            // Everything from the fourth character on; the third is not examined.
            one.apply(arg.size() > 3 ? arg.substr(3) : std::string(), settings);
            return;
        }
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
