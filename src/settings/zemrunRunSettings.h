#pragma once
// The run settings: the record that switches, projects, the main dialog and the launch
// loop all read and write.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TOptions {
    std::string List;
    std::string Exe;
    std::string BParam;
    std::string Eparam;
    std::string RegExp;
    bool WaitOpen;
    bool WaitClose;
    bool ShellExecute;
    int32_t FirstPause;
    int32_t GUI;
    int32_t Window;
    int32_t Priority;
    int32_t Jobs;             // programs waited for at once (with wait close), 1..MaxJobs in a run
    int32_t JobsPercent;      // above 0: Jobs is that share of the logical processors, counted
                              // when the run starts (/N:100%)
    std::string JobLog;       // the file that gets a line per item; empty = none
    bool Resume;              // leave out the items the job log has as done
    std::string Encoding;     // the list's encoding where no mark tells it; empty = detected
    int32_t TimeLimit;        // seconds a program may run before it is ended; 0 or less = none
    int32_t Retries;          // more tries of a failed item, 0..MaxRetries in a run
    int32_t Halt;             // failed items after which nothing more starts, 0 = never;
                              // NoHalt: the exit status is not the count of failures
    std::string OutputFolder; // where each program's output is kept; empty = nowhere
    int32_t ItemsPerCommand;  // consecutive items that one command takes; below 2 = one
    int32_t ShowFailures;     // 1: the end of a run with failed items shows them; 0: not;
                              // ShowFailuresByEntry: as the way the run was asked for decides
    std::string WatchFolder;  // the folder whose arriving files are the items; empty = a list
    int32_t SettleTime;       // seconds a watched file stays unchanged before it is complete
    std::string Match;        // the watched names: wildcard patterns, ';' between, '!' to leave out
    bool Subfolders;          // the watch takes the files of the folders below too
    std::string DoneFolder;   // where a watched file goes once its command succeeded; empty = stays
    std::string FailedFolder; // where it goes once its command failed for good; empty = stays
    // Starts only when the machine has room: at least this much physical memory available
    // (bytes; 0 = no rule), the processors less busy than this (percent; NoLoadLimit = no
    // rule), and this long since the last start (milliseconds).
    uint64_t MemFree;
    int32_t LoadLimit;
    int32_t Delay;
    // NAME=value of each variable that every started program gets besides this process's
    // environment; an empty value takes the variable away.
    std::vector<std::string> Environment;
    // Items given on the command line after /A, or dropped on the main dialog: run after
    // the list file's, never stored in a project.
    std::vector<std::string> Items;
};

// 62 programs and the Skip and Cancel events fill one wait for many objects.
constexpr int32_t MaxJobs = 62;
constexpr int32_t MaxRetries = 100;
constexpr int32_t NoHalt = -1;
constexpr int32_t ShowFailuresByEntry = -1;
constexpr int32_t DefaultSettleTime = 5;
constexpr int32_t NoLoadLimit = -1;

void SetDefaultOptions(TOptions& options);

// The values of the rules that hold starts back until the machine has room, as switches,
// project keys and the main dialog write them. A text that is no such value leaves the
// settings as they were.
// The jobs: a count ("8"), or a share of the logical processors ("100%", "50%", "200%").
void ReadJobs(std::string_view text, TOptions& settings);
std::string JobsText(const TOptions& settings);
// The jobs of a run on that many processors: the share rounded down, at least one.
int32_t JobsOn(const TOptions& settings, int32_t processors);
// A size in bytes: "1048576", "500M", "1.5G", "2GB"; K, M, G and T count 1024s, in any case.
// A size beyond what 64 bits hold is the largest there is.
std::optional<uint64_t> ReadSize(std::string_view text);
// "2G", "500M" where the size is a whole number of them, else the bytes.
std::string SizeText(uint64_t bytes);
// Seconds, fractions allowed ("0.5", "2"), as milliseconds; never below 0.
std::optional<int32_t> ReadSeconds(std::string_view text);
std::string SecondsText(int32_t milliseconds);
// NAME=value: a name without = and not empty, a value (empty: the variable is taken away).
bool IsEnvironmentEntry(std::string_view entry);
// The entries one a line, as the project key and the main dialog hold them; those that are
// none are left out.
std::string EnvironmentText(const std::vector<std::string>& entries);
std::vector<std::string> ReadEnvironment(std::string_view text);

// The commands that settings would give, for a preview.
using TPreviewCommands = std::function<std::vector<std::string>(const TOptions& settings)>;
