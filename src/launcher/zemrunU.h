#pragma once
// The switches, the items of a run and the launch loop. The loop reaches processes,
// waits, the registry and the progress window only through TLauncherHost, so that its
// decisions can be followed without starting anything.

#include "../foundation/vxCommandLine.h"
#include "../foundation/vxLocalTime.h"
#include "zemrunBatchStatus.h"
#include "zemrunCommand.h"
#include "zemrunGlobal.h"

#include <cstdint>
#include <string>
#include <string_view>
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

// How a wait for an end came out, besides the index of the process that ended.
constexpr int32_t WaitInterrupted = -1; // Skip or Cancel, with the progress window
constexpr int32_t WaitTimedOut = -2;
constexpr uint32_t NoTimeout = UINT32_MAX;

class TLauncherHost {
  public:
    virtual ~TLauncherHost() = default;

    virtual void ShowUsage() = 0;
    // Tells that the list's encoding, by that name, is not known on this system.
    virtual void ShowUnknownEncoding(const std::string& name) = 0;
    // The main dialog over the settings; true when it was closed with OK.
    virtual bool EditSettingsDialog(TOptions& settings) = 0;
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

    // The progress window, shown from a ProgressStart that gave true to ProgressClose.
    virtual bool ProgressStart() = 0;
    virtual void ProgressSetRange(int32_t low, int32_t high) = 0;
    virtual void ProgressSetPos(int32_t position) = 0;
    virtual void ProgressSetText(const std::string& text) = 0;
    virtual void ProgressSetStatus(const TBatchStatus& status) = 0;
    // Zero-time tests of the window's two events; taking Skip resets it.
    virtual bool CancelSignalled() = 0;
    virtual bool TakeSkipSignal() = 0;
    virtual void ProgressClose() = 0;
};

// Without the progress window nothing can skip the wait for the program to show among
// the running processes, so it also ends when the process has ended or after this long.
constexpr uint32_t WaitOpenPollMilliseconds = 100;
constexpr uint32_t WaitOpenLimitMilliseconds = 30000;
constexpr uint32_t InputIdleMilliseconds = 5000;

// Applies the arguments 1.. of tokens to the run settings; the arguments after /A are
// items. False when the process is to end now: a non-switch argument was opened through
// the shell or made the usage message show.
bool ParseArguments(const TvxCommandLine& tokens, TLauncherHost& host);

// The whole run over the run settings; the process's exit status: 0, or
// UnknownEncodingStatus when the list's encoding is not known here (nothing starts). With
// a halt count (/H) it is the batch's status instead (BatchExitStatus).
constexpr uint32_t UnknownEncodingStatus = 87; // the system's "The parameter is incorrect."
uint32_t RunList(TLauncherHost& host);
// The system's time-out error: the job log's error of a program that its time limit ended.
constexpr uint32_t TimeLimitError = 1460;
// The file that keeps the output of the item's try (both from 1) in the folder: the item
// number with at least five digits, the try from the second on, so that the names sort in
// list order.
std::string OutputFileName(const std::string& folder, int32_t item, int32_t attempt,
                           int32_t itemCount);
// The commands that the settings would start, of at most limit items, built exactly as a
// run builds them; nothing starts.
std::vector<std::string> PreviewCommands(TLauncherHost& host, const TOptions& settings,
                                         int32_t limit);
// The items of the settings: the list file's lines, then the items given besides, whose
// wildcards are expanded; each without the quotes around it (UnquoteItem).
void LoadItems(const TOptions& settings, TvxStringList& items);
// The item without the one pair of double quotes that encloses it, after its outer blanks
// and controls, where it holds no other quote (as Explorer's "Copy as path" writes names);
// any other item as it is.
std::string UnquoteItem(const std::string& item);
