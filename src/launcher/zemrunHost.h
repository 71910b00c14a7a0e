#pragma once
// The host of a run: everything through which the launch loop reaches the system, the
// user and the progress window, so that its decisions can be followed without starting
// anything.

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxLocalTime.h"
#include "../settings/zemrunRunSettings.h"
#include "zemrunBatchStatus.h"
#include "zemrunCommand.h"

#include <cstdint>
#include <string>
#include <vector>

// A started process, as the host identifies it; none when no process was obtained.
class TProcess {
  public:
    constexpr TProcess() = default;
    constexpr explicit TProcess(uintptr_t id) : id_(id) {}
    constexpr uintptr_t Id() const { return id_; }
    constexpr explicit operator bool() const { return id_ != 0; }
    friend constexpr bool operator==(TProcess, TProcess) = default;

  private:
    uintptr_t id_ = 0;
};

// How a watch goes.
struct TWatchState {
    std::string folder, jobLog;
    bool folderThere = true; // else it is waited for
    TBatchStatus status;
    bool failuresRetried = false;         // the failures before newlyFailed are run again
    std::vector<TFailedItem> newlyFailed; // the files that failed since the last state
    std::string announced; // the failed file to tell of at once (a balloon), if one is
};

// Why a watch does not start.
enum class TWatchRefusal { AlreadyWatched, NotAFolder };

// What AskWatchToStop says when no watch has the folder.
constexpr uint32_t NoWatchError = 2; // the system's "cannot find the file"

// How a wait for an end came out, besides the index of the process that ended.
constexpr int32_t WaitInterrupted = -1; // Skip or Cancel, with the progress window
constexpr int32_t WaitTimedOut = -2;
constexpr uint32_t NoTimeout = UINT32_MAX;

class TLauncherHost {
  public:
    virtual ~TLauncherHost() = default;

    virtual void ShowUsage() = 0;
    // Tells of a file or folder that could not be read, written or made, which ends the run.
    virtual void ShowFailure(const TvxInOutError& failure) = 0;
    // Tells why the expression does not compile (the run may go on without its groups).
    virtual void ShowExpressionError(const TExpressionError& error) = 0;
    // Tells that the list's encoding, by that name, is not known on this system.
    virtual void ShowUnknownEncoding(const std::string& name) = 0;
    // The main dialog over the settings, whose Preview shows what preview gives; true when
    // it was closed with OK.
    virtual bool EditSettingsDialog(TOptions& settings, const TPreviewCommands& preview) = 0;
    // Shows the commands of the run before it; true when the user chose to run them.
    virtual bool ConfirmCommands(const std::vector<std::string>& commands) = 0;

    // Starts one command through process creation or the shell.
    virtual TProcess Start(const TStartCommand& command) = 0;
    virtual void WaitForInputIdle(TProcess process, uint32_t milliseconds) = 0;
    // Waits at most milliseconds (NoTimeout: without end) for the first of the processes
    // to end: its index, WaitTimedOut, or WaitInterrupted when, while the progress window
    // is shown, Skip or Cancel ended the wait. WaitProcessEnd is the wait for one.
    virtual int32_t WaitProcessEnd(TProcess process, uint32_t milliseconds) = 0;
    virtual int32_t WaitAnyProcessEnd(const std::vector<TProcess>& processes,
                                      uint32_t milliseconds) = 0;
    virtual bool ProcessEnded(TProcess process) = 0;
    // Ends the program, with every process of its job where it has one, and returns once
    // it has ended or after a few seconds.
    virtual void EndProgram(TProcess process) = 0;
    virtual uint32_t ExitCode(TProcess process) = 0;
    // The system's error number of the last Start that gave no process (0 when the shell
    // started the item without giving a process).
    virtual uint32_t StartError() = 0;
    virtual TLocalTime LocalTime() = 0;
    // A clock for run times, in milliseconds from any fixed point.
    virtual uint64_t Milliseconds() = 0;
    virtual void CloseProcess(TProcess process) = 0;
    virtual uint32_t IsProgramRunning(const std::string& name) = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
    virtual std::string GetAssocCommand(const std::string& extension) = 0;
    // The whole of standard input, read at the first call and kept for every later one;
    // throws TvxInOutError where there is none to read.
    virtual const std::string& StandardInput() = 0;

    // A watched folder: waits at most milliseconds for a change in it (a folder that is
    // not there: the time); returns early, too, when the watch is asked to stop.
    virtual void WaitForFolderChange(const std::string& folder, bool subfolders,
                                     uint32_t milliseconds) = 0;
    // Takes the folder for this watch; false when another watch on this machine has it.
    // The watch then hears of /UNWATCH through StopSignalled.
    virtual bool ClaimWatch(const std::string& folder) = 0;
    // /UNWATCH: asks the watch of the folder to stop: 0, NoWatchError when there is none,
    // or the system's error number why this user may not.
    virtual uint32_t AskWatchToStop(const std::string& folder) = 0;
    // Tells why the watch of the folder does not start.
    virtual void ShowWatchRefused(const std::string& folder, TWatchRefusal why) = 0;
    // A zero-time test, whose taking resets it, that the user asked that the watch's failed
    // files run again.
    virtual bool TakeRunAgainSignal() = 0;
    // Tells how the watch goes (the status line, the notification area's icon). WatchEnded
    // takes it away.
    virtual void ShowWatch(const TWatchState& state) = 0;
    virtual void WatchEnded() = 0;

    // The progress window, shown from a ProgressStart that gave true to ProgressClose.
    virtual bool ProgressStart() = 0;
    virtual void ProgressSetRange(int32_t low, int32_t high) = 0;
    virtual void ProgressSetPos(int32_t position) = 0;
    virtual void ProgressSetText(const std::string& text) = 0;
    virtual void ProgressSetStatus(const TBatchStatus& status) = 0;
    // Zero-time tests of the window's two events; taking Skip resets it.
    virtual bool CancelSignalled() = 0;
    virtual bool TakeSkipSignal() = 0;
    // A zero-time test of a request, with or without the window, that nothing more starts
    // while what runs is waited for as the settings say (a console's first Ctrl+C).
    virtual bool StopSignalled() = 0;
    // Before ProgressClose, when items failed and the run was not cancelled: the failed
    // items in list order; true when the user asks to run them again, in the progress
    // window as it was.
    virtual bool ShowFailures(const TBatchStatus& status,
                              const std::vector<TFailedItem>& failed) = 0;
    virtual void ProgressClose() = 0;
};
