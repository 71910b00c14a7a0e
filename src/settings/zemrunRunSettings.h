#pragma once
// The run settings: the record that switches, projects, the main dialog and the launch
// loop all read and write.

#include <cstdint>
#include <functional>
#include <string>
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

void SetDefaultOptions(TOptions& options);

// The commands that settings would give, for a preview.
using TPreviewCommands = std::function<std::vector<std::string>(const TOptions& settings)>;
