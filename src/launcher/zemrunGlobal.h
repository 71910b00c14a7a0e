#pragma once
// The run settings and the few process-wide flags that the launcher shares.

#include "../foundation/vxStringList.h"

#include <cstdint>
#include <string>

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
    int32_t Jobs;       // programs waited for at once (with wait close), 1..MaxJobs in a run
    std::string JobLog; // the file that gets a line per item; empty = none
    bool Resume;        // leave out the items the job log has as done
};

// 62 programs and the Skip and Cancel events fill one wait for many objects.
constexpr int32_t MaxJobs = 62;

void SetDefaultOptions(TOptions& options);
void CopyOptions(TOptions& dest, const TOptions& source);

// The run settings of this process.
extern TOptions RunSettings;
// Set by /I: the main dialog edits the run settings before the run.
extern bool Interactive;
// Set by /D: the commands are shown before anything starts; with /D:<file> they go to
// that file, one a line, and nothing starts.
extern bool Preview;
extern std::string PreviewFile;
extern bool ProgressShown;
extern bool CancelFlag;
extern bool SkipFlag;

// The list file's items, created on first use.
TvxStringList& ItemList();
// Resets the run settings and flags to their start-up state and releases the items.
void InitializeGlobals();
void FinalizeGlobals();
