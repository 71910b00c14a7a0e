#pragma once
// The switches: one table of them, letters and words, from which the command line is read.

#include "../foundation/vxCommandLine.h"
#include "zemrunHost.h"

// Applies the arguments 1.. of tokens to the run settings; the arguments after /A are
// items. False when the process is to end now: a non-switch argument was opened through
// the shell or made the usage message show.
bool ParseArguments(const TvxCommandLine& tokens, TLauncherHost& host);
