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
};

void SetDefaultOptions(TOptions& options);
void CopyOptions(TOptions& dest, const TOptions& source);

// The run settings of this process.
extern TOptions RunSettings;
// Set by /I: the main dialog edits the run settings before the run.
extern bool Interactive;
extern bool ProgressShown;
extern bool CancelFlag;
extern bool SkipFlag;

// The list file's items, created on first use.
TvxStringList& ItemList();
// Resets the run settings and flags to their start-up state and releases the items.
void InitializeGlobals();
void FinalizeGlobals();
