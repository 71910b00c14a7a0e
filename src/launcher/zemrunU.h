#pragma once
// The items of a run and the launch loop, which reaches processes, waits, the registry
// and the progress window only through its host.

#include "zemrunHost.h"
#include "zemrunRequest.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Without the progress window nothing can skip the wait for the program to show among
// the running processes, so it also ends when the process has ended or after this long.
constexpr uint32_t WaitOpenPollMilliseconds = 100;
constexpr uint32_t WaitOpenLimitMilliseconds = 30000;
constexpr uint32_t InputIdleMilliseconds = 5000;

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
// A watched folder is looked at no more often than this, and at least every rescan
// time, should a notification get lost; one that is not there is looked for this often.
constexpr uint64_t WatchLookMilliseconds = 250;
constexpr uint64_t WatchRescanMilliseconds = 30000;
constexpr uint64_t WatchMissingFolderMilliseconds = 2000;
// A watch announces its first failure, and then at most one in this time.
constexpr uint64_t WatchAnnounceMilliseconds = 60000;
constexpr int FileNotFoundError = 2; // the system's "cannot find the file"
constexpr int PathNotFoundError = 3; // and "cannot find the path"
uint32_t RunList(TLauncherHost& host, TRunRequest& request);
// The file that keeps the output of the item's try (both from 1) in the folder: the item
// number with at least five digits, the try from the second on, so that the names sort in
// list order.
std::string OutputFileName(const std::string& folder, int32_t item, int32_t attempt,
                           int32_t itemCount);
// The commands that the settings would start, of at most limit items, built exactly as a
// run builds them; nothing starts.
std::vector<std::string> PreviewCommands(TLauncherHost& host, const TOptions& settings,
                                         int32_t limit);
// The items of the settings: the list file's lines (standard input's for the list "-"),
// then the items given besides, whose wildcards are expanded; each without the quotes
// around it (UnquoteItem).
constexpr const char* StandardInputList = "-";
// Whether the settings name a list file that is not there.
bool ListMissing(const TOptions& settings);
void LoadItems(const TOptions& settings, TLauncherHost& host, TRunItems& items);
// The item without the one pair of double quotes that encloses it, after its outer blanks
// and controls, where it holds no other quote (as Explorer's "Copy as path" writes names);
// any other item as it is.
std::string UnquoteItem(const std::string& item);
