#pragma once
// The run: RunList does what the request asks for, and for a run builds its pipeline (a
// source of items, the command builder, the job runner and those who listen to it) and
// runs it. It reaches the system and the user only through the system and the face.

#include "zemrunFace.h"
#include "zemrunItemSource.h"
#include "zemrunJobLog.h"
#include "zemrunRequest.h"
#include "zemrunSystem.h"

#include <cstdint>
#include <string>
#include <vector>

// The job log that a watch of the folder keeps where the settings name none: in the
// user's settings folder, named after the watched folder.
std::string WatchJobLog(const std::string& folder);

// The whole run that the request asks for, over its settings (which the main dialog may
// change); the process's exit status: 0, or
// UnknownEncodingStatus when the list's encoding is not known here (nothing starts). With
// a halt count (/H) it is the batch's status instead (BatchExitStatus).
constexpr uint32_t UnknownEncodingStatus = 87; // the system's "The parameter is incorrect."
constexpr uint32_t WatchRefusedStatus = 1;     // another watch has the folder, or it is a file
constexpr uint32_t NoWatchStatus = 1;          // /UNWATCH of a folder that nobody watches
constexpr int FileNotFoundError = 2;           // the system's "cannot find the file"
uint32_t RunList(TLauncherSystem& system, TLauncherFace& face, TRunRequest& request);
// The commands that the settings would start, of at most limit items, built exactly as a
// run builds them; nothing starts.
std::vector<std::string> PreviewCommands(TLauncherSystem& system, const TOptions& settings,
                                         int32_t limit);
// Whether the settings name a list file that is not there.
bool ListMissing(const TOptions& settings);
