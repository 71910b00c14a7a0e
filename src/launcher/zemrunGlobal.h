#pragma once
// The run settings and the few process-wide flags that the switches set before a run.

#include "../settings/zemrunRunSettings.h"

#include <cstdint>
#include <string>

// The run settings of this process.
extern TOptions RunSettings;
// Set by /I: the main dialog edits the run settings before the run.
extern bool Interactive;
// Set by /D: the commands are shown before anything starts; with /D:<file> they go to
// that file, one a line, and nothing starts.
extern bool Preview;
extern std::string PreviewFile;
// Set by /A: the arguments after it are items, and the run takes place without a list.
extern bool ItemArguments;

// Resets the run settings and flags to their start-up state.
void InitializeGlobals();
