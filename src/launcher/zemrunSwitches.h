#pragma once
// The switches: one table of them, letters and words, from which the command line is read
// and the usage message is made.

#include "../foundation/vxCommandLine.h"
#include "zemrunFace.h"
#include "zemrunRequest.h"

#include <optional>

#include "zemrunSystem.h"

// What the arguments 1.. of tokens ask for: the default settings with every switch
// applied in order, and the items after /A. Nothing when the process is to end now: a
// non-switch argument was opened through the shell or made the usage message show.
std::optional<TRunRequest> ParseArguments(const TvxCommandLine& tokens, TLauncherSystem& system,
                                          TLauncherFace& face);
